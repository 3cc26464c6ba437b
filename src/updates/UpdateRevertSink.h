#pragma once

#include <QString>

namespace vesk {

// A release that did not stay running and was taken back (or could not be).
struct UpdateRevert {
    QString bundleId;
    QString title;   // "<name> update reverted"
    QString message; // the command result's text
    bool restored = true; // false: the kept copy could not be put back
};

// Where the installer announces an automatic revert beyond the command result: the alert
// feed. A later successful install of the same app clears it.
class UpdateRevertSink {
public:
    virtual ~UpdateRevertSink() = default;
    virtual void raiseUpdateRevert(const UpdateRevert &revert) = 0;
    virtual void clearUpdateRevert(const QString &title) = 0;

    static QString titleFor(const QString &appName) { return appName + QStringLiteral(" update reverted"); }
};

} // namespace vesk
