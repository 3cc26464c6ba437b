#pragma once

#include <version>

#if defined(__cpp_lib_source_location)
#include <source_location>
#endif

namespace vesk {

#if defined(__cpp_lib_source_location)
using SourceSite = std::source_location;
#else
// Where a call was written, for compilers whose library lacks std::source_location (clang 14
// over libstdc++ 12, the fuzz build): the same three facts from the compiler's builtins.
class SourceSite {
public:
    static constexpr SourceSite current(const char *file = __builtin_FILE(), unsigned line = __builtin_LINE(),
                                        const char *function = __builtin_FUNCTION()) noexcept
    {
        SourceSite site;
        site.m_file = file;
        site.m_line = line;
        site.m_function = function;
        return site;
    }
    constexpr const char *file_name() const noexcept { return m_file; }
    constexpr const char *function_name() const noexcept { return m_function; }
    constexpr unsigned line() const noexcept { return m_line; }

private:
    const char *m_file = "";
    unsigned m_line = 0;
    const char *m_function = "";
};
#endif

} // namespace vesk
