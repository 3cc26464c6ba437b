#include "updates/ReleaseDownload.h"

#include "platform/HttpTransport.h"
#include "wire/policy/AvailableUpdate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

namespace vesk {

namespace {

// A large archive over a slow line may take long; only a stalled one is given up early.
constexpr std::chrono::milliseconds kTransferLimit{std::chrono::hours(2)};

// The file name a server gives in Content-Disposition (a download route that is not itself
// a file name does), reduced to a plain name; none without one.
std::optional<QString> attachmentName(const HttpResponse &response)
{
    static const QRegularExpression pattern(QStringLiteral("filename=\"?([^\";]+)\"?"));
    const QRegularExpressionMatch match =
        pattern.match(QString::fromUtf8(response.header("Content-Disposition").value_or(QByteArray())));
    if (!match.hasMatch())
        return std::nullopt;
    const QString name = match.captured(1).trimmed().section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        return std::nullopt;
    return name;
}

} // namespace

std::optional<QUrl> ReleaseDownload::downloadUrl(const AvailableUpdate &release, QString *failure)
{
    QString text = release.downloadUrl.trimmed();
    if (text.isEmpty()) {
        *failure = QStringLiteral("No download URL configured for ") + release.displayName();
        return std::nullopt;
    }
    text.replace(QLatin1Char('['), QStringLiteral("%5B"))
        .replace(QLatin1Char(']'), QStringLiteral("%5D"))
        .replace(QLatin1Char(' '), QStringLiteral("%20"));
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) {
        *failure = QStringLiteral("Invalid download URL for ") + release.displayName();
        return std::nullopt;
    }
    return url;
}

QString ReleaseDownload::folder() const
{
    return m_tempDir + QStringLiteral("/VeskWardenUpdates");
}

QCoro::Task<DownloadResult> ReleaseDownload::fetch(AvailableUpdate release, QUrl url)
{
    const QString dir = folder();
    if (!QDir().mkpath(dir))
        co_return DownloadResult::failed(QStringLiteral("Download failed: cannot create ") + dir);
    const QString partial = dir + QStringLiteral("/.download-") + QUuid::createUuid().toString(QUuid::WithoutBraces);

    HttpRequest request;
    request.url = url;
    request.responseFile = partial;
    request.totalTimeout = kTransferLimit;
    HttpTransport &http = m_http;
    const HttpResult result = co_await http.send(std::move(request));
    if (!result.ok()) {
        QFile::remove(partial);
        co_return DownloadResult::failed(QStringLiteral("Download failed: ") + result.error);
    }
    const HttpResponse &response = *result.response;
    if (response.status != 200) {
        QFile::remove(partial);
        co_return DownloadResult::failed(QStringLiteral("Download returned HTTP ") + QString::number(response.status));
    }
    if (response.header("Content-Type").value_or(QByteArray()).toLower().contains("text/html")) {
        QFile::remove(partial);
        co_return DownloadResult::failed(QStringLiteral("Download URL returned a web page, not an app archive"));
    }

    QString name = attachmentName(response).value_or(url.fileName());
    if (name.isEmpty())
        name = release.bundleId + QStringLiteral(".zip");
    const QString target = dir + QLatin1Char('/') + name;
    QFile::remove(target);
    QFile downloaded(partial);
    if (!downloaded.rename(target)) {
        const QString why = downloaded.errorString();
        QFile::remove(partial);
        co_return DownloadResult::failed(QStringLiteral("Download failed: ") + why);
    }
    const QFileInfo info(target);
    if (info.exists() && info.size() < minimumBytes) {
        QFile::remove(target);
        co_return DownloadResult::failed(QStringLiteral("Downloaded file too small (%1 bytes) — likely not a valid archive")
                                             .arg(info.size()));
    }
    co_return DownloadResult{target, std::nullopt};
}

} // namespace vesk
