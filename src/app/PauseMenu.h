#pragma once

#include <QObject>

#include <qcoro/qcorotask.h>

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
    PauseMenu(PolicyEngine &engine, QMenu &menu, QAction *before, AppLock *locks = nullptr, QObject *parent = nullptr);

private:
    QCoro::Task<> requestPause(std::optional<int> minutes);
    void refresh();
    void rebuildDurations();

    PolicyEngine &m_engine;
    AppLock *m_locks;
    QAction *m_state;
    QAction *m_resume;
    QMenu *m_durations;
};

} // namespace vesk
