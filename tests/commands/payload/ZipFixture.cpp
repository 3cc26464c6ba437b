#include "ZipFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <archive.h>
#include <archive_entry.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <sys/syscall.h>
#include <unistd.h>

namespace vesk::test {

namespace {

QByteArray build(const QList<ZipEntry> &entries, bool zip)
{
    std::vector<char> buffer(64u << 20);
    size_t used = 0;
    archive *writer = archive_write_new();
    if (zip)
        archive_write_set_format_zip(writer);
    else
        archive_write_set_format_pax_restricted(writer);
    archive_write_open_memory(writer, buffer.data(), buffer.size(), &used);
    for (const ZipEntry &wanted : entries) {
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, wanted.name.constData());
        archive_entry_set_filetype(entry, wanted.type);
        archive_entry_set_perm(entry, wanted.perm);
        if (!wanted.linkTarget.isEmpty())
            archive_entry_set_symlink(entry, wanted.linkTarget.constData());
        if (!wanted.hardLink.isEmpty())
            archive_entry_set_hardlink(entry, wanted.hardLink.constData());
        archive_entry_set_size(entry, wanted.data.size());
        EXPECT_EQ(archive_write_header(writer, entry), ARCHIVE_OK) << archive_error_string(writer);
        if (!wanted.data.isEmpty())
            archive_write_data(writer, wanted.data.constData(), size_t(wanted.data.size()));
        archive_entry_free(entry);
    }
    EXPECT_EQ(archive_write_close(writer), ARCHIVE_OK) << archive_error_string(writer);
    archive_write_free(writer);
    return QByteArray(buffer.data(), qsizetype(used));
}

} // namespace

QByteArray buildZip(const QList<ZipEntry> &entries) { return build(entries, true); }
QByteArray buildTar(const QList<ZipEntry> &entries) { return build(entries, false); }

void setUnixMode(QByteArray &zip, const QByteArray &name, unsigned mode)
{
    // Central directory record: signature, …, name length at 28, external attributes at 38
    // (Unix mode in the high 16 bits), name at 46.
    const QByteArray signature("PK\x01\x02", 4);
    for (qsizetype at = zip.indexOf(signature); at >= 0; at = zip.indexOf(signature, at + 4)) {
        const auto nameLength = quint16(uchar(zip[at + 28]) | uchar(zip[at + 29]) << 8);
        if (zip.mid(at + 46, nameLength) != name)
            continue;
        zip[at + 38 + 2] = char(mode & 0xff);
        zip[at + 38 + 3] = char((mode >> 8) & 0xff);
        return;
    }
    ADD_FAILURE() << "no central record for " << name.constData();
}

void patchNameByte(QByteArray &zip, const QByteArray &name, int index, char value)
{
    int patched = 0;
    for (qsizetype at = zip.indexOf(name); at >= 0; at = zip.indexOf(name, at + 1), ++patched)
        zip[at + index] = value;
    EXPECT_GE(patched, 2) << "local and central copies of " << name.constData();
}

OwnerPermissionsOnly::OwnerPermissionsOnly()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    EXPECT_EQ(::syscall(SYS_capget, &header, m_saved), 0);
    __user_cap_data_struct reduced[_LINUX_CAPABILITY_U32S_3];
    std::memcpy(reduced, m_saved, sizeof reduced);
    for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        reduced[CAP_TO_INDEX(cap)].effective &= ~CAP_TO_MASK(cap);
    EXPECT_EQ(::syscall(SYS_capset, &header, reduced), 0);
}

OwnerPermissionsOnly::~OwnerPermissionsOnly()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    EXPECT_EQ(::syscall(SYS_capset, &header, m_saved), 0);
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList listTree(const QString &root)
{
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(QDir(root).relativeFilePath(it.next()));
    paths.sort();
    return paths;
}

} // namespace vesk::test
