#pragma once

#include <QString>

#include <utility>

namespace vesk::fleetd {

// What the typed readers of a request share: the first problem is remembered as a
// sentence for the 400 answer, and reads after it return empty values.
class InputReader {
public:
    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }

protected:
    InputReader() = default;
    explicit InputReader(QString error) : m_error(std::move(error)) {}

    void fail(const QString &message)
    {
        if (m_error.isEmpty())
            m_error = message;
    }

private:
    QString m_error;
};

} // namespace vesk::fleetd
