#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <ostream>

namespace vesk {

// A named bundle of up to three upload account/location pairs, one per upload pipeline.
// The name is the set's identity: imports and seasons refer to sets by name.
struct CredentialSet {
    QString name;
    std::optional<QString> storeNumber;
    std::optional<QString> date;         // as written in the file
    std::optional<QDateTime> lastReadAt; // when the set was last read from a file
    std::optional<QString> kr5Account;
    std::optional<QString> kr5Location;
    std::optional<QString> kr52Account;
    std::optional<QString> kr52Location;
    std::optional<QString> kr53Account;
    std::optional<QString> kr53Location;
    QString selectedPipeline = QStringLiteral("kr5");

    // The pair of the selected pipeline: the tenant ("photographer") code and the event code.
    // Empty when the pipeline has no account or location element in the credential file.
    QString tenantCode() const { return tenantCodeFor(selectedPipeline); }
    QString eventCode() const { return eventCodeFor(selectedPipeline); }
    QString tenantCodeFor(const QString &pipeline) const;
    QString eventCodeFor(const QString &pipeline) const;

    // Same accounts, locations, store number and date; when and how it was read do not count.
    bool sameContent(const CredentialSet &other) const;

    QJsonObject toJson() const;
    // nullopt when `json` is not a set (no string "name", a field of the wrong type).
    static std::optional<CredentialSet> fromJson(const QJsonObject &json);

    bool operator==(const CredentialSet &) const = default;
};

// The upload pipelines by their stored names: "kr5", "kr5-2", "kr5-3".
namespace pipelines {
inline const QString watermark = QStringLiteral("kr5");
inline const QString digitalDownload = QStringLiteral("kr5-2");
inline const QString alternate = QStringLiteral("kr5-3");

QStringList all();
bool isKnown(const QString &pipeline);
// "Watermark (KR5)", "Digital Download (KR5-2)", "Alternate (KR5-3)"; the name itself when unknown.
QString label(const QString &pipeline);
} // namespace pipelines

// The whole stored list; an empty list when any element does not decode.
QJsonArray credentialSetsToJson(const QList<CredentialSet> &sets);
QList<CredentialSet> credentialSetsFromJson(const QJsonArray &array);

std::ostream &operator<<(std::ostream &out, const CredentialSet &set);

} // namespace vesk
