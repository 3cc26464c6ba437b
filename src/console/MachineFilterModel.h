#pragma once

#include <QSortFilterProxyModel>

namespace vesk {

class MachineListModel;

// The sidebar's view of the machine list: the search text matches name or serial; "focus this
// machine" narrows the list to this Mac until a search is typed, which always looks at every
// machine. Rows are sorted by name, numbers compared as numbers.
class MachineFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit MachineFilterModel(MachineListModel &source, QObject *parent = nullptr);

    void setSearchText(const QString &text);
    void setFocusThisMac(bool focus);
    const QString &searchText() const { return m_search; }
    bool focusThisMac() const { return m_focus; }
    // The line shown in place of an empty list; empty when rows are shown.
    QString emptyText() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    MachineListModel &m_source;
    QString m_search;
    QString m_needle;
    bool m_focus = false;
};

} // namespace vesk
