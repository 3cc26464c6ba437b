#include "console/ConsoleLauncher.h"

#include "console/ConsoleWindow.h"

namespace vesk {

ConsoleLauncher::ConsoleLauncher(const ConsoleContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
}

ConsoleLauncher::~ConsoleLauncher()
{
    delete m_window.data();
}

void ConsoleLauncher::open()
{
    if (!m_window) {
        m_window = new ConsoleWindow(m_context);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        emit opened(m_window);
    }
    m_window->present();
}

} // namespace vesk
