#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <functional>
#include <optional>

namespace vesk {

class AccessProbe;

// Whether the agent may do its job on this machine, inferred from real tests: "App
// Management" is replacing bundles in every application folder (updates), "Full Disk Access"
// is reading the folders it must clean and the shares it mounts. Each state comes with the
// detail that decided it; start-up and the console call refresh(). Lives on the main thread;
// the tests themselves run on a worker, as a hung share can stall a read for minutes.
class SystemPermissions final : public QObject {
    Q_OBJECT
public:
    enum class Status { granted, denied, unknown };

    struct Dependencies {
        const AccessProbe &probe;
        QStringList applicationDirs;
        // Read when nothing else is there to read.
        QString homeDir;
        // The folders cleanup rules name and the shares' mount points, at the time of the check.
        std::function<QStringList()> readTargets;
        // Consulted for the App Management switch when the folders leave the answer open.
        QStringList privacyDatabases;
        QString bundleId = QStringLiteral("com.lumora.VESK-Warden");
        QString bundlePath;
    };

    explicit SystemPermissions(Dependencies deps, QObject *parent = nullptr);

    // Runs both tests, updates every field and writes one log line ("permissions"). A check
    // asked for while one runs joins nothing and returns at once.
    QCoro::Task<> refresh();
    // refresh() for a signal: started, not awaited.
    void startRefresh();

    Status appManagement() const { return m_appManagement; }
    Status fullDiskAccess() const { return m_fullDiskAccess; }
    const QString &appManagementDetail() const { return m_appManagementDetail; }
    const QString &fullDiskAccessDetail() const { return m_fullDiskAccessDetail; }
    const std::optional<QString> &signatureProblem() const { return m_signatureProblem; }
    bool launchAskCompleted() const { return m_launchAskCompleted; }
    void setLaunchAskCompleted(bool done) { m_launchAskCompleted = done; }
    bool allGranted() const { return m_appManagement == Status::granted && m_fullDiskAccess == Status::granted; }

    // The menu's permission items: "Permissions: granted", else what is missing.
    QStringList menuLines() const;
    // "granted", "denied", "unconfirmed".
    static QString logWord(Status status);

signals:
    void changed();

private:
    struct Verdict {
        Status status = Status::unknown;
        QString detail;
    };
    static Verdict probeAppManagement(const AccessProbe &probe, const QStringList &folders,
                                      const QStringList &privacyDatabases, const QString &bundleId);
    static Verdict probeFullDiskAccess(const AccessProbe &probe, QStringList targets, const QString &home);

    const AccessProbe &m_probe;
    QStringList m_applicationDirs;
    QString m_homeDir;
    std::function<QStringList()> m_readTargets;
    QStringList m_privacyDatabases;
    QString m_bundleId;
    QString m_bundlePath;

    Status m_appManagement = Status::unknown;
    Status m_fullDiskAccess = Status::unknown;
    QString m_appManagementDetail;
    QString m_fullDiskAccessDetail;
    std::optional<QString> m_signatureProblem;
    bool m_launchAskCompleted = false;
    bool m_checking = false;
};

} // namespace vesk
