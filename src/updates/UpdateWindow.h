#pragma once

#include <QDateTime>

namespace vesk {

struct UpdatePolicy;

namespace UpdateWindow {

// True when automatic installs may run at local time `local`: the weekday is one of the
// policy's days and the hour lies in [windowStart, windowEnd), the window running over
// midnight when it ends before it starts. A window that ends where it starts never opens.
bool isOpen(const UpdatePolicy &policy, const QDateTime &local);

} // namespace UpdateWindow
} // namespace vesk
