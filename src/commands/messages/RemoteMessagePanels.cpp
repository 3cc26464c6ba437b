#include "commands/messages/RemoteMessagePanels.h"

#include "commands/messages/RemoteMessagePanel.h"

#include <QGuiApplication>
#include <QScreen>

namespace vesk {

namespace {

const QString noScreen = QStringLiteral("no screen is connected");

} // namespace

std::optional<QString> RemoteMessagePanels::missingDisplay()
{
    const QString platform = QGuiApplication::platformName();
    // Both platforms draw into memory only: a window there is seen by nobody.
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return QStringLiteral("no display (the agent runs headless, on the \"%1\" platform)").arg(platform);
    if (QGuiApplication::screens().isEmpty())
        return noScreen;
    return std::nullopt;
}

std::unique_ptr<RemoteMessagePresenter> RemoteMessagePanels::forThisDisplay()
{
    if (missingDisplay())
        return nullptr;
    return std::make_unique<RemoteMessagePanels>();
}

RemoteMessagePanels::RemoteMessagePanels()
{
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &RemoteMessagePanels::rebuild);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &RemoteMessagePanels::rebuild);
}

RemoteMessagePanels::~RemoteMessagePanels()
{
    withdraw();
}

std::optional<QString> RemoteMessagePanels::present(const RemoteMessage &message, const QString &sentText,
                                                   std::function<void()> dismiss)
{
    m_shown = Shown{message, sentText, std::move(dismiss)};
    rebuild();
    if (m_panels.isEmpty())
        return noScreen;
    return std::nullopt;
}

void RemoteMessagePanels::withdraw()
{
    m_shown.reset();
    rebuild();
}

void RemoteMessagePanels::rebuild()
{
    for (const QPointer<RemoteMessagePanel> &panel : std::as_const(m_panels)) {
        if (panel) {
            panel->hide();
            panel->deleteLater(); // the dismiss click that got us here may still be on its stack
        }
    }
    m_panels.clear();
    if (!m_shown)
        return;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens) {
        // Not deleted on close: a panel closed from outside (a window manager's shortcut) stays
        // ours while the message is active, and only withdraw() or the next rebuild releases it.
        auto *panel = new RemoteMessagePanel(m_shown->message, m_shown->sentText, m_shown->dismiss);
        panel->showOn(screen);
        m_panels.append(panel);
    }
}

} // namespace vesk
