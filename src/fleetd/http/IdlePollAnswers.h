#pragma once

#include <QByteArray>
#include <QHash>
#include <QHttpServerResponse>
#include <QString>

namespace vesk::fleetd {

// The answer to a command poll that finds nothing, {"serial": S, "commands": []}, serialized
// once per serial and reused: nearly every poll finds nothing, and building the same JSON object
// and its text again was a tenth of a poll's work. The bytes are those of the wire record.
class IdlePollAnswers {
public:
    QHttpServerResponse answer(const QString &serial);

private:
    // Past this many serials the remembered answers are dropped and rebuilt as polls come.
    static constexpr qsizetype kMaxSerials = 20000;

    QHash<QString, QByteArray> m_bodies;
};

} // namespace vesk::fleetd
