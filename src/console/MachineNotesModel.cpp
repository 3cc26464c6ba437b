#include "console/MachineNotesModel.h"

#include "console/ConsoleFleet.h"
#include "console/ConsoleTexts.h"
#include "platform/LogCategories.h"

#include <QDateTime>
#include <QLocale>
#include <QPointer>

namespace vesk {

MachineNotesModel::MachineNotesModel(ConsoleFleet &fleet, QString author, QObject *parent)
    : QObject(parent), m_fleet(fleet), m_author(std::move(author))
{
}

QCoro::Task<> MachineNotesModel::show(QString serial, QString name)
{
    if (serial != m_serial) {
        m_notes.clear();
        m_loaded = false;
    }
    m_serial = std::move(serial);
    m_name = std::move(name);
    m_error.clear();
    co_await load();
}

QCoro::Task<> MachineNotesModel::load()
{
    const quint64 generation = ++m_generation;
    m_loading = true;
    emit changed();
    QPointer<MachineNotesModel> self(this);
    APIResult<MachineNotesResponse> answer = co_await m_fleet.machineNotes(m_serial);
    if (!self || generation != m_generation)
        co_return;
    m_loading = false;
    if (answer) {
        m_notes = std::move(answer).value().notes;
        m_loaded = true;
        m_error.clear();
    } else {
        m_error = ConsoleTexts::notesFailed + answer.errorMessage();
    }
    emit changed();
}

QCoro::Task<bool> MachineNotesModel::add(QString text)
{
    text = text.trimmed();
    if (text.isEmpty() || m_serial.isEmpty())
        co_return false;
    QPointer<MachineNotesModel> self(this);
    const QString name = m_name;
    const APIStatus status = co_await m_fleet.addNote(m_serial, m_author, text);
    if (!self)
        co_return false;
    if (!status) {
        qCWarning(lcFleet).noquote() << ConsoleTexts::noteSaveFailedFor + name + QStringLiteral(": ")
                                            + status.errorMessage();
        m_error = ConsoleTexts::noteSaveFailed + status.errorMessage();
        emit changed();
        co_return false;
    }
    m_error.clear();
    co_await load();
    co_return true;
}

QCoro::Task<bool> MachineNotesModel::remove(qint64 id)
{
    QPointer<MachineNotesModel> self(this);
    const APIStatus status = co_await m_fleet.deleteNote(id);
    if (!self)
        co_return false;
    if (!status) {
        qCWarning(lcFleet).noquote() << ConsoleTexts::noteDeleteFailedLog << id << status.errorMessage();
        m_error = ConsoleTexts::noteDeleteFailed + status.errorMessage();
        emit changed();
        co_return false;
    }
    m_error.clear();
    co_await load();
    co_return true;
}

QString MachineNotesModel::emptyText() const
{
    return m_loaded && m_notes.isEmpty() ? ConsoleTexts::noNotes : QString();
}

QString MachineNotesModel::line(const MachineNote &note)
{
    QDateTime at = QDateTime::fromString(note.createdAt, Qt::ISODateWithMs);
    if (!at.isValid())
        at = QDateTime::fromString(note.createdAt, Qt::ISODate);
    const QString when = at.isValid() ? QLocale().toString(at.toLocalTime(), QLocale::ShortFormat) : note.createdAt;
    QString signature = note.author;
    if (!when.isEmpty())
        signature += (signature.isEmpty() ? QString() : QStringLiteral(", ")) + when;
    return signature.isEmpty() ? note.note : note.note + QStringLiteral("\n— ") + signature;
}

} // namespace vesk
