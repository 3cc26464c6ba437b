#include "console/AppChooser.h"

#include "console/ConsoleTexts.h"

#include <algorithm>

namespace vesk {

AppChooser::AppChooser(QObject *parent) : QObject(parent) {}

void AppChooser::setApps(QList<AppRef> apps)
{
    m_apps = std::move(apps);
    rematch();
}

void AppChooser::setSearch(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed == m_search)
        return;
    m_search = trimmed;
    rematch();
    if (m_chosen.isEmpty())
        emit choiceChanged(); // the typed text is the choice while nothing is ticked
}

void AppChooser::rematch()
{
    m_matches.clear();
    for (const AppRef &app : m_apps) {
        if (m_search.isEmpty() || app.name.contains(m_search, Qt::CaseInsensitive) ||
            app.bundleId.contains(m_search, Qt::CaseInsensitive))
            m_matches.append(app);
    }
    emit changed();
}

QString AppChooser::limitText() const
{
    return m_matches.size() > kMaxShown ? ConsoleTexts::appMatchLimit(kMaxShown, m_matches.size()) : QString();
}

QString AppChooser::typedText() const
{
    return m_search.isEmpty() || !m_matches.isEmpty() ? QString() : ConsoleTexts::noAppMatch(m_search);
}

void AppChooser::setChosen(const QString &bundleId, bool chosen)
{
    if (bundleId.isEmpty() || chosen == m_chosen.contains(bundleId))
        return;
    if (chosen)
        m_chosen.append(bundleId);
    else
        m_chosen.removeAll(bundleId);
    emit changed();
    emit choiceChanged();
}

void AppChooser::chooseAllVeskApps()
{
    bool added = false;
    for (const AppRef &app : m_apps) {
        if (app.isVeskApp && !m_chosen.contains(app.bundleId)) {
            m_chosen.append(app.bundleId);
            added = true;
        }
    }
    if (!added)
        return;
    emit changed();
    emit choiceChanged();
}

void AppChooser::clearChoice()
{
    if (m_chosen.isEmpty())
        return;
    m_chosen.clear();
    emit changed();
    emit choiceChanged();
}

QStringList AppChooser::bundleIds() const
{
    if (!m_chosen.isEmpty())
        return m_chosen;
    // A typed text stands for an app only when it is one's exact identifier or names none.
    const bool exact =
        std::any_of(m_apps.cbegin(), m_apps.cend(), [this](const AppRef &a) { return a.bundleId == m_search; });
    if (m_search.isEmpty() || (!exact && !m_matches.isEmpty()))
        return {};
    return {m_search};
}

} // namespace vesk
