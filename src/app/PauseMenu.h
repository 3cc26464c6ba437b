#pragma once

#include <QObject>

#include <qcoro/qcorotask.h>

#include <functional>
#include <optional>

class QAction;
class QMenu;

namespace vesk {

class AppLock;
class PolicyEngine;

// The enforcement pause in the agent's menu: its state, pause for each offered duration or
// until resumed, and resume. Inserted before `before` in `menu`. With `locks`, a pause asks
// for the pause password first whenever one is set.
class PauseMenu : public QObject {
    Q_OBJECT
public:
    // How the pause password is asked for: the typed password, none when cancelled; and how
    // a wrong one is answered. Dialogs by default.
    struct Prompt {
        std::function<std::optional<QString>()> askPassword;
        std::function<void()> refuse;
        static Prompt dialogs();
    };

    PauseMenu(PolicyEngine &engine, QMenu &menu, QAction *before, AppLock *locks = nullptr,
              Prompt prompt = Prompt::dialogs(), QObject *parent = nullptr);

private:
    QCoro::Task<> requestPause(std::optional<int> minutes);
    void refresh();
    void rebuildDurations();

    PolicyEngine &m_engine;
    AppLock *m_locks;
    Prompt m_prompt;
    QAction *m_state;
    QAction *m_resume;
    QMenu *m_durations;
};

} // namespace vesk
