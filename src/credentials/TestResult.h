#pragma once

#include <QString>

#include <optional>
#include <ostream>

namespace vesk {

// Outcome of the upload service's connection test; `error` is the text the sets tab shows.
struct TestResult {
    bool success = false;
    std::optional<QString> error;

    static TestResult passed() { return TestResult{true, std::nullopt}; }
    static TestResult failed(QString message) { return TestResult{false, std::move(message)}; }

    bool operator==(const TestResult &) const = default;
};

std::ostream &operator<<(std::ostream &out, const TestResult &result);

} // namespace vesk
