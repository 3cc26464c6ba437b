#pragma once

#include "console/ConsoleContext.h"

#include <QObject>
#include <QPointer>

namespace vesk {

class ConsoleWindow;

// Opens the console from the menu: builds the window on demand and lets it go when it is
// closed, so a console looked at once a day costs no memory the rest of the time. Closing it
// never quits the agent.
class ConsoleLauncher : public QObject {
    Q_OBJECT
public:
    explicit ConsoleLauncher(const ConsoleContext &context, QObject *parent = nullptr);
    ~ConsoleLauncher() override;

    void open();
    // The open window, or null.
    ConsoleWindow *window() const { return m_window; }

signals:
    void opened(ConsoleWindow *window);

private:
    ConsoleContext m_context;
    QPointer<ConsoleWindow> m_window;
};

} // namespace vesk
