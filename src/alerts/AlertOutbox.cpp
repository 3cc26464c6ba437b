#include "alerts/AlertOutbox.h"

#include "platform/AtomicFile.h"
#include "platform/LogCategories.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace vesk {

namespace {
// Far above 500 reports; a bigger file is not ours.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;
} // namespace

AlertOutbox::AlertOutbox(QString filePath) : m_path(std::move(filePath))
{
    QFile file(m_path);
    if (m_path.isEmpty() || !file.exists())
        return;
    const bool readable = file.open(QIODevice::ReadOnly) && file.size() <= kMaxFileBytes;
    const QJsonDocument document = readable ? QJsonDocument::fromJson(file.readAll()) : QJsonDocument();
    if (!document.isArray()) {
        qCWarning(lcAlerts).noquote() << "Alert outbox unreadable, starting empty:" << m_path;
        return;
    }
    const QJsonArray items = document.array();
    for (const QJsonValue &item : items) {
        std::optional<AlertReport> report = AlertReport::fromJson(item, nullptr);
        if (report)
            m_reports.append(std::move(*report));
    }
    while (m_reports.size() > capacity)
        m_reports.removeFirst();
}

void AlertOutbox::append(AlertReport report)
{
    m_reports.append(std::move(report));
    if (m_reports.size() > capacity) {
        m_reports.removeFirst();
        qCWarning(lcAlerts) << "Alert outbox full, dropped its oldest report";
    }
    save();
}

void AlertOutbox::removeDelivered(const AlertReport &delivered)
{
    if (m_reports.isEmpty() || !(m_reports.constFirst() == delivered))
        return;
    m_reports.removeFirst();
    save();
}

void AlertOutbox::save() const
{
    if (m_path.isEmpty())
        return;
    QJsonArray items;
    for (const AlertReport &report : m_reports)
        items.append(report.toJson());
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (const std::optional<QString> error = AtomicFile::write(m_path, QJsonDocument(items).toJson(QJsonDocument::Compact)))
        qCWarning(lcAlerts).noquote() << "Alert outbox not saved:" << *error;
}

} // namespace vesk
