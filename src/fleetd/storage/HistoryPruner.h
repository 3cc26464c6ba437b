#pragma once

#include "fleetd/storage/RetentionStore.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace vesk::fleetd {

// Keeps history bounded while the server runs: every `idleInterval` it prunes one
// small batch; while batches come back full it goes on with the next one from a
// zero timer, so requests waiting in the event loop are served in between.
class HistoryPruner : public QObject {
    Q_OBJECT
public:
    struct Settings {
        int retentionDays = 90;
        int batchRows = 500;
        std::chrono::milliseconds idleInterval = std::chrono::minutes(5);
    };

    HistoryPruner(RetentionStore &store, std::function<QDateTime()> now, Settings settings,
                  QObject *parent = nullptr);

    // Runs the first batch from the event loop, then keeps going on the timer.
    void start();
    // One batch now; failures are logged and tried again at the next interval.
    RetentionStore::Pruned pruneOnce();

private:
    void onTimer();

    RetentionStore &m_store;
    std::function<QDateTime()> m_now;
    Settings m_settings;
    QTimer m_timer;
};

} // namespace vesk::fleetd
