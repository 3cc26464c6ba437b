#pragma once

#include "platform/AgentRelaunch.h"
#include "updates/OwnAgent.h"
#include "updates/SelfUpdateDecision.h"

#include <QObject>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <optional>

namespace vesk {

class BundleSwap;
class Clock;
class DefaultsStore;
class HttpTransport;
class Workspace;

// The agent's own update. After each availability check it decides whether to move to another
// published version of itself (a pinned one, or a newer critical release), downloads it with
// the checks every app archive passes (status, size, checksum, signature), unpacks it next to
// the installed bundle and swaps it in with one exchange, keeping the replaced bundle beside
// it. A watcher process then restarts the agent (through its unit, or by starting it after
// this one quits) and swaps the kept bundle back when the new agent does not report started.
class SelfUpdater final : public QObject {
    Q_OBJECT
public:
    using FetchReleases = std::function<QCoro::Task<std::optional<QList<AvailableUpdate>>>()>;

    struct Dependencies {
        FetchReleases fetchReleases;
        DefaultsStore &defaults;
        HttpTransport &http;
        Clock &clock;
        BundleSwap &swap;
        const Workspace &workspace;
        AgentRelaunch &relaunch;
        OwnAgent own;
        qint32 ownPid = 0;
        QString tempDir;
        QString stateDir;            // the agent's storage folder: the hand-over's markers
        std::function<void()> quit;  // ends the agent so that the watcher can start the new one
    };

    // How long a new agent runs before it reports started.
    static constexpr std::chrono::seconds startSettle{5};
    // The least time the watcher gives a new agent to report started.
    static constexpr std::chrono::seconds minimumStartBound{15};

    explicit SelfUpdater(Dependencies deps, QObject *parent = nullptr);

    // One decision and its action; `latest` is the last release list received, if any.
    QCoro::Task<> check(std::optional<QList<AvailableUpdate>> latest);
    // Called once the agent's services run: after a short settle, tells a waiting watcher that
    // this version started.
    QCoro::Task<> reportStarted();
    // Called at start: removes the previous agent's copy that an interrupted self-update left
    // beside the installed bundle. While a hand-over is pending the watcher may still need it
    // to roll back, so it stays.
    void removeLeftoverKeptCopy();

    bool isSelfUpdating() const { return m_selfUpdating; }
    const std::optional<AvailableUpdate> &criticalUpdateHeldByPin() const { return m_heldByPin; }
    // The console's line while a pin holds a critical release; empty otherwise.
    QString heldByPinText() const;

signals:
    void changed();

private:
    QCoro::Task<> perform(AvailableUpdate release);
    void failed(const QString &text);

    FetchReleases m_fetchReleases;
    DefaultsStore &m_defaults;
    HttpTransport &m_http;
    Clock &m_clock;
    BundleSwap &m_swap;
    const Workspace &m_workspace;
    AgentRelaunch &m_relaunch;
    OwnAgent m_own;
    qint32 m_ownPid;
    QString m_tempDir;
    QString m_stateDir;
    std::function<void()> m_quit;

    bool m_selfUpdating = false;
    std::optional<AvailableUpdate> m_heldByPin;
    QString m_reportedFailed; // the rolled-back version last logged as left alone
};

} // namespace vesk
