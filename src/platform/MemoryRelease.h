#pragma once

namespace vesk {

// Hands the heap's free pages back to the system. The allocator keeps memory that was freed
// for reuse; after a large, short-lived part of the agent goes away (the console window), this
// makes the resident figure fall back instead of staying at its peak. Does nothing where the
// allocator offers no such call.
void releaseFreedMemory();

} // namespace vesk
