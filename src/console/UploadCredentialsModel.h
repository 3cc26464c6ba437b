#pragma once

#include "credentials/CredentialManager.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

// The upload credentials part of Settings: each account/location pair of each credential
// set, the one in use today marked, and a connection test per pair with its result line.
class UploadCredentialsModel final : public QObject {
    Q_OBJECT
public:
    struct Pair {
        QString setName;
        QString pipeline;
        QString account;
        QString location;
        bool current = false; // the pair the agent uses today
        QString result;       // the last connection test's, or empty
    };

    explicit UploadCredentialsModel(CredentialManager *credentials, QObject *parent = nullptr);

    const QList<Pair> &pairs() const { return m_pairs; }
    // What the section shows when there is no pair to test.
    QString emptyText() const;
    // "Haunts_2026 · Watermark (KR5): account / location", with "(in use)" on the current pair.
    static QString label(const Pair &pair);

    QCoro::Task<> test(int row);

signals:
    void changed();

private:
    void reload();
    int rowOf(const QString &setName, const QString &pipeline) const;

    QPointer<CredentialManager> m_credentials;
    QList<Pair> m_pairs;
};

} // namespace vesk
