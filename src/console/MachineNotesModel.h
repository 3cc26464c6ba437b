#pragma once

#include "wire/MachineNote.h"

#include <QObject>

#include <qcoro/qcorotask.h>

namespace vesk {

class ConsoleFleet;

// The administrators' notes on one machine, read and written through the fleet server.
// A failed call leaves the list as it was and says why inline.
class MachineNotesModel : public QObject {
    Q_OBJECT
public:
    // `author` signs the notes added from this console.
    MachineNotesModel(ConsoleFleet &fleet, QString author, QObject *parent = nullptr);

    // Shows `serial` (named `name`) and loads its notes.
    QCoro::Task<> show(QString serial, QString name);
    QCoro::Task<> load();
    // Adds a note of non-blank `text` and loads the list again; whether it was stored.
    QCoro::Task<bool> add(QString text);
    QCoro::Task<bool> remove(qint64 id);

    const QList<MachineNote> &notes() const { return m_notes; }
    bool isLoading() const { return m_loading; }
    // "No notes yet. Add one above." once a load found none; empty otherwise.
    QString emptyText() const;
    // The last failure, or empty.
    const QString &errorText() const { return m_error; }
    // A note as listed: its text, then who wrote it and when.
    static QString line(const MachineNote &note);

signals:
    void changed();

private:
    ConsoleFleet &m_fleet;
    QString m_author;
    QString m_serial;
    QString m_name;
    QList<MachineNote> m_notes;
    bool m_loading = false;
    bool m_loaded = false;
    QString m_error;
    quint64 m_generation = 0; // notes of a machine no longer shown are dropped
};

} // namespace vesk
