#pragma once

#include "credentials/CredentialSchedule.h"
#include "credentials/CredentialSet.h"
#include "platform/DefaultsStore.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

namespace vesk {

// Everything the credential manager keeps across launches.
struct CredentialState {
    QList<CredentialSet> sets;
    QList<CredentialSchedule> schedules;
    QString selectedPipeline = QStringLiteral("kr5");
    QMap<QString, QString> pipelineSelections; // set name → pipeline
    QMap<QString, QDateTime> importTimestamps; // set name → last import from a file
};

// The credential lists in the user defaults, under keys formed from one prefix: the sets
// and seasons as JSON, the rest as plain values. Each part is written whole.
class CredentialStore {
public:
    CredentialStore(DefaultsStore &defaults, QString keyPrefix);

    const QString &keyPrefix() const { return m_keyPrefix; }
    QString key(const QString &name) const { return m_keyPrefix + name; }

    // What is stored; a part that is missing or does not decode comes back empty.
    CredentialState load() const;

    void saveSets(const QList<CredentialSet> &sets);
    void saveSchedules(const QList<CredentialSchedule> &schedules);
    void saveSelectedPipeline(const QString &pipeline);
    void savePipelineSelections(const QMap<QString, QString> &selections);
    void saveImportTimestamps(const QMap<QString, QDateTime> &timestamps);

private:
    QJsonArray storedArray(const QString &name) const;

    DefaultsStore &m_defaults;
    QString m_keyPrefix;
};

} // namespace vesk
