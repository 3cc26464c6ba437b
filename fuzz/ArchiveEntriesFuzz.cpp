// Payload and update archives as libarchive reads them (zip, tar with gzip, xz or zstd),
// every entry judged as the staging extraction judges it.
#include "FuzzTarget.h"

#include "commands/payload/ArchiveEntryPolicy.h"

#include <QStringList>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace {

// An entry let through names a place strictly inside the staging folder.
void judge(const vesk::ArchiveEntryFacts &facts)
{
    if (vesk::ArchiveEntryPolicy::refusal(facts))
        return;
    const QString relative = vesk::ArchiveEntryPolicy::relativePath(facts.name);
    VESK_FUZZ_CHECK(!relative.isEmpty());
    VESK_FUZZ_CHECK(!relative.startsWith(QLatin1Char('/')));
    for (const QString &part : relative.split(QLatin1Char('/'))) {
        VESK_FUZZ_CHECK(!part.isEmpty());
        VESK_FUZZ_CHECK(part != QLatin1String("..") && part != QLatin1String("."));
    }
}

} // namespace

VESK_FUZZ_TARGET(archive_entries)
{
    std::unique_ptr<archive, int (*)(archive *)> reader(archive_read_new(), archive_read_free);
    archive_read_support_format_zip(reader.get());
    archive_read_support_format_tar(reader.get());
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_filter_xz(reader.get());
    archive_read_support_filter_zstd(reader.get());
    if (archive_read_open_memory(reader.get(), input.constData(), size_t(input.size())) != ARCHIVE_OK) {
        // Not an archive: the bytes are one symbolic link's "<name>\n<target>", so the name and
        // link rules get inputs libarchive would have refused first.
        const vesk::fuzz::SplitInput split = vesk::fuzz::splitFirstLine(input);
        judge(vesk::ArchiveEntryFacts{split.head, AE_IFLNK, 0777, false, split.rest});
        return;
    }
    for (int entries = 0; entries < 256; ++entries) {
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            return;
        judge(vesk::ArchiveEntryPolicy::factsOf(entry));
        archive_read_data_skip(reader.get());
    }
}
