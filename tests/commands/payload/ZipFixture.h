#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <linux/capability.h>

namespace vesk::test {

// One entry of an archive a test builds with libarchive's writer.
struct ZipEntry {
    QByteArray name;
    unsigned type = 0100000; // AE_IFREG
    unsigned perm = 0644;
    QByteArray data;
    QByteArray linkTarget; // symbolic links
    QByteArray hardLink;   // tar only: zip cannot carry hard links
};

inline ZipEntry zipEntry(QByteArray name, unsigned type, unsigned perm, QByteArray data = {}, QByteArray linkTarget = {},
                         QByteArray hardLink = {})
{
    ZipEntry entry;
    entry.name = std::move(name);
    entry.type = type;
    entry.perm = perm;
    entry.data = std::move(data);
    entry.linkTarget = std::move(linkTarget);
    entry.hardLink = std::move(hardLink);
    return entry;
}

// A zip (or, for hard links, a pax tar) holding `entries`, as bytes.
QByteArray buildZip(const QList<ZipEntry> &entries);
QByteArray buildTar(const QList<ZipEntry> &entries);

// Rewrites the Unix mode an entry's central-directory record carries: the zip writer refuses
// device files and pipes, but an attacker's archive can claim any mode.
void setUnixMode(QByteArray &zip, const QByteArray &name, unsigned mode);
// Overwrites one byte of every copy of `name` in the archive (local and central headers).
void patchNameByte(QByteArray &zip, const QByteArray &name, int index, char value);

// While it lives, the calling thread meets file modes the way the agent's user does: root's
// overrides (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER) are taken from its effective
// set and given back at the end. Linux keeps capabilities per thread, so only synchronous
// work on this thread is affected; a user without them loses nothing.
class OwnerPermissionsOnly {
public:
    OwnerPermissionsOnly();
    ~OwnerPermissionsOnly();
    OwnerPermissionsOnly(const OwnerPermissionsOnly &) = delete;
    OwnerPermissionsOnly &operator=(const OwnerPermissionsOnly &) = delete;

private:
    __user_cap_data_struct m_saved[_LINUX_CAPABILITY_U32S_3] = {};
};

void writeBytes(const QString &path, const QByteArray &bytes);
QByteArray readBytes(const QString &path);
// Every path under `root` (files, folders, links, hidden ones too), relative and sorted.
QStringList listTree(const QString &root);

} // namespace vesk::test
