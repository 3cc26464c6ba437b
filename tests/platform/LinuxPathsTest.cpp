#include "platform/linux/LinuxPaths.h"

#include <gtest/gtest.h>

namespace {

QProcessEnvironment environment(std::initializer_list<std::pair<const char *, const char *>> vars)
{
    QProcessEnvironment env;
    for (const auto &[name, value] : vars)
        env.insert(QString::fromUtf8(name), QString::fromUtf8(value));
    return env;
}

} // namespace

TEST(LinuxPaths, FollowHomeXdgAndTheAgentsOwnVariables)
{
    struct Case {
        const char *name;
        QProcessEnvironment env;
        QStringList applicationDirs;
        QString sharedDir;
        QString storageDir;
        QString settingsFile;
    };
    const Case cases[] = {
        {"home only", environment({{"HOME", "/home/ana"}}),
         {"/opt/Applications", "/home/ana/Applications"}, "/srv/vesk/Shared",
         "/home/ana/.local/share/VeskWarden", "/home/ana/.config/VeskWarden/VeskWarden.conf"},
        {"XDG homes", environment({{"HOME", "/home/ana"}, {"XDG_DATA_HOME", "/data"}, {"XDG_CONFIG_HOME", "/cfg"}}),
         {"/opt/Applications", "/home/ana/Applications"}, "/srv/vesk/Shared",
         "/data/VeskWarden", "/cfg/VeskWarden/VeskWarden.conf"},
        {"relative XDG homes are ignored",
         environment({{"HOME", "/home/ana"}, {"XDG_DATA_HOME", "data"}, {"XDG_CONFIG_HOME", "./cfg"}}),
         {"/opt/Applications", "/home/ana/Applications"}, "/srv/vesk/Shared",
         "/home/ana/.local/share/VeskWarden", "/home/ana/.config/VeskWarden/VeskWarden.conf"},
        {"agent overrides",
         environment({{"HOME", "/home/ana"}, {"VESK_APPLICATIONS", "/kiosk/Apps::/opt/More"},
                      {"VESK_SHARED_DIR", "/tmp/t1/Shared"}}),
         {"/kiosk/Apps", "/opt/More"}, "/tmp/t1/Shared",
         "/home/ana/.local/share/VeskWarden", "/home/ana/.config/VeskWarden/VeskWarden.conf"},
    };
    for (const Case &tc : cases) {
        const vesk::PlatformPaths paths = vesk::linuxPaths(tc.env);
        EXPECT_EQ(paths.applicationDirs.join(':').toStdString(), tc.applicationDirs.join(':').toStdString()) << tc.name;
        EXPECT_EQ(paths.applicationsDir().toStdString(), tc.applicationDirs.first().toStdString()) << tc.name;
        EXPECT_EQ(paths.sharedDir.toStdString(), tc.sharedDir.toStdString()) << tc.name;
        EXPECT_EQ(paths.payloadBackupDir().toStdString(), (tc.sharedDir + "/.warden-backups").toStdString()) << tc.name;
        EXPECT_EQ(paths.storageDir.toStdString(), tc.storageDir.toStdString()) << tc.name;
        EXPECT_EQ(paths.keychainFile.toStdString(), (tc.storageDir + "/keychain.json").toStdString()) << tc.name;
        EXPECT_EQ(paths.settingsFile.toStdString(), tc.settingsFile.toStdString()) << tc.name;
        EXPECT_EQ(paths.desktopDir.toStdString(), "/home/ana/Desktop") << tc.name;
        EXPECT_EQ(paths.documentsDir.toStdString(), "/home/ana/Documents") << tc.name;
    }
}
