#include "app/PauseMenu.h"

#include "local/AppLock.h"
#include "policy/PolicyEngine.h"

#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>

namespace vesk {

PauseMenu::Prompt PauseMenu::Prompt::dialogs()
{
    return {[]() -> std::optional<QString> {
                bool entered = false;
                const QString password = QInputDialog::getText(nullptr, tr("Pause Enforcement"), LockTexts::pausePrompt,
                                                               QLineEdit::Password, QString(), &entered);
                return entered ? std::optional(password) : std::nullopt;
            },
            [] { QMessageBox::warning(nullptr, tr("Pause Enforcement"), LockTexts::wrongPausePassword); }};
}

PauseMenu::PauseMenu(PolicyEngine &engine, QMenu &menu, QAction *before, AppLock *locks, Prompt prompt,
                     QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_locks(locks)
    , m_prompt(std::move(prompt))
    , m_state(new QAction(this))
    , m_resume(new QAction(tr("Resume Enforcement"), this))
    , m_durations(new QMenu(tr("Pause Enforcement"), &menu))
{
    m_state->setEnabled(false);
    connect(m_resume, &QAction::triggered, this, [this]() { m_engine.resumeEnforcement(); });
    menu.insertAction(before, m_state);
    menu.insertAction(before, m_resume);
    menu.insertMenu(before, m_durations);
    // The durations setting may change while the agent runs; the remaining time always does.
    connect(&menu, &QMenu::aboutToShow, this, [this]() {
        rebuildDurations();
        refresh();
    });
    connect(&engine, &PolicyEngine::changed, this, &PauseMenu::refresh);
    rebuildDurations();
    refresh();
}

void PauseMenu::rebuildDurations()
{
    m_durations->clear();
    for (const int minutes : m_engine.pauseDurations()) {
        const int hours = minutes / 60;
        const QString label = minutes % 60 != 0 ? (minutes == 1 ? tr("1 minute") : tr("%1 minutes").arg(minutes))
                              : hours == 1      ? tr("1 hour")
                                                : tr("%1 hours").arg(hours);
        m_durations->addAction(label, this, [this, minutes]() { requestPause(minutes); });
    }
    m_durations->addAction(tr("Until Resumed"), this, [this]() { requestPause(std::nullopt); });
}

QCoro::Task<> PauseMenu::requestPause(std::optional<int> minutes)
{
    const QPointer<PauseMenu> self(this);
    if (m_locks) {
        const bool locked = co_await m_locks->hasPassword(LockScope::pause);
        if (!self)
            co_return;
        if (locked) {
            const std::optional<QString> password = m_prompt.askPassword();
            if (!password || !self)
                co_return;
            const bool opens = co_await m_locks->verify(LockScope::pause, *password);
            if (!self)
                co_return;
            if (!opens) {
                m_prompt.refuse();
                co_return;
            }
        }
    }
    m_engine.pauseEnforcement(minutes);
}

void PauseMenu::refresh()
{
    const bool paused = m_engine.isPaused();
    const std::optional<QString> remaining = m_engine.pauseRemainingText();
    m_state->setText(remaining ? tr("Paused — resumes in ") + *remaining : tr("Enforcement paused"));
    m_state->setVisible(paused);
    m_resume->setVisible(paused);
    m_durations->menuAction()->setVisible(!paused);
}

} // namespace vesk
