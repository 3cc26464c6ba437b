#pragma once

#include <QString>

#include <ostream>

namespace vesk {

// The outcome of the operator's pairing: whether this Mac is now paired, and the
// message shown to the operator either way.
struct PairResult {
    bool paired = false;
    QString message;

    friend bool operator==(const PairResult &, const PairResult &) = default;
};

inline std::ostream &operator<<(std::ostream &out, const PairResult &result)
{
    return out << (result.paired ? "paired" : "not paired") << "(\"" << result.message.toStdString() << "\")";
}

} // namespace vesk
