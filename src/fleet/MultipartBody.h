#pragma once

#include "wire/PayloadUpload.h"

#include <QByteArray>

namespace vesk {

// The multipart/form-data body of a payload upload: the four text fields in order
// "name", "notes", "target_path", "relaunch_bundle_ids" (JSON text of the list), then
// the archive as the "file" part, then the closing line.
class MultipartBody {
public:
    // `boundary` is "warden-" and a fresh UUID unless given.
    explicit MultipartBody(const PayloadUpload &upload, QByteArray boundary = {});

    const QByteArray &boundary() const { return m_boundary; }
    QByteArray contentType() const { return "multipart/form-data; boundary=" + m_boundary; }
    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_boundary;
    QByteArray m_bytes;
};

} // namespace vesk
