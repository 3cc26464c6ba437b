#include "platform/linux/LinuxShareMounter.h"
#include "platform/linux/ShareMountTable.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <qcoro/qcorotask.h>

#include <cerrno>

#include <csignal>
#include <unistd.h>

using namespace std::chrono_literals;

namespace vesk {
namespace {

TEST(ShareMountTableTest, ListsKernelAndGvfsSharesAsTheirSources)
{
    QFile captured(QStringLiteral(VESK_SYSINFO_DATA "/mountinfo-network-shares"));
    ASSERT_TRUE(captured.open(QIODevice::ReadOnly));
    QByteArray text = captured.readAll();
    text += "92 27 0:56 / /run/user/1000/gvfs rw,nosuid,nodev,relatime shared:49 - fuse.gvfsd-fuse gvfsd-fuse rw\n";
    const QList<MountEntry> mounts = parseMountInfo(std::string_view(text.constData(), size_t(text.size())));
    const QString gvfs = gvfsFuseRoot(mounts);
    EXPECT_EQ(gvfs, QStringLiteral("/run/user/1000/gvfs"));
    const QList<MountTableEntry> shares = networkShareMounts(
        mounts, gvfs, {QStringLiteral("smb-share:server=nas.local,share=event%20drops,user=booth"),
                       QStringLiteral("sftp:host=print-server"), QStringLiteral("smb-share:server=nas.local")});
    const QList<MountTableEntry> want{
        {QStringLiteral("/mnt/Event Captures"), QStringLiteral("//nas.local/Event Captures"), QStringLiteral("cifs")},
        {QStringLiteral("/mnt/archive"), QStringLiteral("nas.local:/export/archive"), QStringLiteral("nfs4")},
        {QStringLiteral("/home/booth/Prints/"), QStringLiteral("booth@print-server:/srv/prints"), QStringLiteral("fuse.sshfs")},
        {QStringLiteral("/run/user/1000/gvfs/smb-share:server=nas.local,share=event%20drops,user=booth"),
         QStringLiteral("//nas.local/event drops"), QStringLiteral("gvfs-smb")},
    };
    EXPECT_EQ(shares, want);

    EXPECT_EQ(LinuxShareMounter::mountErrorNumber("mount error(13): Permission denied\nRefer to ..."), 13);
    EXPECT_EQ(LinuxShareMounter::mountErrorNumber("mount: only root can do that"), 0);
    EXPECT_EQ(mountFailureText(EACCES), QStringLiteral("Sign-in failed — check the user name and password"));
    EXPECT_EQ(mountFailureText(ENOENT), QStringLiteral("The share name was not found on the server"));
    EXPECT_EQ(mountFailureText(-5), QStringLiteral("Mount failed (error -5)"));
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // free again once the server closes
}

// A Samba server of our own on a loopback port, with its configuration, state and one
// guest share ("photos") in a temporary folder.
struct SambaServer {
    QTemporaryDir temp;
    QProcess smbd;
    quint16 port = freePort();
    QString share = temp.path() + QStringLiteral("/share");

    bool start()
    {
        const QString smbdPath = QStandardPaths::findExecutable(QStringLiteral("smbd"), {QStringLiteral("/usr/sbin")});
        if (smbdPath.isEmpty())
            return false;
        for (const char *dir : {"run", "lock", "state", "cache", "private", "ncalrpc", "share"})
            QDir(temp.path()).mkpath(QString::fromLatin1(dir));
        QFile::copy(QStringLiteral(VESK_SYSINFO_DATA "/meminfo"), share + QStringLiteral("/meminfo.txt"));
        // Guests are served as "nobody": the share must be open to them.
        const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                          QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
        QFile::setPermissions(temp.path(), open);
        QFile::setPermissions(share, open);
        QFile::setPermissions(share + QStringLiteral("/meminfo.txt"), QFileDevice::ReadOwner | QFileDevice::ReadOther);
        QFile conf(temp.path() + QStringLiteral("/smb.conf"));
        conf.open(QIODevice::WriteOnly);
        const QString t = temp.path();
        conf.write(QStringLiteral("[global]\n smb ports = %1\n interfaces = 127.0.0.1\n bind interfaces only = yes\n"
                                  " pid directory = %2/run\n lock directory = %2/lock\n state directory = %2/state\n"
                                  " cache directory = %2/cache\n private dir = %2/private\n ncalrpc dir = %2/ncalrpc\n"
                                  " log file = %2/smbd.log\n server role = standalone server\n map to guest = Bad User\n"
                                  " load printers = no\n printcap name = /dev/null\n disable spoolss = yes\n"
                                  "[photos]\n path = %2/share\n guest ok = yes\n read only = no\n")
                       .arg(port)
                       .arg(t)
                       .toUtf8());
        conf.close();
        // Its own session: on shutdown smbd signals its whole process group.
        smbd.setChildProcessModifier([] { ::setsid(); });
        smbd.start(smbdPath, {QStringLiteral("--foreground"), QStringLiteral("--no-process-group"),
                              QStringLiteral("--configfile=") + conf.fileName()});
        if (!smbd.waitForStarted(5000))
            return false;
        // Ready once it accepts connections.
        return QTest::qWaitFor(
            [&] {
                QTcpSocket socket;
                socket.connectToHost(QHostAddress::LocalHost, port);
                return socket.waitForConnected(200);
            },
            10000);
    }

