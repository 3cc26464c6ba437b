#pragma once

#include "heartbeat/Heartbeat.h"
#include "wire/HeartbeatStateValue.h"

#include <QString>

#include <ostream>
#include <type_traits>

// Readable gtest failure messages for the Qt and heartbeat values these tests compare.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vesk {
inline void PrintTo(const HeartbeatOutcome &outcome, std::ostream *os)
{
    *os << (outcome.delivered ? "delivered" : "failed") << " at " << outcome.at.toString(Qt::ISODate).toStdString()
        << " \"" << outcome.error.toStdString() << '"';
}

inline void PrintTo(const HeartbeatStateValue &value, std::ostream *os)
{
    std::visit(
        [os](const auto &v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>)
                *os << (v ? "bool(true)" : "bool(false)");
            else if constexpr (std::is_same_v<T, qint64>)
                *os << "int(" << v << ")";
            else
                *os << "string(\"" << v.toStdString() << "\")";
        },
        value.value());
}
} // namespace vesk
