#include "TestDatabases.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QVersionNumber>

#include <memory>
#include <optional>

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

namespace {

const QString kUser = QStringLiteral("fleet");

// A cluster is tens of megabytes written at start: in memory when possible, as
// a loaded disk turns that into seconds.
QString clusterParent()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
}

// The newest /usr/lib/postgresql/<version>/bin holding initdb and postgres.
QString postgresBinDir()
{
    QString best;
    QVersionNumber bestVersion;
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    for (const QString &entry : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString bin = root.filePath(entry + QStringLiteral("/bin"));
        const QVersionNumber version = QVersionNumber::fromString(entry);
        if (QFile::exists(bin + "/initdb") && QFile::exists(bin + "/postgres") && version > bestVersion) {
            best = bin;
            bestVersion = version;
        }
    }
    return best;
}

class PostgresCluster {
public:
    ~PostgresCluster() { stop(); }

    bool start(QString *why)
    {
        const QString bin = postgresBinDir();
        if (bin.isEmpty()) {
            *why = "PostgreSQL server binaries not installed (no /usr/lib/postgresql/*/bin/initdb); "
                   "install the postgresql package to run these";
            return false;
        }
        if (!m_dir.isValid() || !handToOwner(m_dir.path(), why))
            return false;
        // initdb takes seconds, and every test runs in a process of its own: the
        // processes copy one pristine cluster made once per user and version.
        const QString pristine = pristineCluster(bin, why);
        if (pristine.isEmpty())
            return false;
        QProcess copy;
        copy.setProcessChannelMode(QProcess::MergedChannels);
        copy.start("cp", {"-a", pristine, dataDir()});
        if (!copy.waitForFinished(120000) || copy.exitCode() != 0) {
            *why = "cannot copy the test cluster: " + QString::fromLocal8Bit(copy.readAll());
            return false;
        }

        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            *why = "no free port";
            return false;
        }
        m_port = probe.serverPort();
        probe.close();

        // Sockets in the temporary folder: /run/postgresql may not exist or be writable.
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        startAsOwner(m_server, bin + "/postgres",
                     {"-D", dataDir(), "-p", QString::number(m_port), "-k", m_dir.path(), "-c",
                      "listen_addresses=127.0.0.1", "-c", "fsync=off", "-c", "max_connections=60"});
        QByteArray log;
        while (!log.contains("ready to accept connections")) {
            if (!m_server.waitForReadyRead(60000)) {
                *why = "postgres did not start: " + QString::fromLocal8Bit(log + m_server.readAll());
                stop();
                return false;
            }
            log += m_server.readAll();
        }
        // Keep draining its log so that it never blocks on a full pipe.
        QObject::connect(&m_server, &QProcess::readyRead, &m_server, [this] { m_server.readAll(); });

        m_admin = QSqlDatabase::addDatabase("QPSQL", "test-postgres-admin");
        m_admin.setHostName("127.0.0.1");
        m_admin.setPort(m_port);
        m_admin.setUserName(kUser);
        m_admin.setDatabaseName("postgres");
        if (!m_admin.open()) {
            *why = "cannot connect to the test cluster: " + m_admin.lastError().text();
            stop();
            return false;
        }
        QSqlQuery version(m_admin);
        if (version.exec("SELECT version()") && version.next())
            m_version = version.value(0).toString();
        return true;
    }

    QString createDatabase(QString *why)
    {
        const QString name = QStringLiteral("fleet%1").arg(++m_databases);
        QSqlQuery query(m_admin);
        if (!query.exec("CREATE DATABASE " + name)) {
            *why = "CREATE DATABASE failed: " + query.lastError().text();
            return {};
        }
        return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(kUser).arg(m_port).arg(name);
    }

    const QString &version() const { return m_version; }

