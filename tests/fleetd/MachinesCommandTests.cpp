#include "fleetd/cli/MachinesCommand.h"
#include "fleetd/storage/FleetStore.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vesk::fleetd;

namespace {

class MachinesCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath("fleet.sqlite");
        FleetStore store;
        ASSERT_EQ(store.open(m_path, FleetStore::OpenMode::CreateIfMissing), StoreStatus::ok());
        const QDateTime t0(QDate(2025, 6, 1), QTime(8, 0), Qt::UTC);
        const struct {
            HeartbeatRecord beat;
            int minutes;
        } beats[] = {
            {{"EVT-2", "kiosk-9", "warden", "1.2", {}}, 0},
            {{"", "A-100", "warden", "1.0", {}}, 5},
            {{"EVT-1", "B-7", "capture\tstation", "2.0", {}}, 10},
            {{"EVT-3", "A-100", "warden", "1.1", {}}, 20},
        };
        for (const auto &b : beats)
            ASSERT_EQ(store.recordHeartbeat(b.beat, t0.addSecs(60 * b.minutes)), StoreStatus::ok());
    }

    QTemporaryDir m_dir;
    QString m_path;
};

// Sorted by serial; a tab inside a field becomes a space so columns stay put.
const QString kListing = QStringLiteral(
    "A-100\twarden\t1.1\tEVT-3\t2025-06-01T08:20:00.000Z\n"
    "B-7\tcapture station\t2.0\tEVT-1\t2025-06-01T08:10:00.000Z\n"
    "kiosk-9\twarden\t1.2\tEVT-2\t2025-06-01T08:00:00.000Z\n");

TEST_F(MachinesCommandTest, ListsOneTabSeparatedLinePerMachineSortedBySerial)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    EXPECT_EQ(runMachinesCommand(m_path, outStream, errStream), 0);
    EXPECT_EQ(out, kListing);
    EXPECT_EQ(err, QString());
}

TEST_F(MachinesCommandTest, RefusesPathsThatAreNotFleetDatabases)
{
    const QString textFile = m_dir.filePath("notes.txt");
    QFile file(textFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("not a database\n").repeated(64));
    file.close();

    for (const QString &path : {m_dir.filePath("absent.sqlite"), textFile, m_dir.path()}) {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        EXPECT_NE(runMachinesCommand(path, outStream, errStream), 0) << path.toStdString();
        EXPECT_EQ(out, QString()) << path.toStdString();
        EXPECT_TRUE(err.contains(path)) << err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(m_dir.filePath("absent.sqlite")));
}

TEST_F(MachinesCommandTest, RealBinaryPrintsTheListingAndHelp)
{
    QProcess machines;
    machines.start(VESK_FLEETD_BINARY, {"machines", "--db", m_path});
    ASSERT_TRUE(machines.waitForFinished(10000));
    EXPECT_EQ(machines.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(machines.exitCode(), 0) << machines.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(machines.readAllStandardOutput()), kListing);

    QProcess help;
    help.start(VESK_FLEETD_BINARY, {"--help"});
    ASSERT_TRUE(help.waitForFinished(10000));
    EXPECT_EQ(help.exitCode(), 0);
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    for (const char *word : {"serve", "machines", "--listen", "--db", "127.0.0.1:8440", "1 MiB"})
        EXPECT_TRUE(text.contains(QLatin1String(word))) << word;
}

} // namespace
