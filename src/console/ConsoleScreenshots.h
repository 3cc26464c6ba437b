#pragma once

#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

namespace vesk {

class ConsoleWindow;

// Renders every screen of `window` into PNG files in `dir` (created when missing): each
// screen of the sidebar, the first machine's detail, the batch sheet and the lock page. Each
// screen's fleet calls are awaited first, so the pictures show what the fleet answered.
struct ConsoleScreenshots {
    QStringList written;
    QString error; // empty when every picture was written

    static QCoro::Task<ConsoleScreenshots> capture(ConsoleWindow &window, QString dir);
};

} // namespace vesk
