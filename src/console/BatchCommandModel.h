#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

namespace vesk {

class ConsoleFleet;

// One command of the batch sheet.
struct BatchCommand {
    QString command;
    QString label;
    QString symbol;
    bool needsApp = false; // takes a bundle identifier
};

// The outcome of one picked machine.
struct BatchOutcome {
    QString serial;
    bool queued = false;
    QString text;

    bool operator==(const BatchOutcome &) const = default;
};

// The "Send commands to multiple machines" sheet: machines picked by serial, one command of
// the fixed table, a bundle identifier for the app commands, and each machine's outcome.
class BatchCommandModel : public QObject {
    Q_OBJECT
public:
    explicit BatchCommandModel(ConsoleFleet &fleet, QObject *parent = nullptr);

    static const QList<BatchCommand> &commands();

    void setPicked(const QString &serial, bool picked);
    const QList<QString> &picked() const { return m_picked; }
    void setCommand(int index);
    const BatchCommand &command() const { return commands().at(m_command); }
    void setBundleId(const QString &bundleId);
    // Several apps: an app command goes to every picked machine once per app.
    void setBundleIds(const QStringList &bundleIds);
    const QStringList &bundleIds() const { return m_bundleIds; }

    // Why the sheet cannot send yet; empty when it can.
    QString blocker() const;
    // Queues the command on every picked machine in turn; outcomes() fills as answers come.
    QCoro::Task<> send();
    bool isSending() const { return m_sending; }
    const QList<BatchOutcome> &outcomes() const { return m_outcomes; }

signals:
    void changed();

private:
    ConsoleFleet &m_fleet;
    QList<QString> m_picked; // in the order they were picked
    int m_command = 0;
    QStringList m_bundleIds;
    bool m_sending = false;
    QList<BatchOutcome> m_outcomes;
};

} // namespace vesk
