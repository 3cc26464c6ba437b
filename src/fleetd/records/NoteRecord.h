#pragma once

#include <QString>

namespace vesk::fleetd {

// An administrator's note on a machine.
struct NoteRecord {
    qint64 id = 0;
    QString serial;
    QString author;
    QString note;
    QString createdAt;
};

} // namespace vesk::fleetd
