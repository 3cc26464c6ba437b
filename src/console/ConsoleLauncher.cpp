#include "console/ConsoleLauncher.h"

#include "console/ConsoleWindow.h"
#include "platform/MemoryRelease.h"

#include <QPixmapCache>
#include <QTimer>

#include <memory>

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
        // What was resident before the window existed, so its close gives back what it brought in.
        auto before = std::make_shared<ResidentFilePages>(ResidentFilePages::now());
        m_window = new ConsoleWindow(m_context);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        // Once the window and everything it owned are gone, so are the pixmaps the style cached
        // to draw it; the heap's free pages and the chart, widget and font pages only the window
        // read go back to the system. The allocator and the page cache would otherwise keep them
        // for an agent that rarely needs them; a later open reads them back in.
        connect(m_window, &QObject::destroyed, this, [this, before]() {
            QTimer::singleShot(0, this, [before]() {
                QPixmapCache::clear();
                releaseFreedMemory();
                releaseFilePagesSince(*before);
            });
        });
        emit opened(m_window);
    }
    m_window->present();
}

} // namespace vesk
