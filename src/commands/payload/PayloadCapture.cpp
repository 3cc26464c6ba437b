#include "commands/payload/PayloadCapture.h"

#include "commands/payload/PayloadTarget.h"
#include "fleet/FleetAPIClient.h"
#include "platform/LogCategories.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <qcoro/qcorofuture.h>

namespace vesk {

namespace {

struct Packed {
    QString fileName;
    QByteArray bytes;
    QString error;
};

Packed pack(const PayloadArchiver &archiver, const QString &folder)
{
    const ArchiveResult zip = archiver.archive(folder);
    if (!zip.ok())
        return Packed{{}, {}, zip.error->message()};
    QFile file(zip.path);
    Packed packed{QFileInfo(zip.path).fileName(), {}, {}};
    if (file.open(QIODevice::ReadOnly))
        packed.bytes = file.readAll();
    else
        packed.error = QStringLiteral("Archive operation failed: ") + file.errorString();
    file.remove();
    return packed;
}

} // namespace

PayloadCapture::PayloadCapture(FleetAPIClient &api, PlatformPaths paths)
    : m_api(api), m_paths(std::move(paths)), m_archiver(m_paths.tempDir)
{
}

QCoro::Task<PayloadCapture::Result> PayloadCapture::captureAndUpload(Request request)
{
    if (const auto refused = PayloadTarget::validateTarget(request.folder, m_paths))
        co_return Result{std::nullopt, *refused};
    const QString folder = QDir::cleanPath(request.folder);
    if (!QFileInfo(folder).isDir())
        co_return Result{std::nullopt, QStringLiteral("Folder not found: ") + folder};

    auto packing = QtConcurrent::run([archiver = m_archiver, folder] { return pack(archiver, folder); });
    const Packed packed = co_await packing;
    if (!packed.error.isEmpty())
        co_return Result{std::nullopt, packed.error};

    PayloadUpload upload{request.name,           request.notes,   folder,
                         request.relaunchBundleIds, packed.fileName, packed.bytes};
    const APIResult<PayloadResponse> uploaded = co_await m_api.uploadPayload(std::move(upload));
    if (!uploaded) {
        qCWarning(lcPayload).noquote() << "Payload upload failed:" << uploaded.errorMessage();
        co_return Result{std::nullopt, uploaded.errorMessage()};
    }
    qCInfo(lcPayload).noquote() << "Captured" << folder << "as payload" << uploaded->payload.id;
    co_return Result{uploaded->payload, {}};
}

} // namespace vesk
