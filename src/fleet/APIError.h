#pragma once

#include <QString>

#include <iosfwd>

class QDebug;

namespace vesk {

// The error of every fleet request. Its message is what services log, what command
// results carry and what the console shows.
class APIError {
public:
    enum class Code {
        networkError,    // transport failure: no connection, timeout, TLS
        serverError,     // HTTP failure, secret status, decode failure
        invalidURL,
        invalidResponse,
    };

    static APIError networkError(QString description);
    static APIError serverError(QString message);
    static APIError invalidURL();
    static APIError invalidResponse();

    Code code() const { return m_code; }
    QString message() const;

    friend bool operator==(const APIError &, const APIError &) = default;

private:
    APIError(Code code, QString text) : m_code(code), m_text(std::move(text)) {}

    Code m_code;
    QString m_text; // the transport's description or the server message; empty for the fixed cases
};

std::ostream &operator<<(std::ostream &out, const APIError &error);
QDebug operator<<(QDebug out, const APIError &error);

} // namespace vesk
