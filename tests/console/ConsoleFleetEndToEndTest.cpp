// The real console window offscreen against a real vesk-fleetd: a machine announces itself and
// is paired, the console opens from the menu's "Open" item, lists the machine, shows it when
// clicked, "Restart App" sent through the batch sheet is stored on the server, a policy made
// in the Policy Manager and assigned to the machine is listed by the server, and every screen
// renders into a picture. Then the same console against a fleet server that is down, slow or
// answers garbage: every fleet-backed screen shows its failure inline and the window stays usable.
// clicked, a note added on its page is stored and listed back, "Restart App" sent through the
// batch sheet is stored on the server, a policy made in the Policy Manager and assigned to the
// machine is listed by the server, and every screen renders into a picture.
#include "AgentProcess.h"
#include "AgentSide.h"

#include "app/AgentMenu.h"
#include "app/AgentOptions.h"
#include "app/AgentStatusModel.h"
#include "app/VeskWardenApp.h"
#include "app/WardenHeartbeatManager.h"
#include "console/AlertsPage.h"
#include "console/BatchSheet.h"
#include "console/ConsoleFleet.h"
#include "console/ConsoleLauncher.h"
#include "console/ConsoleScreenshots.h"
#include "console/ConsoleWindow.h"
#include "console/MachinePage.h"
#include "console/MachineSoftwarePage.h"
#include "console/PolicyManagerPage.h"
#include "console/SettingsPage.h"
#include "credentials/CredentialManager.h"
#include "local/AppLock.h"
#include "pairing/AgentBundle.h"
#include "pairing/FleetSecretStore.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextDocumentFragment>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vesk;
using namespace vesk::test;

namespace {

const QString kTenant = QStringLiteral("EVNT5678");
const QString kEvent = QStringLiteral("GALA-26");
const QString kSerial = QStringLiteral("C02CONSOLE1");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A fleet server on a loopback port that misbehaves on every request: refuses connections
// (down), answers an HTML error page or cut-off JSON with status 200, or holds every request
// until release() (a server taking its time) and then answers the error page.
class MisbehavingServer {
public:
    enum class Mode { down, htmlPage, cutOffJson, slow };

    explicit MisbehavingServer(Mode mode) : m_mode(mode), m_holding(mode == Mode::slow)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        m_port = m_server.serverPort();
        if (mode == Mode::down) {
            m_server.close();
            return;
        }
        QObject::connect(&m_server, &QTcpServer::newConnection, [this]() {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket]() { take(socket); });
        });
    }

    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1/api").arg(m_port); }
    qsizetype held() const { return m_held.size(); }
    void release()
    {
        m_holding = false;
        for (const QPointer<QTcpSocket> &socket : std::exchange(m_held, {})) {
            if (socket)
                answer(socket);
        }
    }

private:
    void take(QTcpSocket *socket)
    {
        if (!socket->peek(64 * 1024).contains("\r\n\r\n"))
            return; // the request head is not all here yet
        socket->readAll();
        QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        if (m_holding)
            m_held.append(socket);
        else
            answer(socket);
    }
    void answer(QTcpSocket *socket)
    {
        const QByteArray body = m_mode == Mode::cutOffJson ? QByteArray(R"({"devices":[{"serial":"C02)")
                                                           : QByteArray("<html><body><h1>502 Bad Gateway</h1></body></html>");
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    Mode m_mode;
    bool m_holding;
    QTcpServer m_server;
    quint16 m_port = 0;
    QList<QPointer<QTcpSocket>> m_held;
};

// What a label shows: its text, or what its text renders to when the label takes it as markup.
QString shownText(const QLabel *label)
{
    const bool markup = label->textFormat() == Qt::RichText ||
                        (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    return markup ? QTextDocumentFragment::fromHtml(label->text()).toPlainText() : label->text();
}

} // namespace

