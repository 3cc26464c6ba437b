#include "fleet/MultipartBody.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace vesk {

namespace {
const QByteArray kCrlf = "\r\n";
} // namespace

MultipartBody::MultipartBody(const PayloadUpload &upload, QByteArray boundary)
    : m_boundary(boundary.isEmpty() ? "warden-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8()
                                    : std::move(boundary))
{
    const QByteArray relaunch =
        QJsonDocument(QJsonArray::fromStringList(upload.relaunchBundleIds)).toJson(QJsonDocument::Compact);
    const QList<QPair<QByteArray, QByteArray>> fields = {
        {"name", upload.name.toUtf8()},
        {"notes", upload.notes.toUtf8()},
        {"target_path", upload.targetPath.toUtf8()},
        {"relaunch_bundle_ids", relaunch},
    };
    for (const auto &[field, value] : fields) {
        m_bytes += "--" + m_boundary + kCrlf;
        m_bytes += "Content-Disposition: form-data; name=\"" + field + "\"" + kCrlf + kCrlf;
        m_bytes += value + kCrlf;
    }
    m_bytes += "--" + m_boundary + kCrlf;
    m_bytes += "Content-Disposition: form-data; name=\"file\"; filename=\"" + upload.fileName.toUtf8() + "\"" + kCrlf;
    m_bytes += "Content-Type: application/zip" + kCrlf + kCrlf;
    m_bytes += upload.archive + kCrlf;
    m_bytes += "--" + m_boundary + "--" + kCrlf;
}

} // namespace vesk
