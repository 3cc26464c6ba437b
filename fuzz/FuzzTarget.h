#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <vector>

// One fuzz target: a function over arbitrary bytes that must neither crash nor trip a
// sanitizer. The same source builds into a libFuzzer binary (clang, fuzz/CMakeLists.txt)
// and into the corpus test of the normal build (tests/fuzz), which finds every target
// through this registry.
namespace vesk::fuzz {

using Entry = void (*)(const QByteArray &input);

struct Target {
    const char *name;
    Entry entry;
};

// Every target linked into the running binary, in registration order.
std::vector<Target> &targets();
bool addTarget(const char *name, Entry entry);

// A broken invariant the decoder promised: reported and aborted on, so libFuzzer keeps the
// input as a crasher and the corpus test fails on it.
[[noreturn]] void invariantBroken(const char *what, const char *file, int line);

// The input split at its first newline: a selector or header line, then the rest.
struct SplitInput {
    QByteArray head;
    QByteArray rest;
};
SplitInput splitFirstLine(const QByteArray &input);

} // namespace vesk::fuzz

#define VESK_FUZZ_CHECK(condition)                                                                                    \
    do {                                                                                                              \
        if (!(condition))                                                                                             \
            ::vesk::fuzz::invariantBroken(#condition, __FILE__, __LINE__);                                            \
    } while (false)

// VESK_FUZZ_TARGET(name) { ...body using `input`... }
#define VESK_FUZZ_TARGET(name)                                                                                        \
    static void vesk_fuzz_##name(const QByteArray &input);                                                            \
    [[maybe_unused]] static const bool vesk_fuzz_added_##name = ::vesk::fuzz::addTarget(#name, &vesk_fuzz_##name);   \
    static void vesk_fuzz_##name(const QByteArray &input)
