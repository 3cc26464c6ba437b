#pragma once

#include "fleet/APIError.h"

#include <optional>
#include <ostream>
#include <utility>
#include <variant>

namespace vesk {

// What a fleet operation hands back: its value, or the APIError that ended it.
template <class T> class APIResult {
public:
    // Before any answer arrived there is no valid response (QCoro::waitFor needs this).
    APIResult() : APIResult(APIError::invalidResponse()) {}
    APIResult(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    APIResult(APIError error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return std::get<0>(m_state); }
    T &value() & { return std::get<0>(m_state); }
    T &&value() && { return std::get<0>(std::move(m_state)); }
    const T *operator->() const { return &value(); }
    const T &operator*() const { return value(); }

    const APIError &error() const { return std::get<1>(m_state); }
    // The error's message, or empty on success.
    QString errorMessage() const { return ok() ? QString() : error().message(); }

    friend bool operator==(const APIResult &, const APIResult &) = default;

private:
    std::variant<T, APIError> m_state;
};

// Operations whose success carries nothing.
template <> class APIResult<void> {
public:
    APIResult() = default;
    APIResult(APIError error) : m_error(std::move(error)) {}

    bool ok() const { return !m_error; }
    explicit operator bool() const { return ok(); }
    const APIError &error() const { return *m_error; }
    QString errorMessage() const { return ok() ? QString() : m_error->message(); }

    friend bool operator==(const APIResult &, const APIResult &) = default;

private:
    std::optional<APIError> m_error;
};

using APIStatus = APIResult<void>;

// Prints the error, or "ok" (values need no printer of their own).
template <class T> std::ostream &operator<<(std::ostream &out, const APIResult<T> &result)
{
    if (result.ok())
        return out << "ok";
    return out << result.error();
}

} // namespace vesk
