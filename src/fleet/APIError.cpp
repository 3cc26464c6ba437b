#include "fleet/APIError.h"

#include <QDebug>

#include <ostream>

namespace vesk {

APIError APIError::networkError(QString description)
{
    return APIError(Code::networkError, std::move(description));
}

APIError APIError::serverError(QString message)
{
    return APIError(Code::serverError, std::move(message));
}

APIError APIError::invalidURL()
{
    return APIError(Code::invalidURL, {});
}

APIError APIError::invalidResponse()
{
    return APIError(Code::invalidResponse, {});
}

QString APIError::message() const
{
    switch (m_code) {
    case Code::networkError:
    case Code::serverError:
        return m_text;
    case Code::invalidURL:
        return QStringLiteral("Invalid URL");
    case Code::invalidResponse:
        return QStringLiteral("Invalid server response");
    }
    return m_text;
}

namespace {
const char *codeName(APIError::Code code)
{
    switch (code) {
    case APIError::Code::networkError:
        return "networkError";
    case APIError::Code::serverError:
        return "serverError";
    case APIError::Code::invalidURL:
        return "invalidURL";
    case APIError::Code::invalidResponse:
        return "invalidResponse";
    }
    return "?";
}
} // namespace

std::ostream &operator<<(std::ostream &out, const APIError &error)
{
    return out << codeName(error.code()) << "(\"" << error.message().toStdString() << "\")";
}

QDebug operator<<(QDebug out, const APIError &error)
{
    QDebugStateSaver saver(out);
    out.nospace().noquote() << codeName(error.code()) << ": " << error.message();
    return out;
}

} // namespace vesk
