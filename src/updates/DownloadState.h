#pragma once

#include <QString>

namespace vesk {

// Where one app's update stands; failed carries the text shown for it.
struct DownloadState {
    enum class Phase { downloading, readyToInstall, failed, installing };

    Phase phase = Phase::downloading;
    QString message; // only for failed

    static DownloadState failed(QString text) { return {Phase::failed, std::move(text)}; }
    bool operator==(const DownloadState &) const = default;
};

} // namespace vesk
