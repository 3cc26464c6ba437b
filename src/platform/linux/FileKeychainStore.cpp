#include "platform/linux/FileKeychainStore.h"

#include "platform/AtomicFile.h"
#include "platform/LogCategories.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesk {

namespace {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

QString octal(mode_t mode)
{
    return QStringLiteral("0%1").arg(mode & 07777, 3, 8, QLatin1Char('0'));
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

KeychainResult failed(KeychainError code, const QString &message)
{
    return KeychainResult::failure(code, message);
}

// Puts `path` to exactly `mode` when it is anything else, and says so in the log.
// A path that does not exist is left to be created; one of the wrong kind is left alone.
KeychainResult enforceMode(const QString &path, mode_t mode, const char *what, bool directory)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        if (errno == ENOENT)
            return KeychainResult::success();
        return failed(KeychainError::Failed, QStringLiteral("Couldn't inspect the keychain %1 %2: %3.")
                                                  .arg(QLatin1String(what), path, errnoText()));
    }
    if (directory ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)) {
        return failed(KeychainError::Failed, QStringLiteral("The keychain %1 %2 is not a %3.")
                                                  .arg(QLatin1String(what), path,
                                                       directory ? QStringLiteral("folder") : QStringLiteral("regular file")));
    }
    const mode_t found = st.st_mode & 07777;
    if (found == mode)
        return KeychainResult::success();
    if (::chmod(native.constData(), mode) != 0) {
        const QString message = QStringLiteral("The keychain %1 %2 has mode %3 and couldn't be restricted to %4: %5.")
                                    .arg(QLatin1String(what), path, octal(found), octal(mode), errnoText());
        qCWarning(lcPlatform).noquote() << message;
        return failed(KeychainError::AccessDenied, message);
    }
    qCWarning(lcPlatform).noquote() << QStringLiteral("The keychain %1 %2 had mode %3; restricted it to %4.")
                                           .arg(QLatin1String(what), path, octal(found), octal(mode));
    return KeychainResult::success();
}

} // namespace

FileKeychainStore::FileKeychainStore(QString file)
    : m_file(std::move(file))
    , m_folder(QFileInfo(m_file).absolutePath())
{
}

QCoro::Task<KeychainRead> FileKeychainStore::read(QString service, QString account)
{
    co_return readItem(service, account);
}

QCoro::Task<KeychainResult> FileKeychainStore::write(QString service, QString account, QByteArray value)
{
    co_return writeItem(service, account, value);
}

QCoro::Task<KeychainResult> FileKeychainStore::remove(QString service, QString account)
{
    co_return removeItem(service, account);
}

KeychainRead FileKeychainStore::readItem(const QString &service, const QString &account) const
{
    const KeychainResult place = securePlace(false);
    if (!place.ok())
        return KeychainRead::error(place);
    const Loaded loaded = load();
    if (!loaded.result.ok())
        return KeychainRead::error(loaded.result);
    const auto it = loaded.items.constFind({service, account});
    if (it == loaded.items.cend())
        return KeychainRead::notFound();
    return KeychainRead::of(it.value());
}

KeychainResult FileKeychainStore::writeItem(const QString &service, const QString &account, const QByteArray &value) const
{
    const KeychainResult place = securePlace(true);
    if (!place.ok())
        return place;
    Loaded loaded = load();
    if (loaded.result.code == KeychainError::Corrupt) {
        const KeychainResult aside = setAsideDamagedFile();
        if (!aside.ok())
            return aside;
        loaded.items.clear();
    } else if (!loaded.result.ok()) {
        return loaded.result; // never overwrite a file that could not be read
    }
    loaded.items.insert({service, account}, value);
    return save(loaded.items);
}

KeychainResult FileKeychainStore::removeItem(const QString &service, const QString &account) const
{
    const KeychainResult place = securePlace(false);
    if (!place.ok())
        return place;
    Loaded loaded = load();
    if (!loaded.result.ok())
        return loaded.result;
    if (loaded.items.remove({service, account}) == 0)
        return KeychainResult::success();
    return save(loaded.items);
}

KeychainResult FileKeychainStore::securePlace(bool createFolder) const
{
    if (createFolder && !QFileInfo::exists(m_folder)) {
        const QString parent = QFileInfo(m_folder).absolutePath();
        if (!QDir().mkpath(parent) ||
            (::mkdir(QFile::encodeName(m_folder).constData(), kFolderMode) != 0 && errno != EEXIST)) {
            return failed(KeychainError::Failed,
                          QStringLiteral("Couldn't create the keychain folder %1: %2.").arg(m_folder, errnoText()));
        }
    }
    const KeychainResult folder = enforceMode(m_folder, kFolderMode, "folder", true);
    if (!folder.ok())
        return folder;
    return enforceMode(m_file, kFileMode, "file", false);
}

FileKeychainStore::Loaded FileKeychainStore::load() const
{
    Loaded out;
    QFile file(m_file);
    if (!file.exists())
        return out;
    out.exists = true;
    if (!file.open(QIODevice::ReadOnly)) {
        out.result = failed(KeychainError::Failed,
                            QStringLiteral("Couldn't open the keychain file %1: %2.").arg(m_file, file.errorString()));
        return out;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        out.result = failed(KeychainError::Failed,
                            QStringLiteral("Couldn't read the keychain file %1: %2.").arg(m_file, file.errorString()));
        return out;
    }
    KeychainFileContents contents = parseKeychainFile(text);
    if (!contents.error.isEmpty()) {
        out.result = failed(KeychainError::Corrupt,
                            QStringLiteral("The keychain file %1 is damaged (%2); it stays as it is until the next "
                                           "write sets it aside.")
                                .arg(m_file, contents.error));
        return out;
    }
    out.items = std::move(contents.items);
    return out;
}

KeychainResult FileKeychainStore::setAsideDamagedFile() const
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString aside = m_file + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_file + QStringLiteral(".corrupt-") + stamp + QLatin1Char('-') + QString::number(n);

    if (!QFile::copy(m_file, aside)) {
        return failed(KeychainError::Failed,
                      QStringLiteral("Couldn't keep a copy of the damaged keychain file %1 at %2; it was not replaced.")
                          .arg(m_file, aside));
    }
    ::chmod(QFile::encodeName(aside).constData(), kFileMode);
    qCWarning(lcPlatform).noquote()
        << QStringLiteral("The keychain file %1 was damaged; kept a copy at %2 and started a new file.").arg(m_file, aside);
    return KeychainResult::success();
}

KeychainResult FileKeychainStore::save(const KeychainItems &items) const
{
    // Private before the first byte lands, whatever the umask says.
    if (const std::optional<QString> error = AtomicFile::write(m_file, serializeKeychainFile(items),
                                                               QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return failed(KeychainError::Failed, QStringLiteral("Couldn't write the keychain file %1.").arg(*error));
    return enforceMode(m_file, kFileMode, "file", false);
}

} // namespace vesk
