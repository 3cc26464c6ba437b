#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

namespace vesk::test {

// Real ".app" folders for tests: Contents/Info.plist from `info` (strings, integers and
// booleans) and Contents/MacOS/<CFBundleExecutable> holding `executable` (a copy of a real
// program, or a script). Returns the bundle path.
QString makeBundle(const QString &parentDir, const QString &folderName, const QVariantMap &info,
                   const QByteArray &executable = QByteArrayLiteral("#!/bin/sh\n"));

void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// The usual keys of a family app.
QVariantMap appInfo(const QString &id, const QString &name, const QString &version = QStringLiteral("1.0"),
                    const QString &build = QStringLiteral("100"), const QString &executable = QStringLiteral("run"));

} // namespace vesk::test
