#include "platform/linux/SettingsDefaultsStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Qt keeps each settings file parsed per process; a copy under a new name makes the next
// store read what is really on disk, as the agent does after a restart.
QString copyOf(const QString &path)
{
    const QString copy = path + QStringLiteral(".restarted.conf");
    EXPECT_TRUE(QFile::copy(path, copy));
    return copy;
}

} // namespace

TEST(SettingsDefaultsStore, ValuesSurviveARestart)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VeskWarden.conf"));
    const QByteArray secretish("\x00\xff\x7f" "ab", 5);
    {
        vesk::SettingsDefaultsStore store(path);
        store.setValue(QStringLiteral("fleetReportingEnabled"), true);
        store.setValue(QStringLiteral("lowDataMode"), false);
        store.setValue(QStringLiteral("warden_photographer"), QStringLiteral("Studio, \"North\""));
        store.setValue(QStringLiteral("lockHash"), secretish);
        store.setValue(QStringLiteral("muted"), QStringList{QStringLiteral("disk"), QStringLiteral("a, b")});
        store.setValue(QStringLiteral("pinned"), QStringList{QStringLiteral("com.lumora.capture")});
        store.setValue(QStringLiteral("cleared"), QStringList());
    }
    vesk::SettingsDefaultsStore restarted(copyOf(path));
    restarted.registerDefaults({{QStringLiteral("lowDataMode"), true}, {QStringLiteral("cleared"), QStringList{"x"}}});

    EXPECT_TRUE(restarted.boolValue(QStringLiteral("fleetReportingEnabled")));
    EXPECT_FALSE(restarted.boolValue(QStringLiteral("lowDataMode")));
    EXPECT_EQ(restarted.stringValue(QStringLiteral("warden_photographer")).toStdString(), "Studio, \"North\"");
    EXPECT_EQ(restarted.dataValue(QStringLiteral("lockHash")), secretish);
    EXPECT_EQ(restarted.object(QStringLiteral("muted")).toStringList(), (QStringList{"disk", "a, b"}));
    EXPECT_EQ(restarted.object(QStringLiteral("pinned")).toStringList(), QStringList{"com.lumora.capture"});
    // A stored empty list is a value of its own, not "absent" and not the registered default.
    EXPECT_TRUE(restarted.hasObject(QStringLiteral("cleared")));
    EXPECT_EQ(restarted.object(QStringLiteral("cleared")).toStringList(), QStringList());
}

TEST(SettingsDefaultsStore, RegisteredDefaultsStayOutOfTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VeskWarden.conf"));
    vesk::SettingsDefaultsStore store(path);
    store.registerDefaults({{QStringLiteral("autoRestartServices"), true}, {QStringLiteral("updateMode"), "manual"}});
    store.registerDefaults({{QStringLiteral("updateMode"), "automatic"}});
    store.setValue(QStringLiteral("warden_photographer"), QStringLiteral("studio-7"));

    EXPECT_TRUE(store.boolValue(QStringLiteral("autoRestartServices")));
    EXPECT_EQ(store.stringValue(QStringLiteral("updateMode")).toStdString(), "automatic");
    const QByteArray text = fileText(path);
    EXPECT_TRUE(text.contains("warden_photographer=studio-7")) << text.toStdString();
    EXPECT_FALSE(text.contains("autoRestartServices")) << text.toStdString();
    EXPECT_FALSE(text.contains("updateMode")) << text.toStdString();

    store.setValue(QStringLiteral("updateMode"), QStringLiteral("off"));
    EXPECT_EQ(store.stringValue(QStringLiteral("updateMode")).toStdString(), "off");
    store.remove(QStringLiteral("updateMode"));
    EXPECT_EQ(store.stringValue(QStringLiteral("updateMode")).toStdString(), "automatic");
    EXPECT_FALSE(fileText(path).contains("updateMode"));
    EXPECT_FALSE(store.hasObject(QStringLiteral("neverSet")));
}
