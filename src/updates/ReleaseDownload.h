#pragma once

#include <QString>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

class HttpTransport;
struct AvailableUpdate;

// A release archive on disk, or the text of why there is none.
struct DownloadResult {
    QString file;
    std::optional<QString> failure;

    bool ok() const { return !failure.has_value(); }
    static DownloadResult failed(QString text) { return DownloadResult{{}, std::move(text)}; }
};

// Fetches one release archive into "VeskWardenUpdates" inside the temporary folder and
// applies the checks every download must pass: HTTP 200, not a web page, not too small.
// Whatever fails leaves no file behind.
class ReleaseDownload {
public:
    // Below this a download cannot be an app archive.
    static constexpr qint64 minimumBytes = 1000;

    ReleaseDownload(HttpTransport &http, QString tempDir) : m_http(http), m_tempDir(std::move(tempDir)) {}

    // The release's URL trimmed, with "[", "]" and spaces percent-encoded; the failure text
    // when nothing is left or what is left is not a URL.
    static std::optional<QUrl> downloadUrl(const AvailableUpdate &release, QString *failure);

    QCoro::Task<DownloadResult> fetch(AvailableUpdate release, QUrl url);

    QString folder() const;

private:
    HttpTransport &m_http;
    QString m_tempDir;
};

} // namespace vesk
