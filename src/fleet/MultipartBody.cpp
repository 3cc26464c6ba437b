#include "fleet/MultipartBody.h"

#include <QUuid>

namespace vesk {

namespace {
const QByteArray kCrlf = "\r\n";
} // namespace

MultipartBody::MultipartBody(const PayloadUpload &upload, QByteArray boundary)
    : m_boundary(boundary.isEmpty() ? "warden-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8()
                                    : std::move(boundary))
{
    for (const auto &[field, value] : upload.textFields()) {
        m_bytes += "--" + m_boundary + kCrlf;
        m_bytes += "Content-Disposition: form-data; name=\"" + field + "\"" + kCrlf + kCrlf;
        m_bytes += value + kCrlf;
    }
    m_bytes += "--" + m_boundary + kCrlf;
    m_bytes += "Content-Disposition: form-data; name=\"" + QByteArray(PayloadUpload::kFileField) + "\"; filename=\""
        + upload.fileName.toUtf8() + "\"" + kCrlf;
    m_bytes += "Content-Type: application/zip" + kCrlf + kCrlf;
    m_bytes += upload.archive + kCrlf;
    m_bytes += "--" + m_boundary + "--" + kCrlf;
}

} // namespace vesk
