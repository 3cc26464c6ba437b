#include "platform/linux/SecretServiceKeychain.h"

#include "platform/LogCategories.h"

#include <qcoro/qcorosignal.h>
#include <qt6keychain/keychain.h>

#include <QPointer>

namespace vesk {

namespace {

enum class Operation { Read, Write, Remove };

QString verb(Operation op)
{
    switch (op) {
    case Operation::Read: return QStringLiteral("read");
    case Operation::Write: return QStringLiteral("save");
    case Operation::Remove: return QStringLiteral("delete");
    }
    return {};
}

QString itemName(const QString &service, const QString &account)
{
    return account.isEmpty() ? service : service + QStringLiteral(" / ") + account;
}

KeychainError codeFor(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError: return KeychainError::None;
    case QKeychain::EntryNotFound: return KeychainError::NotFound;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied: return KeychainError::AccessDenied;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented: return KeychainError::Unavailable;
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::OtherError: return KeychainError::Failed;
    }
    return KeychainError::Failed;
}

// Runs `job` to its end, or until `timeout`. The job deletes itself once finished, and
// not before, so it stays readable here after a finished run.
QCoro::Task<KeychainResult> run(QKeychain::Job *job, Operation op, std::chrono::milliseconds timeout)
{
    const QString name = itemName(job->service(), job->key());
    job->setAutoDelete(true);
    QPointer<QKeychain::Job> guard(job);
    // Listening starts before the job does, in case it ends without going to the event loop.
    auto finished = qCoro(job, &QKeychain::Job::finished, timeout);
    job->start();
    const auto done = co_await std::move(finished);
    if (!done.has_value() || !guard) {
        const QString message = QStringLiteral("The desktop keychain didn't answer within %1 s to %2 %3.")
                                    .arg(double(timeout.count()) / 1000.0)
                                    .arg(verb(op), name);
        qCWarning(lcPlatform).noquote() << message;
        co_return KeychainResult::failure(KeychainError::Unavailable, message);
    }
    const KeychainError code = codeFor(guard->error());
    if (code == KeychainError::None)
        co_return KeychainResult::success();
    if (code == KeychainError::NotFound && op == Operation::Remove)
        co_return KeychainResult::success();
    if (code == KeychainError::NotFound && op == Operation::Read)
        co_return KeychainRead::notFound().result;
    co_return KeychainResult::failure(code == KeychainError::NotFound ? KeychainError::Failed : code,
                                      QStringLiteral("The desktop keychain couldn't %1 %2: %3.")
                                          .arg(verb(op), name, guard->errorString()));
}

} // namespace

SecretServiceKeychain::SecretServiceKeychain(std::chrono::milliseconds timeout)
    : m_timeout(timeout)
{
}

QCoro::Task<KeychainRead> SecretServiceKeychain::read(QString service, QString account)
{
    auto *job = new QKeychain::ReadPasswordJob(service);
    job->setKey(account);
    QPointer<QKeychain::ReadPasswordJob> guard(job);
    const KeychainResult result = co_await run(job, Operation::Read, m_timeout);
    if (!result.ok() || !guard)
        co_return KeychainRead::error(result);
    co_return KeychainRead::of(guard->binaryData());
}

QCoro::Task<KeychainResult> SecretServiceKeychain::write(QString service, QString account, QByteArray value)
{
    auto *job = new QKeychain::WritePasswordJob(service);
    job->setKey(account);
    job->setBinaryData(value);
    const KeychainResult result = co_await run(job, Operation::Write, m_timeout);
    co_return result;
}

QCoro::Task<KeychainResult> SecretServiceKeychain::remove(QString service, QString account)
{
    auto *job = new QKeychain::DeletePasswordJob(service);
    job->setKey(account);
    const KeychainResult result = co_await run(job, Operation::Remove, m_timeout);
    co_return result;
}

} // namespace vesk
