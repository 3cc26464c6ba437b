#include "LogCapture.h"

#include <QMutex>

namespace vesk::test {

namespace {
QMutex g_mutex;
QStringList g_lines;

void capture(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    QMutexLocker lock(&g_mutex);
    g_lines.append(QString::fromUtf8(context.category ? context.category : "default") + QStringLiteral(": ") + message);
}
} // namespace

LogCapture::LogCapture()
{
    QMutexLocker lock(&g_mutex);
    g_lines.clear();
    m_previous = qInstallMessageHandler(capture);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&g_mutex);
    return g_lines;
}

QStringList LogCapture::messages(const QString &category) const
{
    QStringList out;
    const QString prefix = category + QStringLiteral(": ");
    for (const QString &line : lines()) {
        if (line.startsWith(prefix))
            out.append(line.mid(prefix.size()));
    }
    return out;
}

int LogCapture::count(const QString &needle) const
{
    int n = 0;
    for (const QString &line : lines())
        n += line.contains(needle) ? 1 : 0;
    return n;
}

} // namespace vesk::test
