#pragma once

#include <QString>

namespace vesk::PayloadChecksum {

struct Digest {
    QString hex;   // lowercase SHA-256, empty on failure
    QString error; // why the file could not be read
    bool ok() const { return !hex.isEmpty(); }
};

// SHA-256 of a file, read in chunks. Blocking: worker threads only.
Digest sha256OfFile(const QString &path);

// "Checksum mismatch — expected <12>…, got <12>…", or empty when the digests agree
// (letter case aside).
QString mismatchText(const QString &expected, const QString &actual);

} // namespace vesk::PayloadChecksum
