#include "console/SettingsTransferModel.h"

#include "local/SettingsTransferService.h"

#include <QDir>
#include <QPointer>

namespace vesk {

SettingsTransferModel::SettingsTransferModel(SettingsTransferService *transfer, QObject *parent)
    : QObject(parent), m_transfer(transfer)
{
}

QString SettingsTransferModel::suggestedFileName()
{
    return TransferTexts::suggestedFileName + QStringLiteral(".json");
}

void SettingsTransferModel::exportTo(const QString &path)
{
    if (!m_transfer || m_busy)
        return;
    QString why;
    if (m_transfer->exportTo(path, &why))
        setResult(tr("Settings exported to %1. Passwords and the fleet secret are not included.")
                      .arg(QDir::toNativeSeparators(path)));
    else
        setResult(tr("Could not write %1: %2").arg(QDir::toNativeSeparators(path), why));
}

QCoro::Task<> SettingsTransferModel::importFrom(QString path)
{
    if (!m_transfer || m_busy)
        co_return;
    auto read = SettingsTransferService::readFile(path);
    if (const TransferError *error = std::get_if<TransferError>(&read)) {
        setResult(transferErrorText(*error));
        co_return;
    }
    QPointer<SettingsTransferModel> self(this);
    SettingsTransferService &transfer = *m_transfer;
    m_busy = true;
    emit changed();
    const QString summary = co_await transfer.apply(std::get<SettingsSnapshot>(std::move(read)));
    if (!self)
        co_return;
    m_busy = false;
    setResult(summary);
}

void SettingsTransferModel::setResult(const QString &text)
{
    m_result = text;
    emit changed();
}

} // namespace vesk
