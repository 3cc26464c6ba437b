#include "wire/PayloadUpload.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace vesk {

QList<QPair<QByteArray, QByteArray>> PayloadUpload::textFields() const
{
    const QByteArray relaunch =
        QJsonDocument(QJsonArray::fromStringList(relaunchBundleIds)).toJson(QJsonDocument::Compact);
    return {
        {kNameField, name.toUtf8()},
        {kNotesField, notes.toUtf8()},
        {kTargetPathField, targetPath.toUtf8()},
        {kRelaunchBundleIdsField, relaunch},
    };
}

} // namespace vesk
