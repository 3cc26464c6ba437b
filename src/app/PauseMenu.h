#pragma once

#include <QObject>

class QAction;
class QMenu;

namespace vesk {

class PolicyEngine;

// The enforcement pause in the agent's menu: its state, pause for each offered duration or
// until resumed, and resume. Inserted before `before` in `menu`.
class PauseMenu : public QObject {
    Q_OBJECT
public:
    PauseMenu(PolicyEngine &engine, QMenu &menu, QAction *before, QObject *parent = nullptr);

private:
    void refresh();
    void rebuildDurations();

    PolicyEngine &m_engine;
    QAction *m_state;
    QAction *m_resume;
    QMenu *m_durations;
};

} // namespace vesk
