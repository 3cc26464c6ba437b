#include "console/MachineFilterModel.h"

#include "console/ConsoleTexts.h"
#include "console/MachineListModel.h"

#include <QCollator>

namespace vesk {

namespace {
const QCollator &numericCollator()
{
    static const QCollator collator = [] {
        // The C locale compares code points only, numbers included: fall back to English there.
        QLocale locale;
        if (locale.language() == QLocale::C)
            locale = QLocale(QLocale::English);
        QCollator c(locale);
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}
} // namespace

MachineFilterModel::MachineFilterModel(MachineListModel &source, QObject *parent)
    : QSortFilterProxyModel(parent), m_source(source)
{
    setSourceModel(&source);
    setDynamicSortFilter(true);
    sort(0);
}

void MachineFilterModel::setSearchText(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed == m_search)
        return;
    m_search = trimmed;
    m_needle = trimmed.toCaseFolded();
    invalidateFilter();
}

void MachineFilterModel::setFocusThisMac(bool focus)
{
    if (focus == m_focus)
        return;
    m_focus = focus;
    invalidateFilter();
}

QString MachineFilterModel::emptyText() const
{
    if (rowCount() > 0)
        return {};
    if (!m_search.isEmpty())
        return tr("No machines match \"%1\"").arg(m_search);
    return ConsoleTexts::noMachines;
}

bool MachineFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const MachineEntry &row = m_source.machines().at(sourceRow);
    if (!m_needle.isEmpty())
        return row.searchKey.contains(m_needle);
    return !m_focus || row.isThisMac;
}

bool MachineFilterModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const QList<MachineEntry> &rows = m_source.machines();
    const MachineEntry &a = rows.at(left.row());
    const MachineEntry &b = rows.at(right.row());
    // This Mac heads the list.
    if (a.isThisMac != b.isThisMac)
        return a.isThisMac;
    return numericCollator().compare(a.name, b.name) < 0;
}

} // namespace vesk
