#include "commands/payload/ArchiveError.h"

#include <QDebug>

#include <ostream>

namespace vesk {

QString ArchiveError::message() const
{
    switch (m_code) {
    case Code::dittoFailed:
        return QStringLiteral("Archive operation failed: ") + m_detail;
    case Code::emptyArchive:
        return QStringLiteral("The archive extracted to nothing.");
    case Code::escapedStaging:
        return QStringLiteral("The archive tried to write outside its staging folder.");
    }
    return {};
}

std::ostream &operator<<(std::ostream &out, const ArchiveError &error)
{
    return out << error.message().toStdString();
}

std::ostream &operator<<(std::ostream &out, const ArchiveResult &result)
{
    if (result.ok())
        return out << "ok: " << result.path.toStdString();
    return out << *result.error;
}

QDebug operator<<(QDebug out, const ArchiveError &error)
{
    QDebugStateSaver saver(out);
    out.noquote() << error.message();
    return out;
}

} // namespace vesk
