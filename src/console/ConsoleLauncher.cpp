#include "console/ConsoleLauncher.h"

#include "console/ConsoleWindow.h"
#include "platform/MemoryRelease.h"

#include <QPixmapCache>
#include <QTimer>

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
        // Once the window and everything it owned are gone, so are the pixmaps the style
        // cached to draw it, and the pages they used go back to the system: the allocator
        // would otherwise keep them for an agent that rarely needs them.
        connect(m_window, &QObject::destroyed, this, [this]() {
            QTimer::singleShot(0, this, []() {
                QPixmapCache::clear();
                releaseFreedMemory();
            });
        });
        emit opened(m_window);
    }
    m_window->present();
}

} // namespace vesk
