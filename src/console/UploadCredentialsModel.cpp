#include "console/UploadCredentialsModel.h"

#include "credentials/CredentialManager.h"

namespace vesk {

UploadCredentialsModel::UploadCredentialsModel(CredentialManager *credentials, QObject *parent)
    : QObject(parent), m_credentials(credentials)
{
    if (m_credentials) {
        connect(m_credentials, &CredentialManager::currentSetsChanged, this, &UploadCredentialsModel::reload);
        connect(m_credentials, &CredentialManager::schedulesChanged, this, &UploadCredentialsModel::reload);
        connect(m_credentials, &CredentialManager::selectedPipelineChanged, this, &UploadCredentialsModel::reload);
    }
    reload();
}

QString UploadCredentialsModel::emptyText() const
{
    if (!m_credentials)
        return tr("Upload credentials are not available here.");
    return tr("No upload credentials yet. Drop a credentials file on the Desktop or in Documents.");
}

QString UploadCredentialsModel::label(const Pair &pair)
{
    QString text = pair.setName + QStringLiteral(" · ") + pipelines::label(pair.pipeline) + QStringLiteral(": ") +
                   pair.account + QStringLiteral(" / ") + pair.location;
    if (pair.current)
        text += tr(" (in use)");
    return text;
}

void UploadCredentialsModel::reload()
{
    QList<Pair> fresh;
    if (m_credentials) {
        const std::optional<CredentialSet> current = m_credentials->currentCredentialSet();
        for (const CredentialSet &set : m_credentials->currentSets()) {
            for (const QString &pipeline : pipelines::all()) {
                const QString account = set.tenantCodeFor(pipeline);
                const QString location = set.eventCodeFor(pipeline);
                if (account.isEmpty() && location.isEmpty())
                    continue;
                Pair pair{set.name, pipeline, account, location,
                          current && current->name == set.name && set.selectedPipeline == pipeline, {}};
                // A test result stays with its pair while the pair itself is unchanged.
                const int old = rowOf(set.name, pipeline);
                if (old >= 0 && m_pairs[old].account == account && m_pairs[old].location == location)
                    pair.result = m_pairs[old].result;
                fresh.append(pair);
            }
        }
    }
    m_pairs = fresh;
    emit changed();
}

int UploadCredentialsModel::rowOf(const QString &setName, const QString &pipeline) const
{
    for (int row = 0; row < m_pairs.size(); ++row) {
        if (m_pairs[row].setName == setName && m_pairs[row].pipeline == pipeline)
            return row;
    }
    return -1;
}

QCoro::Task<> UploadCredentialsModel::test(int row)
{
    if (!m_credentials || row < 0 || row >= m_pairs.size())
        co_return;
    QPointer<UploadCredentialsModel> self(this);
    const Pair pair = m_pairs[row];
    m_pairs[row].result = tr("Testing…");
    emit changed();
    CredentialManager &credentials = *m_credentials;
    const TestResult outcome = co_await credentials.testConnection(pair.account, pair.location, pair.setName);
    if (!self)
        co_return;
    // The list may have changed while the test ran: the answer goes to its pair, if still there.
    const int now = rowOf(pair.setName, pair.pipeline);
    if (now < 0)
        co_return;
    m_pairs[now].result = outcome.success ? tr("Connection OK") : outcome.error.value_or(tr("Connection failed"));
    emit changed();
}

} // namespace vesk
