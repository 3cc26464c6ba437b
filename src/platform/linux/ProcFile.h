#pragma once

#include <QString>

#include <string>

namespace vesk {

// Reads a whole small kernel file (/proc, /sys) into `buffer`, reusing its capacity so that
// sampling every few seconds allocates nothing once warm. False when it cannot be read.
bool readProcFile(const char *path, std::string &buffer);
bool readProcFile(const QString &path, std::string &buffer);

} // namespace vesk
