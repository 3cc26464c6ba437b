#include "platform/linux/BundleLayout.h"
#include "platform/linux/ProcParsers.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <limits>

using namespace vesk;

namespace {

// /proc/PID/stat of a copy of sleep renamed "my (odd) app) x" (the kernel keeps 15 bytes).
const QByteArray kOddStat =
    "6404 (my (odd) app) x) S 6396 6396 3822 0 -1 4194304 126 0 0 0 0 0 0 0 20 0 1 0 874304 2990080 394 "
    "18446744073709551615 94384810242048 94384810259977 140720980993568 0 0 0 0 6 0 1 0 0 17 1 0 0 0 0 0 "
    "94384810274064 94384810275328 94385842302976 140720980994634 140720980994673 140720980994673 140720980996052 0\n";

const QByteArray kOddCmdline("/tmp/tmp.b87KVO2M4s/my (odd) app) x\0" "30\0", 39);

const QByteArray kProcStat = "cpu  9417 42 3301 1640190 1131 0 227 0 0 0\n"
                             "cpu0 4708 21 1650 820095 565 0 113 0 0 0\n"
                             "intr 1012384 9 0 0 0\n"
                             "ctxt 2119845\n"
                             "btime 1796514359\n"
                             "processes 6410\n"
                             "procs_running 1\n";

} // namespace

TEST(ProcParsers, StatLineWithParenthesesAndSpacesInTheName)
{
    const auto stat = parseProcStat(kOddStat);
    ASSERT_TRUE(stat);
    EXPECT_EQ(*stat, (ProcStat{6404, QStringLiteral("my (odd) app) x"), 'S', 6396, 874304}));
}

TEST(ProcParsers, RefusesBrokenStatLines)
{
    const struct {
        const char *name;
        QByteArray text;
    } cases[] = {
        {"empty (process gone)", ""},
        {"no name", "6404 S 6396 6396"},
        {"cut after the name", "6404 (sleep) S 6396 6396 3822 0 -1"},
        {"state of two letters", "6404 (sleep) SS 6396 6396 3822 0 -1 4194304 126 0 0 0 0 0 0 0 20 0 1 0 874304 2990080"},
        {"start time not a number", "6404 (sleep) S 6396 6396 3822 0 -1 4194304 126 0 0 0 0 0 0 0 20 0 1 0 x 2990080"},
    };
    for (const auto &tc : cases)
        EXPECT_FALSE(parseProcStat(tc.text)) << tc.name;
}

TEST(ProcParsers, CommandLinesAndBootTime)
{
    EXPECT_EQ(parseCmdline(kOddCmdline), QStringList({"/tmp/tmp.b87KVO2M4s/my (odd) app) x", "30"}));
    EXPECT_EQ(parseCmdline(QByteArray("a\0\0b", 4)), QStringList({"a", "", "b"})) << "no trailing NUL";
    EXPECT_TRUE(parseCmdline({}).isEmpty()) << "kernel threads have none";

    ASSERT_EQ(parseBootTime(kProcStat), std::optional<qint64>(1796514359));
    EXPECT_FALSE(parseBootTime("cpu 1 2 3\n"));
    // 874304 ticks at 100 Hz is 8743.04 s after boot.
    EXPECT_EQ(processStartTime(1796514359, 874304, 100),
              QDateTime::fromMSecsSinceEpoch(1796514359LL * 1000 + 8743040, QTimeZone::utc()));
    // A damaged /proc/stat or stat line: no start time instead of an overflow.
    EXPECT_EQ(processStartTime(std::numeric_limits<qint64>::max(), 874304, 100), std::nullopt);
    EXPECT_EQ(processStartTime(1796514359, std::numeric_limits<quint64>::max(), 100), std::nullopt);
}

TEST(ProcParsers, ScriptArgumentSkipsOptions)
{
    const struct {
        const char *name;
        QStringList argv;
        QString want;
    } cases[] = {
        {"shell script", {"/bin/sh", "/A/X.app/Contents/MacOS/run"}, "/A/X.app/Contents/MacOS/run"},
        {"interpreter options first", {"python3", "-u", "-B", "main.py", "--verbose"}, "main.py"},
        {"no script", {"/usr/bin/sleep"}, ""},
    };
    for (const auto &tc : cases)
        EXPECT_EQ(scriptArgument(tc.argv), tc.want) << tc.name;
}

TEST(BundleLayout, FindsTheBundleOfAnExecutable)
{
    const struct {
        const char *name;
        QString file;
        QString want;
    } cases[] = {
        {"main executable", "/Apps/Print.app/Contents/MacOS/Print", "/Apps/Print.app"},
        {"below MacOS", "/Apps/Print.app/Contents/MacOS/bin/helper", "/Apps/Print.app"},
        {"inner bundle wins", "/Apps/Print.app/Contents/Helpers/Spool.app/Contents/MacOS/Spool",
         "/Apps/Print.app/Contents/Helpers/Spool.app"},
        {"resources are not executables", "/Apps/Print.app/Contents/Resources/tool", ""},
        {"folder without .app", "/Apps/Print/Contents/MacOS/Print", ""},
        {"relative path", "Print.app/Contents/MacOS/Print", ""},
        {"the MacOS folder itself", "/Apps/Print.app/Contents/MacOS/", ""},
        {"dot-dot leaves the bundle", "/Apps/Print.app/Contents/MacOS/../../../bin/sh", ""},
    };
    for (const auto &tc : cases)
        EXPECT_EQ(bundleContaining(tc.file), tc.want) << tc.name;
}

TEST(BundleLayout, InfoDictionaryKeepsOnlyStringsAndPlainExecutableNames)
{
    const QVariantMap plist{
        {"CFBundleIdentifier", "com.lumora.kiosk"},
        {"CFBundleName", qint64(7)},
        {"CFBundleDisplayName", "Kiosk"},
        {"CFBundleShortVersionString", QVariantList{"2.0"}},
        {"CFBundleVersion", ""},
        {"CFBundleExecutable", "../../../bin/sh"},
    };
    const BundleInfo info = bundleInfoFromPlist("/Apps/Kiosk.app", plist);
    EXPECT_EQ(info, (BundleInfo{"/Apps/Kiosk.app", QString("com.lumora.kiosk"), std::nullopt, QString("Kiosk"),
                                std::nullopt, QString(""), std::nullopt}));

    for (const char *exe : {"..", ".", "", "sub/Kiosk"})
        EXPECT_FALSE(bundleInfoFromPlist("/A.app", QVariantMap{{"CFBundleExecutable", exe}}).executable) << exe;
    EXPECT_EQ(bundleInfoFromPlist("/A.app", QVariantMap{{"CFBundleExecutable", "Kiosk Helper"}}).executable,
              QString("Kiosk Helper"));
}
