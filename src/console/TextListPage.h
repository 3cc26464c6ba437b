#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QListWidget;

namespace vesk {

// A read-only screen: a title over rows, or one centred line when there are none. `rows`
// is asked again on every refresh(), so the owner connects its source's change signal to it.
class TextListPage : public QWidget {
    Q_OBJECT
public:
    TextListPage(const QString &title, QString emptyText, std::function<QStringList()> rows,
                 QWidget *parent = nullptr);

    void refresh();

private:
    QString m_emptyText;
    std::function<QStringList()> m_rows;
    QListWidget *m_list;
    QLabel *m_empty;
};

} // namespace vesk
