#pragma once

#include <QtGlobal>

#include <chrono>

#include <qcoro/qcorotask.h>

namespace vesk {

// Sends `signalNumber` to an application's process. When the process leads its own process
// group (as every application we launch does, being a session leader) the whole group gets
// it, so helper processes go with their application; a group the agent belongs to is
// never signalled as a whole. Process ids below 2 are refused. False when nothing was
// signalled (no such process, or not ours to signal).
bool signalApplication(qint32 pid, int signalNumber);

// True once the process has ended (a zombie counts as ended), false when `timeout` passed
// first. Watches a pidfd on the event loop, so nothing polls while the process runs.
QCoro::Task<bool> waitForProcessExit(qint32 pid, std::chrono::milliseconds timeout);

} // namespace vesk
