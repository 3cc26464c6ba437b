#include "platform/MemoryRelease.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#ifndef MADV_PAGEOUT
#define MADV_PAGEOUT 21
#endif
#include <unistd.h>

namespace vesk {
namespace {

// A read-only private mapping of a real file: pages resident before the mark stay, the pages
// read after it leave the process and the page cache when released, and a later read brings
// them back unchanged.
TEST(MemoryRelease, GivesBackOnlyTheFilePagesReadSinceTheMark)
{
    const long page = ::sysconf(_SC_PAGESIZE);
    constexpr int pages = 64;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("code.bin"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < pages; ++i)
            ASSERT_EQ(file.write(QByteArray(page, char('a' + i % 26))), page);
        ASSERT_TRUE(file.flush());
        ASSERT_EQ(::fsync(file.handle()), 0); // clean pages: reclaiming needs no write-back
        // Out of the page cache, so only what the test reads is resident.
        ASSERT_EQ(::posix_fadvise(file.handle(), 0, 0, POSIX_FADV_DONTNEED), 0);
    }
    // Pages read in wait in a per-CPU list before the kernel can reclaim them; reclaiming
    // empties only the calling CPU's list, so the reads and the release run on one CPU.
    cpu_set_t everywhere;
    ASSERT_EQ(::sched_getaffinity(0, sizeof everywhere, &everywhere), 0);
    cpu_set_t here;
    CPU_ZERO(&here);
    CPU_SET(::sched_getcpu(), &here);
    ASSERT_EQ(::sched_setaffinity(0, sizeof here, &here), 0);
    const auto restore = qScopeGuard([&] { ::sched_setaffinity(0, sizeof everywhere, &everywhere); });
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    auto *map = static_cast<const char *>(::mmap(nullptr, pages * page, PROT_READ, MAP_PRIVATE, fd, 0));
    ::close(fd);
    ASSERT_NE(map, MAP_FAILED);
    const auto touch = [&](int from, int to) {
        int sum = 0;
        for (int i = from; i < to; ++i)
            sum += static_cast<volatile const char *>(map)[i * page];
        return sum;
    };
    const auto resident = [&](int from, int to) {
        std::vector<unsigned char> inCore(pages);
        EXPECT_EQ(::mincore(const_cast<char *>(map), pages * page, inCore.data()), 0);
        int count = 0;
        for (int i = from; i < to; ++i)
            count += inCore[i] & 1;
        return count;
    };

    if (::madvise(const_cast<char *>(map) + 63 * page, page, MADV_PAGEOUT) != 0)
        GTEST_SKIP() << "this kernel does not reclaim pages on request (MADV_PAGEOUT needs Linux 5.4)";
    // A read fault maps its neighbours too (up to 16 pages), so the two reads are far apart.
    touch(0, 1);
    const ResidentFilePages before = ResidentFilePages::now();
    ASSERT_FALSE(before.ranges.isEmpty()) << "this system does not show which pages are resident";
    touch(40, 48);
    const qint64 advised = releaseFilePagesSince(before);

    EXPECT_GE(advised, 8 * page);
    EXPECT_EQ(resident(0, 1), 1) << "a page resident before the mark was dropped";
    EXPECT_EQ(resident(40, 48), 0) << "pages read since the mark were kept";
    EXPECT_EQ(map[41 * page], 'a' + 41 % 26);
    EXPECT_EQ(map[47 * page + page - 1], 'a' + 47 % 26);
    ::munmap(const_cast<char *>(map), pages * page);
}

} // namespace
} // namespace vesk
