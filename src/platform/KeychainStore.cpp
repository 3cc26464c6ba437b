#include "platform/KeychainStore.h"

#include <QDebug>

#include <ostream>

namespace vesk {

std::optional<QByteArray> KeychainRead::valueOrNone() const
{
    if (!found())
        return std::nullopt;
    return value;
}

KeychainRead KeychainRead::notFound()
{
    return {KeychainResult::failure(KeychainError::NotFound, QStringLiteral("The keychain holds no such item.")), {}};
}

QString keychainErrorName(KeychainError code)
{
    switch (code) {
    case KeychainError::None: return QStringLiteral("none");
    case KeychainError::NotFound: return QStringLiteral("notFound");
    case KeychainError::Unavailable: return QStringLiteral("unavailable");
    case KeychainError::AccessDenied: return QStringLiteral("accessDenied");
    case KeychainError::Corrupt: return QStringLiteral("corrupt");
    case KeychainError::Failed: return QStringLiteral("failed");
    }
    return QStringLiteral("unknown");
}

std::ostream &operator<<(std::ostream &out, KeychainError code)
{
    return out << keychainErrorName(code).toStdString();
}

std::ostream &operator<<(std::ostream &out, const KeychainResult &result)
{
    if (result.ok())
        return out << "ok";
    return out << result.code << ": " << result.message.toStdString();
}

std::ostream &operator<<(std::ostream &out, const KeychainRead &read)
{
    if (read.found())
        return out << "found (" << read.value.size() << " bytes)";
    return out << read.result;
}

QDebug operator<<(QDebug out, const KeychainResult &result)
{
    const QDebugStateSaver saver(out);
    if (result.ok())
        out.noquote() << "ok";
    else
        out.noquote() << keychainErrorName(result.code) << ":" << result.message;
    return out;
}

} // namespace vesk
