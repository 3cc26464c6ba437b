#pragma once

#include "fleetd/records/NoteRecord.h"
#include "wire/MachineNote.h"

namespace vesk::fleetd {

// A stored note as the agent decodes it.
MachineNote toWire(const NoteRecord &note);

} // namespace vesk::fleetd