private:
    QString dataDir() const { return m_dir.filePath("data"); }

    // postgres refuses to run as root: the cluster belongs to nobody then.
    bool handToOwner(const QString &folder, QString *why)
    {
        if (::geteuid() != 0)
            return true;
        const passwd *nobody = ::getpwnam("nobody");
        if (!nobody || ::chown(QFile::encodeName(folder).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            *why = "cannot hand " + folder + " to user nobody";
            return false;
        }
        m_uid = nobody->pw_uid;
        m_gid = nobody->pw_gid;
        return true;
    }

    // The data folder of a cluster initdb made for this user and server version,
    // made under a lock by the first test process that needs it.
    QString pristineCluster(const QString &bin, QString *why)
    {
        const QString root = QStringLiteral("%1/vesk-pg-pristine-%2-%3")
                                 .arg(clusterParent(), QFileInfo(bin).dir().dirName())
                                 .arg(::geteuid());
        const QString data = root + "/data";
        QLockFile lock(root + ".lock");
        lock.setStaleLockTime(0); // only a dead holder's lock is stale
        if (!lock.lock()) {
            *why = "cannot lock " + root + ".lock";
            return {};
        }
        if (QFile::exists(root + "/complete"))
            return data;
        QDir(root).removeRecursively();
        if (!QDir().mkpath(root) || !handToOwner(root, why))
            return {};
        QProcess initdb;
        initdb.setProcessChannelMode(QProcess::MergedChannels);
        startAsOwner(initdb, bin + "/initdb",
                     {"-D", data, "--auth=trust", "--username=" + kUser, "--encoding=UTF8", "--locale=C.UTF-8",
                      "--no-sync", "--wal-segsize=1"});
        if (!initdb.waitForFinished(120000) || initdb.exitCode() != 0) {
            *why = "initdb failed: " + QString::fromLocal8Bit(initdb.readAll());
            return {};
        }
        QFile complete(root + "/complete");
        if (!complete.open(QIODevice::WriteOnly)) {
            *why = "cannot write " + complete.fileName();
            return {};
        }
        return data;
    }

    // setpriv drops root when needed and, either way, asks the kernel to stop the
    // server (immediate shutdown) should this test process die without cleaning up.
    void startAsOwner(QProcess &process, const QString &program, const QStringList &arguments)
    {
        QStringList wrapped = {"--pdeathsig=QUIT"};
        if (m_uid)
            wrapped += {QStringLiteral("--reuid=%1").arg(*m_uid), QStringLiteral("--regid=%1").arg(*m_gid),
                        "--clear-groups"};
        process.start("setpriv", wrapped + QStringList{program} + arguments);
    }

    void stop()
    {
        if (m_admin.isValid()) {
            m_admin.close();
            m_admin = QSqlDatabase();
            QSqlDatabase::removeDatabase("test-postgres-admin");
        }
        if (m_server.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(m_server.processId()), SIGINT); // fast shutdown
        if (!m_server.waitForFinished(30000))
            m_server.kill();
        m_server.waitForFinished(5000);
    }

    QTemporaryDir m_dir{clusterParent() + "/vesk-pg-XXXXXX"};
    std::optional<uid_t> m_uid;
    std::optional<gid_t> m_gid;
    QProcess m_server;
    QSqlDatabase m_admin;
    quint16 m_port = 0;
    int m_databases = 0;
    QString m_version;
};

std::unique_ptr<PostgresCluster> g_cluster;
QString g_whyNot;

// Stops the cluster after the last test, while the application object still exists.
class ClusterEnvironment : public ::testing::Environment {
public:
    void TearDown() override { g_cluster.reset(); }
};

[[maybe_unused]] const auto *const g_environment = ::testing::AddGlobalTestEnvironment(new ClusterEnvironment);

PostgresCluster *cluster(QString *why)
{
    if (!g_cluster && g_whyNot.isEmpty()) {
        auto started = std::make_unique<PostgresCluster>();
        if (started->start(&g_whyNot))
            g_cluster = std::move(started);
    }
    *why = g_whyNot;
    return g_cluster.get();
}

} // namespace

std::string testBackendName(const ::testing::TestParamInfo<TestBackend> &info)
{
    return info.param == TestBackend::Sqlite ? "SQLite" : "PostgreSQL";
}

QString newStoreLocation(TestBackend backend, const QTemporaryDir &dir, QString *why)
{
    if (backend == TestBackend::Sqlite)
        return dir.filePath("fleet.sqlite");
    PostgresCluster *postgres = cluster(why);
    return postgres ? postgres->createDatabase(why) : QString();
}

QString testPostgresVersion()
{
    return g_cluster ? g_cluster->version() : QString();
}
