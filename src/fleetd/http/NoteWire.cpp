#include "fleetd/http/NoteWire.h"

namespace vesk::fleetd {

MachineNote toWire(const NoteRecord &note)
{
    return {note.id, note.serial, note.author, note.note, note.createdAt};
}

} // namespace vesk::fleetd
