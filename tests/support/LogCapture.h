#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace vesk::test {

// Collects Qt log lines as "category: message" while it lives.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;
    // Lines of one category, message text only.
    QStringList messages(const QString &category) const;
    int count(const QString &needle) const;

private:
    QtMessageHandler m_previous;
};

} // namespace vesk::test
