#pragma once

class QWidget;

namespace vesk {

struct ConsoleContext;

// The Settings tabs that act on this machine's services: password locks, push, permissions,
// settings export and import, upload credentials. Each tab is a thin face over its view model;
// a service the agent runs without leaves its tab showing why it is empty.
namespace SettingsSections {

QWidget *locks(const ConsoleContext &context);
QWidget *push(const ConsoleContext &context);
QWidget *permissions(const ConsoleContext &context);
QWidget *transfer(const ConsoleContext &context);
QWidget *uploadCredentials(const ConsoleContext &context);

} // namespace SettingsSections
} // namespace vesk
