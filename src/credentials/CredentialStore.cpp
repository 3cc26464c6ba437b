#include "credentials/CredentialStore.h"

#include "credentials/CredentialsLog.h"

#include <QJsonDocument>
#include <QVariantMap>

namespace vesk {

namespace {
const QString setsKey = QStringLiteral("credentialSets");
const QString schedulesKey = QStringLiteral("schedules");
const QString selectedPipelineKey = QStringLiteral("selectedPipeline");
const QString pipelineSelectionsKey = QStringLiteral("pipelineSelections");
const QString importTimestampsKey = QStringLiteral("importTimestamps");
} // namespace

CredentialStore::CredentialStore(DefaultsStore &defaults, QString keyPrefix)
    : m_defaults(defaults), m_keyPrefix(std::move(keyPrefix))
{
}

QJsonArray CredentialStore::storedArray(const QString &name) const
{
    const QVariant value = m_defaults.object(key(name));
    if (value.typeId() != QMetaType::QByteArray && value.typeId() != QMetaType::QString)
        return {};
    const QJsonDocument doc = QJsonDocument::fromJson(value.toByteArray());
    if (!doc.isArray()) {
        if (!value.toByteArray().isEmpty())
            qCWarning(lcCredentials) << "stored" << key(name) << "does not decode; starting with an empty list";
        return {};
    }
    return doc.array();
}

CredentialState CredentialStore::load() const
{
    CredentialState state;
    state.sets = credentialSetsFromJson(storedArray(setsKey));
    state.schedules = credentialSchedulesFromJson(storedArray(schedulesKey));
    const QString pipeline = m_defaults.stringValue(key(selectedPipelineKey));
    if (pipelines::isKnown(pipeline))
        state.selectedPipeline = pipeline;
    const QVariantMap selections = m_defaults.object(key(pipelineSelectionsKey)).toMap();
    for (auto it = selections.cbegin(); it != selections.cend(); ++it) {
        if (pipelines::isKnown(it.value().toString()))
            state.pipelineSelections.insert(it.key(), it.value().toString());
    }
    const QVariantMap timestamps = m_defaults.object(key(importTimestampsKey)).toMap();
    for (auto it = timestamps.cbegin(); it != timestamps.cend(); ++it) {
        const QDateTime at = QDateTime::fromString(it.value().toString(), Qt::ISODateWithMs);
        if (at.isValid())
            state.importTimestamps.insert(it.key(), at);
    }
    return state;
}

void CredentialStore::saveSets(const QList<CredentialSet> &sets)
{
    m_defaults.setValue(key(setsKey), QJsonDocument(credentialSetsToJson(sets)).toJson(QJsonDocument::Compact));
}

void CredentialStore::saveSchedules(const QList<CredentialSchedule> &schedules)
{
    m_defaults.setValue(key(schedulesKey),
                        QJsonDocument(credentialSchedulesToJson(schedules)).toJson(QJsonDocument::Compact));
}

void CredentialStore::saveSelectedPipeline(const QString &pipeline)
{
    m_defaults.setValue(key(selectedPipelineKey), pipeline);
}

void CredentialStore::savePipelineSelections(const QMap<QString, QString> &selections)
{
    QVariantMap map;
    for (auto it = selections.cbegin(); it != selections.cend(); ++it)
        map.insert(it.key(), it.value());
    m_defaults.setValue(key(pipelineSelectionsKey), map);
}

void CredentialStore::saveImportTimestamps(const QMap<QString, QDateTime> &timestamps)
{
    // ISO 8601 text, so the stored map reads the same in every settings format.
    QVariantMap map;
    for (auto it = timestamps.cbegin(); it != timestamps.cend(); ++it)
        map.insert(it.key(), it.value().toUTC().toString(Qt::ISODateWithMs));
    m_defaults.setValue(key(importTimestampsKey), map);
}

} // namespace vesk
