#pragma once

#include <QObject>

class QSocketNotifier;

namespace vesk {

// Turns SIGTERM and SIGINT into a Qt signal on the event loop (self-pipe), so the
// agent stops its services cleanly instead of dying mid-write.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace vesk