TEST(ConsoleAgainstFleetd, RestartAppQueuedThroughTheBatchSheetIsStoredOnTheServer)
{
    QTemporaryDir dir;
    FleetServer server(dir.path());
    ASSERT_FALSE(server.baseUrl().isEmpty()) << "vesk-fleetd did not print its URL";
    const auto admin = [&](const QStringList &arguments) { return fleetdAdmin(arguments, server.dbPath()); };
    admin({QStringLiteral("tenant"), QStringLiteral("add"), kTenant});
    admin({QStringLiteral("event"), QStringLiteral("add"), kTenant, kEvent});
    const QString secret = secretCodeOf(admin({QStringLiteral("secret"), QStringLiteral("issue"), kTenant}));
    ASSERT_EQ(secret.size(), 64);

    // The machine announces itself with its event code and is paired from the shell.
    const QString home = dir.path() + QStringLiteral("/home");
    writeFile(home + QStringLiteral("/Shared/Lumora/credentials_Gala.xml"),
              "<credentials><kr5_account>EVNT5678</kr5_account><kr5_location>GALA-26</kr5_location></credentials>");
    {
        ChildProcess agent(QStringLiteral(VESK_WARDEN_BINARY),
                           {QStringLiteral("--headless"), QStringLiteral("--fleet-url"), server.baseUrl(),
                            QStringLiteral("--serial"), kSerial},
                           home);
        ASSERT_TRUE(agent.waitForOutput(QStringLiteral("HEARTBEAT OK HTTP 200"), 15000)) << agent.output().toStdString();
        ChildProcess pair(QStringLiteral(VESK_WARDEN_BINARY),
                          {QStringLiteral("--fleet-url"), server.baseUrl(), QStringLiteral("--serial"), kSerial,
                           QStringLiteral("pair"), secret},
                          home);
        ASSERT_EQ(pair.waitForExit(), 0) << pair.output().toStdString();
        // Stopped, so the command it would fetch stays pending on the server.
        ASSERT_EQ(agent.terminate(), 0) << agent.output().toStdString();
    }

    // That machine's console, opened from its menu.
    AgentSide side(home, server.baseUrl(), kSerial);
    CredentialManager credentials{side.defaults, side.clock, side.http, side.paths,
                                  QUrl(QStringLiteral("https://upload.invalid/upload/"))};
    WardenHeartbeatManager heartbeat{{side.settings, credentials, side.secrets.flags(), side.http, side.clock,
                                      side.identity, heartbeatEndpointFor(server.baseUrl()), {}}};
    VeskWardenApp app{side.settings, heartbeat, side.clock};
    AgentStatusModel status{app, heartbeat, side.secrets, side.clock};
    AgentMenu menu{app, status};
    AppLock lock(side.keychain, side.defaults, QStringLiteral("com.lumora.warden"), PasswordHashCost::minimum());
    FleetClientConsoleFleet fleet(side.api);
    ConsoleLauncher launcher(ConsoleContext{fleet, side.defaults, lock, side.clock, kSerial});
    menu.setWindowOpener([&launcher]() { launcher.open(); });

    menu.openAction()->trigger();
    ConsoleWindow *window = launcher.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    auto *machines = window->findChild<QListView *>(QStringLiteral("machines"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return machines->model()->rowCount() == 1; }, 10000))
        << window->findChild<QLabel *>(QStringLiteral("machinesNote"))->text().toStdString();

    const QModelIndex row = machines->model()->index(0, 0);
    EXPECT_EQ(row.data(Qt::DisplayRole).toString(), kSerial + QStringLiteral(" (This Mac)"));
    QTest::mouseClick(machines->viewport(), Qt::LeftButton, {}, machines->visualRect(row).center());
    EXPECT_EQ(window->detailName(), kSerial);

    // A note written on the machine's page is stored on the server and read back, signed.
    auto *noteText = window->findChild<QLineEdit *>(QStringLiteral("noteText"));
    ASSERT_NE(noteText, nullptr);
    noteText->setText(QStringLiteral("Printer tray sticks"));
    QTest::keyClick(noteText, Qt::Key_Return);
    auto *notes = window->findChild<QListWidget *>(QStringLiteral("notesList"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return notes->count() == 1 && notes->item(0)->text().startsWith(QStringLiteral("Printer tray sticks")); },
        10000))
        << window->findChild<QLabel *>(QStringLiteral("notesMessage"))->text().toStdString();
    EXPECT_TRUE(notes->item(0)->text().contains(kSerial)) << notes->item(0)->text().toStdString();

    QAction *batchAction = nullptr;
    for (QAction *action : window->findChild<QToolBar *>(QStringLiteral("consoleTools"))->actions()) {
        if (action->text() == QLatin1String("Send commands to multiple machines"))
            batchAction = action;
    }
    ASSERT_NE(batchAction, nullptr);
    batchAction->trigger();
    auto *sheet = window->findChild<BatchSheet *>(QStringLiteral("batchSheet"));
    ASSERT_NE(sheet, nullptr);
    auto *picks = sheet->findChild<QListWidget *>(QStringLiteral("batchMachines"));
    ASSERT_EQ(picks->count(), 1);
    picks->item(0)->setCheckState(Qt::Checked);
    sheet->findChild<QComboBox *>(QStringLiteral("batchCommand"))->setCurrentText(QStringLiteral("Restart App"));
    QTest::keyClicks(sheet->findChild<QLineEdit *>(QStringLiteral("batchBundleId")), QStringLiteral("com.lumora.booth"));
    auto *send = sheet->findChild<QPushButton *>(QStringLiteral("batchSend"));
    ASSERT_TRUE(send->isEnabled()) << sheet->findChild<QLabel *>(QStringLiteral("batchBlocker"))->text().toStdString();
    QTest::mouseClick(send, Qt::LeftButton);

    auto *outcomes = sheet->findChild<QListWidget *>(QStringLiteral("batchOutcomes"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcomes->count() == 1; }, 10000));
    const QString outcome = outcomes->item(0)->text();
    EXPECT_TRUE(outcome.startsWith(kSerial + QStringLiteral(": Restart App queued (ID: "))) << outcome.toStdString();

    const QString stored = admin({QStringLiteral("command"), QStringLiteral("list"), kSerial});
    EXPECT_TRUE(stored.contains(QStringLiteral("restart_app"))) << stored.toStdString();
    EXPECT_TRUE(stored.contains(QStringLiteral("com.lumora.booth"))) << stored.toStdString();

    // The machine's Software tab reads back what it reported and the fleet's newer release.
    RemoteInstalledApp capture{QStringLiteral("com.lumora.capture"), QStringLiteral("Capture"), QStringLiteral("1.0"),
                               QStringLiteral("100"), {}, {}, true, true, {}, {}};
    const APIStatus reported = QCoro::waitFor(side.api.reportInstalledApps({capture}));
    ASSERT_TRUE(reported) << reported.errorMessage().toStdString();
    writeFile(dir.filePath(QStringLiteral("Capture-1.1.zip")), QByteArray(2000, 'z'));
    admin({QStringLiteral("release"), QStringLiteral("publish"), QStringLiteral("com.lumora.capture"),
           QStringLiteral("1.1"), dir.filePath(QStringLiteral("Capture-1.1.zip"))});
    MachineSoftwareModel &software = window->machinePage().software().model();
    QCoro::waitFor(software.show(kSerial, kSerial));
    ASSERT_EQ(software.apps().size(), 1) << software.appsText().toStdString();
    EXPECT_EQ(software.apps().first().version, QStringLiteral("1.0"));
    EXPECT_EQ(software.updates(), (QList<MachineUpdate>{{"com.lumora.capture", "Capture", "1.0", "1.1"}}))
        << software.updatesText().toStdString();

    // A policy made in the Policy Manager, assigned to the machine, comes back from the server.
    window->showScreen(ConsoleScreen::policyManager);
    PolicyManagerModel &policies = window->policyManagerPage().model();
    auto *policyNote = window->findChild<QLabel *>(QStringLiteral("policiesNote"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return policyNote->text() == QStringLiteral("No policies yet. Create one with New Policy."); }, 10000))
        << policyNote->text().toStdString();
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("newPolicy")), Qt::LeftButton);
    auto *name = window->findChild<QLineEdit *>(QStringLiteral("policyName"));
    name->setText(QStringLiteral("Gala booths"));
    auto *assigned = window->findChild<QListWidget *>(QStringLiteral("policyMachines"));
    ASSERT_EQ(assigned->count(), 1);
    assigned->item(0)->setCheckState(Qt::Checked);
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("savePolicy")), Qt::LeftButton);
    auto *policyStatus = window->findChild<QLabel *>(QStringLiteral("policyStatus"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !policyStatus->text().isEmpty(); }, 10000));
    EXPECT_EQ(policyStatus->text(), QStringLiteral("Saved Gala booths"));
    QCoro::waitFor(policies.load());
    ASSERT_EQ(policies.policies().size(), 1) << policies.listNote().toStdString();
    EXPECT_EQ(policies.policies().first().name, QStringLiteral("Gala booths"));
    EXPECT_EQ(policies.policies().first().assignedSerials, QStringList{kSerial});

    // An alert the machine reported is acknowledged from the Fleet tab and then shows who handled it.
    const APIStatus alertReported = QCoro::waitFor(side.api.reportAlert(
        AlertReport{kSerial, QStringLiteral("critical"), QStringLiteral("disk"), QStringLiteral("Disk Almost Full"),
                    QStringLiteral("Storage is 93% full"), std::nullopt, std::nullopt, std::nullopt}));
    ASSERT_TRUE(alertReported) << alertReported.errorMessage().toStdString();
    window->showScreen(ConsoleScreen::alerts);
    AlertsModel &alerts = window->alertsPage().model();
    ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.fleet().rows.size() == 1; }, 10000))
        << alerts.fleet().emptyTitle.toStdString();
    QCoro::waitFor(alerts.acknowledge(0));
    EXPECT_EQ(alerts.actionText(), QStringLiteral("Alert acknowledged"));
    ASSERT_EQ(alerts.fleet().rows.size(), 1);
    EXPECT_TRUE(alerts.fleet().rows.first().endsWith(QStringLiteral("Handled by ") + kSerial))
        << alerts.fleet().rows.first().toStdString();

    // Every screen renders against the same fleet: the sidebar's, the machine's tabs and the sheet.
    const ConsoleScreenshots shots =
        QCoro::waitFor(ConsoleScreenshots::capture(*window, dir.filePath(QStringLiteral("shots"))));
    EXPECT_TRUE(shots.error.isEmpty()) << shots.error.toStdString();
    // The sidebar's screens, the machine's two tabs, the sheet, and each further Settings tab.
    EXPECT_EQ(shots.written.size(), window->sidebarScreens().size() + 3 + window->settingsPage().tabs().count() - 1)
        << shots.written.join(' ').toStdString();
    for (const QString &path : shots.written)
        EXPECT_GT(QFileInfo(path).size(), 1000) << path.toStdString();

    // Closing the console leaves nothing behind but the agent.
    window->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return launcher.window() == nullptr; }, 5000));
}

