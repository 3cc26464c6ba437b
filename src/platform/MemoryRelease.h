#pragma once

#include <QBitArray>
#include <QList>
#include <QtGlobal>

namespace vesk {

// Hands the heap's free pages back to the system. The allocator keeps memory that was freed
// for reuse; after a large, short-lived part of the agent goes away (the console window), this
// makes the resident figure fall back instead of staying at its peak. Does nothing where the
// allocator offers no such call.
void releaseFreedMemory();

// Which pages of the agent's read-only file mappings (library code and constants, fonts) are
// resident at one moment. Taken before a short-lived part of the agent starts, it lets
// `releaseFilePagesSince()` give back the pages that part brought in once it has gone: the
// console pulls several MiB of chart, widget and font pages into the agent that nothing else
// reads. Empty where the system cannot tell.
struct ResidentFilePages {
    struct Range {
        quintptr start = 0;
        quintptr end = 0;
        QBitArray present; // one bit per page
    };
    QList<Range> ranges;

    static ResidentFilePages now();
};

// Asks the system to reclaim the read-only file pages resident now that were not in `before`.
// Only pages no other process maps are reclaimed, so nothing shared is dropped; a page needed
// again is read back in. Returns the bytes advised (0 where the system offers no such call).
qint64 releaseFilePagesSince(const ResidentFilePages &before);

} // namespace vesk
