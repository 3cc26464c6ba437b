#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vesk {

// A settings payload the console uploads: its description and the zip archive.
struct PayloadUpload {
    QString name;
    QString notes;
    QString targetPath;
    QStringList relaunchBundleIds;
    QString fileName; // the archive's file name as the server stores it
    QByteArray archive;
};

} // namespace vesk