    ~SambaServer()
    {
        // The whole session: the main smbd and the helpers it forked.
        if (smbd.processId() > 0)
            ::kill(-pid_t(smbd.processId()), SIGTERM);
        if (!smbd.waitForFinished(5000))
            smbd.kill();
        smbd.waitForFinished(2000);
    }
};

TEST(LinuxShareMounterTest, ProbesARealSambaServerAndReadsFolders)
{
    SambaServer samba;
    ASSERT_TRUE(samba.start()) << "smbd did not start: install the samba package (scripts/install-deps.sh)";
    LinuxShareMounter::Options options;
    options.kernelMounts = true;
    options.mountRoot = samba.temp.path() + QStringLiteral("/mounts");
    LinuxShareMounter mounter(options);

    EXPECT_TRUE(QCoro::waitFor(mounter.probeHost(QStringLiteral("127.0.0.1"), samba.port, 5000ms)));
    EXPECT_FALSE(QCoro::waitFor(mounter.probeHost(QStringLiteral("127.0.0.1"), freePort(), 5000ms)));
    EXPECT_TRUE(QCoro::waitFor(mounter.pathResponds(samba.share, 8000ms)));
    EXPECT_FALSE(QCoro::waitFor(mounter.pathResponds(samba.share + QStringLiteral("/missing"), 8000ms)));

    // The server lists its share to a client.
    QProcess smbclient;
    smbclient.start(QStringLiteral("smbclient"), {QStringLiteral("-N"), QStringLiteral("-p"), QString::number(samba.port),
                                                  QStringLiteral("//127.0.0.1/photos"), QStringLiteral("-c"), QStringLiteral("ls")});
    ASSERT_TRUE(smbclient.waitForFinished(15000));
    const QByteArray listing = smbclient.readAllStandardOutput() + smbclient.readAllStandardError();
    EXPECT_TRUE(listing.contains("meminfo.txt")) << listing.toStdString();

}

TEST(LinuxShareMounterTest, MountsAGuestShareFromARealSambaServer)
{
    SambaServer samba;
    ASSERT_TRUE(samba.start()) << "smbd did not start: install the samba package (scripts/install-deps.sh)";
    LinuxShareMounter::Options options;
    options.kernelMounts = true;
    options.mountRoot = samba.temp.path() + QStringLiteral("/mounts");
    LinuxShareMounter mounter(options);
    ShareMountRequest request{QUrl(QStringLiteral("smb://127.0.0.1/photos")), QStringLiteral("127.0.0.1"),
                              QStringLiteral("photos"), samba.port, std::nullopt, {}};
    const MountResult mounted = QCoro::waitFor(mounter.mountShare(request, 30000ms));
    if (!mounted.ok() && ::geteuid() != 0)
        GTEST_SKIP() << "Mounting needs root here (mount.cifs said: " << mounted.failure.toStdString() << ")";
    if (!mounted.ok() && mounted.failure == mountFailureText(ENODEV))
        GTEST_SKIP() << "This kernel has no cifs file system (mount.cifs: No such device), as in a container";
    if (!mounted.ok() && mounted.failure == mountFailureText(EPERM))
        GTEST_SKIP() << "This machine does not let the agent mount (no CAP_SYS_ADMIN)";
    ASSERT_TRUE(mounted.ok()) << mounted.failure.toStdString();
    bool listed = false;
    for (const MountTableEntry &entry : mounter.mountTable())
        listed = listed || entry.mountPoint == *mounted.mountPoint;
    EXPECT_TRUE(listed);
    EXPECT_TRUE(QFileInfo::exists(*mounted.mountPoint + QStringLiteral("/meminfo.txt")));
    EXPECT_TRUE(QCoro::waitFor(mounter.forceUnmount(*mounted.mountPoint)));
}

} // namespace
} // namespace vesk
