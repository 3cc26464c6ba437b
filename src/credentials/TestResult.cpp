#include "credentials/TestResult.h"

namespace vesk {

std::ostream &operator<<(std::ostream &out, const TestResult &result)
{
    if (result.success)
        return out << "TestResult(success)";
    return out << "TestResult(failed: " << result.error.value_or(QString()).toStdString() << ")";
}

} // namespace vesk
