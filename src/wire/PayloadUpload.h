#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace vesk {

// A settings payload the console uploads as a multipart form: its description and the zip archive.
struct PayloadUpload {
    // The form's part names, which the fleet server reads back.
    static constexpr const char *kNameField = "name";
    static constexpr const char *kNotesField = "notes";
    static constexpr const char *kTargetPathField = "target_path";
    static constexpr const char *kRelaunchBundleIdsField = "relaunch_bundle_ids";
    static constexpr const char *kFileField = "file";

    QString name;
    QString notes;
    QString targetPath;
    QStringList relaunchBundleIds;
    QString fileName; // the archive's file name as the server stores it
    QByteArray archive;

    // The text parts in the order they are sent, each with its UTF-8 value; the relaunch
    // list travels as the JSON text of an array.
    QList<QPair<QByteArray, QByteArray>> textFields() const;
};

} // namespace vesk
