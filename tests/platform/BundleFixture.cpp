#include "BundleFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vesk::test {

namespace {

QByteArray xmlInfoPlist(const QVariantMap &info)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                     "<plist version=\"1.0\">\n<dict>\n";
    for (auto it = info.cbegin(); it != info.cend(); ++it) {
        xml += "\t<key>" + it.key().toHtmlEscaped().toUtf8() + "</key>\n";
        switch (it->typeId()) {
        case QMetaType::Bool:
            xml += it->toBool() ? "\t<true/>\n" : "\t<false/>\n";
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
            xml += "\t<integer>" + QByteArray::number(it->toLongLong()) + "</integer>\n";
            break;
        default:
            xml += "\t<string>" + it->toString().toHtmlEscaped().toUtf8() + "</string>\n";
        }
    }
    return xml + "</dict>\n</plist>\n";
}

} // namespace

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

QString makeBundle(const QString &parentDir, const QString &folderName, const QVariantMap &info,
                   const QByteArray &executable)
{
    const QString bundle = parentDir + QLatin1Char('/') + folderName;
    writeFile(bundle + QStringLiteral("/Contents/Info.plist"), xmlInfoPlist(info));
    const QString exeName = info.value(QStringLiteral("CFBundleExecutable"), QStringLiteral("run")).toString();
    const QString exe = bundle + QStringLiteral("/Contents/MacOS/") + QFileInfo(exeName).fileName();
    writeFile(exe, executable);
    QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner | QFile::ExeUser);
    return bundle;
}

QVariantMap appInfo(const QString &id, const QString &name, const QString &version, const QString &build,
                    const QString &executable)
{
    return {
        {QStringLiteral("CFBundleIdentifier"), id},
        {QStringLiteral("CFBundleName"), name},
        {QStringLiteral("CFBundleShortVersionString"), version},
        {QStringLiteral("CFBundleVersion"), build},
        {QStringLiteral("CFBundleExecutable"), executable},
    };
}

} // namespace vesk::test
