#pragma once

#include "platform/BundleSwap.h"

namespace vesk {

// renameat2(2) with RENAME_EXCHANGE and RENAME_NOREPLACE: one journalled directory
// operation each on the file systems that offer them (ext4, xfs, btrfs, tmpfs).
class RenameExchange final : public BundleSwap {
public:
    std::optional<FolderError> exchange(const QString &a, const QString &b) override;
    std::optional<FolderError> moveNew(const QString &from, const QString &to) override;
};

} // namespace vesk
