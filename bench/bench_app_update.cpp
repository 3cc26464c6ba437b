// Updating a 200 MB app bundle end to end — download over loopback, SHA-256 and Ed25519
// signature check, checked extraction into staging next to the installed bundle, the one-step
// swap keeping the old bundle — against `curl` + `unzip` + `mv` of the same archive from the
// same server, which checks nothing and keeps nothing. Target: at most 1.3 times the baseline.
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/QtHttpTransport.h"
#include "platform/linux/RenameExchange.h"
#include "updates/BundleReplacement.h"
#include "updates/ReleaseDownload.h"
#include "updates/ReleaseVerification.h"
#include "wire/policy/AvailableUpdate.h"
#include "commands/payload/PayloadArchiver.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>
#include <sodium.h>

#include <cstdio>

using namespace vesk;

namespace {

constexpr int kFiles = 200;
constexpr qint64 kFileBytes = 1 << 20;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QString makeBundle(const QString &folder, const QString &version, bool random)
{
    const QString bundle = folder + QStringLiteral("/Capture.app");
    writeFile(bundle + QStringLiteral("/Contents/Info.plist"),
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
              "<string>com.lumora.Capture</string><key>CFBundleShortVersionString</key><string>" +
                  version.toUtf8() + "</string></dict></plist>");
    QByteArray block(kFileBytes, Qt::Uninitialized);
    for (int i = 0; i < kFiles; ++i) {
        if (random)
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
        else
            block.fill(char('a' + i % 26));
        writeFile(bundle + QStringLiteral("/Contents/Resources/%1/data%2.bin").arg(i % 10).arg(i), block);
    }
    return bundle;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

double run(const QString &program, const QStringList &args)
{
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (sodium_init() < 0)
        qFatal("libsodium");
    QTemporaryDir root;
    const QString serve = root.path() + QStringLiteral("/serve");
    const QString apps = root.path() + QStringLiteral("/Applications");
    const QString next = makeBundle(root.path() + QStringLiteral("/next"), QStringLiteral("2.0"), true);
    const ArchiveResult zip = PayloadArchiver(root.path() + QStringLiteral("/zip")).archive(QFileInfo(next).path());
    if (!zip.ok())
        qFatal("zip failed");
    QDir().mkpath(serve);
    QFile::rename(zip.path, serve + QStringLiteral("/Capture.zip"));
    const QString archive = serve + QStringLiteral("/Capture.zip");

    // The fleet's signature over the archive.
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(publicKey, secretKey);
    QFile in(archive);
    in.open(QIODevice::ReadOnly);
    const QByteArray bytes = in.readAll();
    crypto_sign_state state;
    crypto_sign_init(&state);
    crypto_sign_update(&state, reinterpret_cast<const unsigned char *>(bytes.constData()), quint64(bytes.size()));
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_final_create(&state, signature, nullptr, secretKey);
    AvailableUpdate release;
    release.bundleId = QStringLiteral("com.lumora.Capture");
    release.version = QStringLiteral("2.0");
    release.sha256 = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    release.signature = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(signature), 64).toBase64());

    const quint16 port = freePort();
    QProcess server;
    server.start(QStringLiteral("python3"), {QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(port),
                                             QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                                             QStringLiteral("--directory"), serve});
    server.waitForStarted();
    QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"),
                                             QStringLiteral("for i in $(seq 50); do curl -s -o /dev/null "
                                                            "http://127.0.0.1:%1/ && exit 0; sleep 0.1; done")
                                                 .arg(port)});
    release.downloadUrl = QStringLiteral("http://127.0.0.1:%1/Capture.zip").arg(port);

    // Baseline: curl, unzip into staging next to the app, mv over the installed bundle.
    makeBundle(apps, QStringLiteral("1.0"), false);
    const QString staging = apps + QStringLiteral("/.staging");
    const double baseline =
        run(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), root.path() + QStringLiteral("/dl.zip"),
                                     release.downloadUrl}) +
        run(QStringLiteral("unzip"), {QStringLiteral("-q"), root.path() + QStringLiteral("/dl.zip"), QStringLiteral("-d"),
                                      staging}) +
        run(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("rm -rf '%1/Capture.app' && mv '%2/Capture.app' '%1/'")
                                                             .arg(apps, staging)});
    QDir(staging).removeRecursively();

    // Ours, on the same installed bundle.
    QtHttpTransport http(QStringLiteral("bench"));
    RenameExchange swap;
    LinuxWorkspace workspace(QStringList{apps});
    const BundleReplacement replacement(swap, workspace);
    const ReleaseVerification verification(QByteArray(reinterpret_cast<const char *>(publicKey), 32), true);
    QElapsedTimer timer;
    timer.start();
    ReleaseDownload download(http, root.path() + QStringLiteral("/tmp"));
    QString failure;
    const DownloadResult got = QCoro::waitFor(download.fetch(release, *ReleaseDownload::downloadUrl(release, &failure)));
    if (!got.ok())
        qFatal("download: %s", qPrintable(*got.failure));
    const double downloaded = double(timer.nsecsElapsed()) / 1e6;
    if (const auto refused = verification.refusal(got.file, release))
        qFatal("%s", qPrintable(*refused));
    const double verified = double(timer.nsecsElapsed()) / 1e6;
    const StagedBundle staged = replacement.stageArchive(got.file, apps, release.bundleId);
    if (!staged.ok())
        qFatal("%s", qPrintable(*staged.failure));
    const PlaceResult placed = replacement.putInPlace(staged, apps + QStringLiteral("/Capture.app"),
                                                      KeptCopy{root.path() + QStringLiteral("/Backups"),
                                                               QStringLiteral("Capture_1.0.app")});
    if (placed.failure)
        qFatal("%s", qPrintable(*placed.failure));
    const double ours = double(timer.nsecsElapsed()) / 1e6;
    server.kill();
    server.waitForFinished();

    std::printf("phases: download %.0f ms, checksum and signature %.0f ms, extraction and swap %.0f ms\n", downloaded,
                verified - downloaded, ours - verified);
    std::printf("update / curl+unzip+mv = %.2f (ours %.0f ms vs %.0f ms for %lld MB archive; target <= 1.30)\n",
                ours / baseline, ours, baseline, static_cast<long long>(bytes.size() >> 20));
    return 0;
}
