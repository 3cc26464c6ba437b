#pragma once

#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

class SettingsTransferService;

// "Export Settings…" and "Import Settings…": the page asks for the file, this writes or reads
// it and keeps the one result line. A file that cannot be read or is not a settings file is
// refused before anything on this machine changes.
class SettingsTransferModel final : public QObject {
    Q_OBJECT
public:
    explicit SettingsTransferModel(SettingsTransferService *transfer, QObject *parent = nullptr);

    bool isAvailable() const { return m_transfer != nullptr; }
    bool isBusy() const { return m_busy; }
    const QString &result() const { return m_result; }
    // The file name the save panel suggests.
    static QString suggestedFileName();

    void exportTo(const QString &path);
    QCoro::Task<> importFrom(QString path);

signals:
    void changed();

private:
    void setResult(const QString &text);

    SettingsTransferService *m_transfer;
    QString m_result;
    bool m_busy = false;
};

} // namespace vesk
