#pragma once

#include "wire/PayloadUpload.h"

#include <QByteArray>

namespace vesk {

// The multipart/form-data body of a payload upload: the upload's text fields in order,
// then the archive as its file part, then the closing line.
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
