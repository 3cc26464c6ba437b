#pragma once

#include <QWidget>

namespace vesk {

class DefaultsStore;

// Settings: which screens the sidebar lists, whether the machine list shows only this Mac, and
// the polling choice with its measured monthly traffic. Each switch writes its user default at once.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(DefaultsStore &defaults, QWidget *parent = nullptr);

signals:
    // A visibility key or "focus this machine" changed.
    void sidebarChanged();
};

} // namespace vesk
