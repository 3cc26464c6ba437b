#pragma once

#include <QString>

namespace vesk::fleetd {

// Every fleet key in `text` ("TENANTHASH.ID.CODE") replaced by its id and the code's 8-character
// preview, so no log line ever holds a key that would let its reader in.
QString redactFleetKeys(const QString &text);

// Routes every log message of the process through redactFleetKeys before the handler that was
// installed before, including Qt's own debug output of request headers.
void installLogRedaction();

} // namespace vesk::fleetd
