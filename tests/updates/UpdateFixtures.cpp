#include "UpdateRig.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace vesk::test {

void packBundle(const QString &bundle, const QString &archive)
{
    const QFileInfo info(bundle);
    QStringList args;
    QString program = QStringLiteral("tar");
    if (archive.endsWith(QLatin1String(".zip"))) {
        const ArchiveResult zip = PayloadArchiver(info.absolutePath() + QStringLiteral("-zip")).archive(info.absolutePath());
        ASSERT_TRUE(zip.ok());
        QFile::remove(archive);
        ASSERT_TRUE(QFile::rename(zip.path, archive));
        return;
    }
    QString compress = QStringLiteral("-cf");
    if (archive.endsWith(QLatin1String(".tar.gz")))
        compress = QStringLiteral("-czf");
    else if (archive.endsWith(QLatin1String(".tar.xz")))
        compress = QStringLiteral("-cJf");
    else if (archive.endsWith(QLatin1String(".tar.zst")))
        args << QStringLiteral("--zstd");
    args << QStringLiteral("-C") << info.absolutePath() << compress << archive << info.fileName();
    QProcess tar;
    tar.start(program, args);
    ASSERT_TRUE(tar.waitForFinished(30000));
    ASSERT_EQ(tar.exitCode(), 0) << tar.readAllStandardError().toStdString();
}

QByteArray treeDigest(const QString &root)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!QFileInfo::exists(root))
        return {};
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    for (const QString &path : paths) {
        const QFileInfo info(path);
        hash.addData(QDir(root).relativeFilePath(path).toUtf8());
        hash.addData(QByteArray::number(int(info.permissions())));
        if (info.isFile() && !info.isSymLink()) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                hash.addData(file.readAll());
        }
    }
    return hash.result().toHex();
}

} // namespace vesk::test