TEST(ConsoleAgainstFleetd, AServerDownSlowOrAnsweringGarbageLeavesEveryScreenUsableWithItsFailureInline)
{
    using Mode = MisbehavingServer::Mode;
    const struct {
        const char *name;
        Mode mode;
        QString quoted; // what each screen's failure line quotes, as the server sent it
    } cases[] = {
        {"down", Mode::down, QStringLiteral("Connection refused")},
        {"an HTML page with status 200", Mode::htmlPage, QStringLiteral("<h1>502 Bad Gateway</h1>")},
        {"JSON cut off", Mode::cutOffJson, QStringLiteral(R"({"devices":[{"serial":"C02)")},
        {"slow, then an HTML page", Mode::slow, QStringLiteral("<h1>502 Bad Gateway</h1>")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        MisbehavingServer server(c.mode);
        AgentSide side(dir.path(), server.baseUrl(), kSerial);
        // A paired machine, so every call goes out to the server.
        side.settings.setTenantCode(kTenant);
        FleetSecretStore secrets(side.keychain, AgentBundle{}.keychainService());
        ASSERT_TRUE(QCoro::waitFor(secrets.store(kTenant, StoredFleetSecret{QString(64, QLatin1Char('a')), 1},
                                                 QStringLiteral("aaaaaaaa"), side.clock.now())));
        AppLock lock(side.keychain, side.defaults, QStringLiteral("com.lumora.warden"), PasswordHashCost::minimum());
        FleetClientConsoleFleet fleet(side.api);
        ConsoleWindow window(ConsoleContext{fleet, side.defaults, lock, side.clock, kSerial});

        // Every fleet-backed screen starts its load; none of them waits for the answer.
        window.present();
        window.showScreen(ConsoleScreen::alerts);
        window.showScreen(ConsoleScreen::policyManager);
        window.machinePage().showMachine(kSerial, QStringLiteral("Booth 1"), QString());
        const auto text = [&](const char *name) { return shownText(window.findChild<QLabel *>(QLatin1String(name))); };
        const struct {
            const char *label;
            QString loading;
            QString failed;
        } screens[] = {
            {"machinesNote", QStringLiteral("Loading machines…"), QStringLiteral("Failed to load machines: ")},
            {"alertsFleetEmpty", QStringLiteral("Loading fleet alerts..."), QStringLiteral("Failed to load fleet alerts: ")},
            {"policiesNote", QStringLiteral("Loading policies…"), QStringLiteral("Failed to load policies: ")},
            {"telemetryText", QStringLiteral("Loading telemetry…"), QStringLiteral("Failed to load telemetry for Booth 1: ")},
        };
        for (const auto &screen : screens)
            EXPECT_EQ(text(screen.label), screen.loading) << screen.label;

        if (c.mode == Mode::slow) {
            // While the server sits on the requests (directory, fleet alerts, policies, device
            // status) the window keeps working.
            ASSERT_TRUE(QTest::qWaitFor([&] { return server.held() >= 4; }, 10000)) << server.held();
            window.showScreen(ConsoleScreen::settings);
            EXPECT_EQ(window.detailName(), QStringLiteral("Settings"));
            for (const auto &screen : screens)
                EXPECT_EQ(text(screen.label), screen.loading) << screen.label;
            server.release();
        }

        const auto allFailed = [&] {
            return std::all_of(std::cbegin(screens), std::cend(screens),
                               [&](const auto &screen) { return text(screen.label).startsWith(screen.failed); });
        };
        ASSERT_TRUE(QTest::qWaitFor(allFailed, 15000)) << text("machinesNote").toStdString() << " | "
                                                       << text("alertsFleetEmpty").toStdString() << " | "
                                                       << text("policiesNote").toStdString() << " | "
                                                       << text("telemetryText").toStdString();
        for (const auto &screen : screens)
            EXPECT_TRUE(text(screen.label).contains(c.quoted)) << screen.label << ": " << text(screen.label).toStdString();
        window.showScreen(ConsoleScreen::alerts);
        EXPECT_EQ(window.detailName(), QStringLiteral("Alerts"));
        // Showing the screen loads it again; the answer is awaited, as the agent's fleet client
        // outlives a closed window but this case's does not.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.alertsPage().model().fleetLoading(); }, 15000));
    }
}
