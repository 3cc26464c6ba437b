#pragma once

#include <QList>
#include <QWidget>

#include <qcoro/qcorotask.h>

class QLabel;
class QLineEdit;
class QStackedWidget;
class QTabWidget;

namespace vesk {

class AppLock;
struct ConsoleContext;

// Settings: which screens the sidebar lists, whether the machine list shows only this Mac, the
// polling choice with its measured monthly traffic, then the password locks, push, permissions,
// settings export and import, and upload credentials. Each switch writes its user default at
// once. While the settings lock is engaged every tab but the passwords asks for its password.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(const ConsoleContext &context, QWidget *parent = nullptr);

    QTabWidget &tabs() const { return *m_tabs; }

signals:
    // A visibility key or "focus this machine" changed.
    void sidebarChanged();

private:
    // `content` behind the settings password prompt.
    QWidget *guarded(QWidget *content);
    void applySettingsLock();
    QCoro::Task<> unlock(QLineEdit *field, QLabel *error);

    AppLock &m_lock;
    QTabWidget *m_tabs = nullptr;
    QList<QStackedWidget *> m_guarded;
};

} // namespace vesk
