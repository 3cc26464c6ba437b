#pragma once

#include <QString>

#include <ostream>

namespace vesk {

// The outcome of a payload command: what the command poller reports for it.
struct PayloadResult {
    bool success = false;
    QString message;

    static PayloadResult ok(QString text) { return PayloadResult{true, std::move(text)}; }
    static PayloadResult failed(QString text) { return PayloadResult{false, std::move(text)}; }
    friend bool operator==(const PayloadResult &, const PayloadResult &) = default;
};

inline std::ostream &operator<<(std::ostream &out, const PayloadResult &result)
{
    return out << (result.success ? "success: " : "failure: ") << result.message.toStdString();
}

} // namespace vesk
