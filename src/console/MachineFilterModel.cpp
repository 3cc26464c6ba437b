#include "console/MachineFilterModel.h"

#include "console/ConsoleTexts.h"
#include "console/MachineListModel.h"

namespace vesk {

namespace {
// Case-folded keys compared with runs of digits taken as numbers ("booth 2" before "booth 10").
// Done by hand rather than with a locale collator: the collator pulls the whole ICU library
// and its data into memory, and sorts thousands of rows several times slower.
bool naturalLess(QStringView a, QStringView b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            while (i < a.size() && a[i] == u'0')
                ++i;
            while (j < b.size() && b[j] == u'0')
                ++j;
            const qsizetype aStart = i;
            const qsizetype bStart = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            // Without leading zeros the longer run is the larger number.
            if (i - aStart != j - bStart)
                return i - aStart < j - bStart;
            const int digits = a.sliced(aStart, i - aStart).compare(b.sliced(bStart, j - bStart));
            if (digits != 0)
                return digits < 0;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
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
    // The key is the folded name, then the serial: equal names keep a steady order.
    return naturalLess(a.searchKey, b.searchKey);
}

} // namespace vesk
