#include "FaultyFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vesk::test {

namespace {

const QString kFiller = QStringLiteral(".filler");
// "nobody"
constexpr uid_t kOtherUser = 65534;

} // namespace

const char *faultName(DiskFault fault)
{
    switch (fault) {
    case DiskFault::NoSpace:
        return "ENOSPC";
    case DiskFault::NoAccess:
        return "EACCES";
    case DiskFault::ShortWrite:
        return "short write";
    }
    return "?";
}

bool FaultyFolder::foreignOwner()
{
    return ::geteuid() == 0;
}

FaultyFolder::FaultyFolder(QString folder) : m_folder(std::move(folder))
{
    EXPECT_TRUE(QDir().mkpath(m_folder)) << m_folder.toStdString();
    // 512 KiB: room for the agent's small files, quickly filled.
    m_mounted = ::mount("tmpfs", QFile::encodeName(m_folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                        "size=512k,mode=0755")
                == 0;
}

FaultyFolder::~FaultyFolder()
{
    lift();
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

void FaultyFolder::inject(DiskFault fault)
{
    lift();
    m_fault = fault;
    switch (fault) {
    case DiskFault::NoSpace:
        if (m_mounted)
            fill();
        else
            limitFileSize(0);
        break;
    case DiskFault::NoAccess: {
        // Another user's folder: its owner's bits do not apply, and the agent cannot chmod it back.
        const QByteArray folder = QFile::encodeName(m_folder);
        if (foreignOwner()) {
            ASSERT_EQ(::chown(folder.constData(), kOtherUser, kOtherUser), 0) << std::strerror(errno);
        } else {
            ASSERT_EQ(::chmod(folder.constData(), 0555), 0) << std::strerror(errno);
        }
        // Root writes anywhere; the agent's user does not. Capabilities are per thread.
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        ASSERT_EQ(::syscall(SYS_capget, &header, m_savedCaps), 0);
        __user_cap_data_struct reduced[_LINUX_CAPABILITY_U32S_3];
        std::memcpy(reduced, m_savedCaps, sizeof reduced);
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            reduced[CAP_TO_INDEX(cap)].effective &= ~CAP_TO_MASK(cap);
        ASSERT_EQ(::syscall(SYS_capset, &header, reduced), 0);
        m_capsDropped = true;
        break;
    }
    case DiskFault::ShortWrite:
        // Far below any file the agent writes, so each write stops part-way.
        limitFileSize(16);
        break;
    }
}

void FaultyFolder::lift()
{
    if (!m_fault)
        return;
    m_fault.reset();
    if (m_capsDropped) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        EXPECT_EQ(::syscall(SYS_capset, &header, m_savedCaps), 0);
        m_capsDropped = false;
    }
    if (foreignOwner()) {
        EXPECT_EQ(::chown(QFile::encodeName(m_folder).constData(), 0, 0), 0) << std::strerror(errno);
    }
    ::chmod(QFile::encodeName(m_folder).constData(), 0755);
    QFile::remove(m_folder + QLatin1Char('/') + kFiller);
    if (m_savedLimit) {
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &*m_savedLimit), 0);
        m_savedLimit.reset();
        ::sigaction(SIGXFSZ, &m_savedSigxfsz, nullptr);
    }
}

void FaultyFolder::fill()
{
    QFile filler(m_folder + QLatin1Char('/') + kFiller);
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
}

void FaultyFolder::limitFileSize(rlim_t bytes)
{
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    // Over the limit a write fails with EFBIG instead of the signal ending the process.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &m_savedSigxfsz);
    rlimit limited = saved;
    limited.rlim_cur = bytes;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    m_savedLimit = saved;
}

} // namespace vesk::test
