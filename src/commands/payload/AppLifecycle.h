#pragma once

#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

// Closing and opening the applications a payload belongs to, by bundle identifier. The
// start-up wiring adapts the platform's Workspace to it; tests use a fake.
class AppLifecycle {
public:
    virtual ~AppLifecycle() = default;

    virtual QCoro::Task<bool> isRunning(QString bundleId) = 0;
    // A normal terminate request to every running instance; does not wait for them to exit.
    virtual QCoro::Task<> quit(QString bundleId) = 0;
    virtual QCoro::Task<> forceQuit(QString bundleId) = 0;
    // An application with this identifier is installed.
    virtual QCoro::Task<bool> isInstalled(QString bundleId) = 0;
    // Opens the installed application; false when it could not be opened.
    virtual QCoro::Task<bool> launch(QString bundleId) = 0;
};

} // namespace vesk
