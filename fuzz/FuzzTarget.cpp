#include "FuzzTarget.h"

#include <cstdio>
#include <cstdlib>

namespace vesk::fuzz {

std::vector<Target> &targets()
{
    static std::vector<Target> all;
    return all;
}

bool addTarget(const char *name, Entry entry)
{
    targets().push_back(Target{name, entry});
    return true;
}

void invariantBroken(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "fuzz invariant broken: %s (%s:%d)\n", what, file, line);
    std::abort();
}

SplitInput splitFirstLine(const QByteArray &input)
{
    const qsizetype newline = input.indexOf('\n');
    if (newline < 0)
        return SplitInput{input, QByteArray()};
    return SplitInput{input.left(newline), input.mid(newline + 1)};
}

} // namespace vesk::fuzz
