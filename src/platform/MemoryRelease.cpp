#include "platform/MemoryRelease.h"

#include <QFile>

#include <cstdlib> // defines __GLIBC__ on glibc
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#include <unistd.h>
#ifndef MADV_PAGEOUT
#define MADV_PAGEOUT 21
#endif
#endif

namespace vesk {

void releaseFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

#if defined(Q_OS_LINUX)
namespace {

// The read-only, file-backed mappings of /proc/self/maps: code, constants, mapped fonts.
// Writable ones are left out; their changed pages are the process's own memory, not a file's.
QList<ResidentFilePages::Range> readOnlyFileMappings()
{
    QList<ResidentFilePages::Range> out;
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return out;
    // "start-end perms offset dev inode path"
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1].size() < 4 || fields[1][1] == 'w' || fields[4] == "0")
            continue;
        const QList<QByteArray> bounds = fields[0].split('-');
        bool startOk = false;
        bool endOk = false;
        ResidentFilePages::Range range;
        range.start = bounds.value(0).toULongLong(&startOk, 16);
        range.end = bounds.value(1).toULongLong(&endOk, 16);
        if (startOk && endOk && range.end > range.start)
            out.append(range);
    }
    return out;
}

// Bit 63 of each /proc/self/pagemap entry: the page is resident in this process.
bool fillPresence(QFile &pagemap, ResidentFilePages::Range &range, quintptr pageSize)
{
    const qsizetype pages = qsizetype((range.end - range.start) / pageSize);
    QByteArray entries(pages * 8, Qt::Uninitialized);
    if (!pagemap.seek(qint64(range.start / pageSize) * 8) || pagemap.read(entries.data(), entries.size()) != entries.size())
        return false;
    range.present.resize(pages);
    for (qsizetype i = 0; i < pages; ++i) {
        quint64 entry = 0;
        std::memcpy(&entry, entries.constData() + i * 8, sizeof entry);
        range.present.setBit(i, (entry >> 63) & 1);
    }
    return true;
}

// Whether `page` was resident in `before`; `hint` remembers the last mapping found, since pages
// are asked for in address order.
bool presentBefore(const ResidentFilePages &before, quintptr page, quintptr pageSize, qsizetype &hint)
{
    const auto contains = [&](qsizetype i) { return page >= before.ranges[i].start && page < before.ranges[i].end; };
    if (hint < 0 || hint >= before.ranges.size() || !contains(hint)) {
        hint = -1;
        for (qsizetype i = 0; i < before.ranges.size() && hint < 0; ++i) {
            if (contains(i))
                hint = i;
        }
        if (hint < 0)
            return false;
    }
    const ResidentFilePages::Range &range = before.ranges[hint];
    const auto index = qsizetype((page - range.start) / pageSize);
    return index < range.present.size() && range.present.testBit(index);
}

} // namespace

ResidentFilePages ResidentFilePages::now()
{
    ResidentFilePages pages;
    QFile pagemap(QStringLiteral("/proc/self/pagemap"));
    if (!pagemap.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return pages;
    const auto pageSize = quintptr(::sysconf(_SC_PAGESIZE));
    for (Range range : readOnlyFileMappings()) {
        if (fillPresence(pagemap, range, pageSize))
            pages.ranges.append(std::move(range));
    }
    return pages;
}

qint64 releaseFilePagesSince(const ResidentFilePages &before)
{
    const ResidentFilePages after = ResidentFilePages::now();
    const auto pageSize = quintptr(::sysconf(_SC_PAGESIZE));
    qint64 advised = 0;
    qsizetype hint = -1;
    for (const ResidentFilePages::Range &range : after.ranges) {
        // One call per run of pages that came in since `before`.
        quintptr runStart = 0;
        const auto flush = [&](quintptr runEnd) {
            if (runStart != 0 && ::madvise(reinterpret_cast<void *>(runStart), runEnd - runStart, MADV_PAGEOUT) == 0)
                advised += qint64(runEnd - runStart);
            runStart = 0;
        };
        for (qsizetype i = 0; i < range.present.size(); ++i) {
            const quintptr page = range.start + quintptr(i) * pageSize;
            if (range.present.testBit(i) && !presentBefore(before, page, pageSize, hint)) {
                if (runStart == 0)
                    runStart = page;
            } else {
                flush(page);
            }
        }
        flush(range.end);
    }
    return advised;
}
#else
ResidentFilePages ResidentFilePages::now()
{
    return {};
}

qint64 releaseFilePagesSince(const ResidentFilePages &)
{
    return 0;
}
#endif

} // namespace vesk
