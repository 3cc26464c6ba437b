#include "AgentProcess.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace vesk::test {

ChildProcess::ChildProcess(const QString &program, const QStringList &arguments, const QString &home,
                           const QMap<QString, QString> &environment)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.insert(QStringLiteral("VESK_SHARED_DIR"), home + QStringLiteral("/Shared"));
    env.insert(QStringLiteral("VESK_APPLICATIONS"), home + QStringLiteral("/Applications"));
    env.insert(QStringLiteral("VESK_RESTART_COMMAND"), QStringLiteral("false"));
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        env.insert(it.key(), it.value());
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program, arguments);
    m_process.waitForStarted(5000);
}

ChildProcess::~ChildProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void ChildProcess::sendInput(const QByteArray &input)
{
    m_process.write(input);
    m_process.closeWriteChannel();
}

QString ChildProcess::output()
{
    m_output += QString::fromUtf8(m_process.readAll());
    return m_output;
}

bool ChildProcess::waitForOutput(const QString &needle, int timeoutMs)
{
    return QTest::qWaitFor([&]() { return output().contains(needle); }, timeoutMs);
}

int ChildProcess::terminate(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(timeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(5000);
        return -1;
    }
    output();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

int ChildProcess::waitForExit(int timeoutMs)
{
    if (!m_process.waitForFinished(timeoutMs))
        return -1;
    output();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

FleetServer::FleetServer(const QString &dir, const QStringList &serveOptions) : m_db(dir + QStringLiteral("/fleet.db"))
{
    m_process = std::make_unique<ChildProcess>(
        QStringLiteral(VESK_FLEETD_BINARY),
        QStringList{QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                    QStringLiteral("--db"), m_db} + serveOptions,
        dir);
    if (m_process->waitForOutput(QStringLiteral("/api"), 10000)) {
        for (const QString &line : m_process->output().split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("http"))) {
                m_baseUrl = line.trimmed();
                break;
            }
        }
    }
}

QString FleetServer::machines() const
{
    QProcess p;
    p.start(QStringLiteral(VESK_FLEETD_BINARY), {QStringLiteral("machines"), QStringLiteral("--db"), m_db});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString fleetdAdmin(const QStringList &arguments, const QString &db)
{
    QProcess p;
    p.start(QStringLiteral(VESK_FLEETD_BINARY), arguments + QStringList{QStringLiteral("--db"), db});
    p.waitForFinished(10000);
    EXPECT_EQ(p.exitCode(), 0) << arguments.join(QLatin1Char(' ')).toStdString() << ": "
                               << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString secretCodeOf(const QString &issued)
{
    return issued.section(QLatin1Char('\t'), 1).trimmed();
}

QVariant storedValue(const QString &dbPath, const QString &sql, const QVariant &bound)
{
    const QString connection = QStringLiteral("e2e-store-read");
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(dbPath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(sql);
            query.addBindValue(bound);
            if (query.exec() && query.next())
                value = query.value(0);
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return value;
}

} // namespace vesk::test
