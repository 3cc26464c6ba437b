#include "platform/linux/BinaryPropertyList.h"
#include "platform/linux/PropertyList.h"
#include "platform/linux/XmlPropertyList.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

using vesk::parseBinaryPropertyList;
using vesk::parsePropertyList;
using vesk::parseXmlPropertyList;

namespace {

// An Info.plist as the build tools write it.
const QByteArray kXmlInfoPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>CFBundleIdentifier</key>
	<string>com.lumora.print</string>
	<key>CFBundleName</key>
	<string>Lumora Print &amp; Layout</string>
	<key>CFBundleVersion</key>
	<integer>3102</integer>
	<key>LSRequiresNativeExecution</key>
	<true/>
	<key>Scale</key>
	<real>1.5</real>
	<key>Built</key>
	<date>2025-05-17T08:30:00Z</date>
	<key>Token</key>
	<data>
	AAEC
	</data>
	<key>CFBundleSupportedPlatforms</key>
	<array>
		<string>MacOSX</string>
		<dict><key>Nested</key><integer>-7</integer></dict>
	</array>
</dict>
</plist>
)";

// Written by an independent encoder (Python's plistlib, FMT_BINARY).
const QByteArray kBinaryInfoPlist = QByteArray::fromBase64(
    "YnBsaXN0MDDeAQIDBAUGBwgJCgsMDQ4PEhMUFRYXGBkaGxwdHlRBcmNoVEJsb2JVQnVpbHRfEBNDRkJ1bmRsZURpc3BsYXlOYW1lXxASQ0ZCdW5kbGVF"
    "eGVjdXRhYmxlXxASQ0ZCdW5kbGVJZGVudGlmaWVyXENGQnVuZGxlTmFtZV8QGkNGQnVuZGxlU2hvcnRWZXJzaW9uU3RyaW5nXxAPQ0ZCdW5kbGVWZXJz"
    "aW9uVUNvdW50XxAWTFNNaW5pbXVtU3lzdGVtVmVyc2lvbl8QF05TSGlnaFJlc29sdXRpb25DYXBhYmxlU05lZ1VSYXRpb6IQEVVhcm02NFZ4ODZfNjRD"
    "AAECM0HG7EBEAAAAbxAXAEwAdQBtAG8AcgBhACAAQwBhAHAAdAB1AHIAZQAgIBMAIABTAHQAdQBkAGkAb11MdW1vcmFDYXB0dXJlXxASY29tLmx1bW9y"
    "YS5jYXB0dXJlXkx1bW9yYSBDYXB0dXJlVTQuMi4xUzQyMRMAAAEfcfsEy1QxMi4wCRP/////////+yM/0AAAAAAAAAAIACUAKgAvADUASwBgAHUAggCf"
    "ALEAtwDQAOoA7gD0APcA/QEEAQgBEQFCAVABZQF0AXoBfgGHAYwBjQGWAAAAAAAAAgEAAAAAAAAAHwAAAAAAAAAAAAAAAAAAAZ8=");

// Assembles binary plists object by object, with 2-byte offsets and references, so a test
// can say exactly which structure it feeds the reader.
class Bplist {
public:
    int add(QByteArray object)
    {
        m_objects.append(std::move(object));
        return int(m_objects.size() - 1);
    }
    static QByteArray ascii(const QByteArray &s) { return char(0x50 | s.size()) + s; }
    static QByteArray integer(quint8 v) { return QByteArray("\x10") + char(v); }
    static QByteArray refs(quint8 marker, const QList<int> &items)
    {
        QByteArray out(1, char(marker | items.size()));
        for (int r : items)
            out += char(r >> 8) + QByteArray(1, char(r & 0xFF));
        return out;
    }
    static QByteArray array(const QList<int> &items) { return refs(0xA0, items); }
    static QByteArray dict(const QList<int> &keys, const QList<int> &values)
    {
        QByteArray out = refs(0xD0, keys + values);
        out[0] = char(0xD0 | keys.size());
        return out;
    }

    QByteArray build(int top = 0) const
    {
        QByteArray out = "bplist00";
        QList<int> offsets;
        for (const QByteArray &o : m_objects) {
            offsets.append(int(out.size()));
            out += o;
        }
        const quint64 table = quint64(out.size());
        for (int off : offsets)
            out += char(off >> 8) + QByteArray(1, char(off & 0xFF));
        out += QByteArray(6, '\0') + char(2) + char(2);
        out += be64(quint64(m_objects.size())) + be64(quint64(top)) + be64(table);
        return out;
    }

    static QByteArray be64(quint64 v)
    {
        QByteArray b(8, '\0');
        for (int i = 7; i >= 0; --i, v >>= 8)
            b[i] = char(v & 0xFF);
        return b;
    }

private:
    QList<QByteArray> m_objects;
};

// Trailer fields, counted from the end of the file.
QByteArray patched(QByteArray bytes, qsizetype fromEnd, const QByteArray &with)
{
    return bytes.replace(bytes.size() - fromEnd, with.size(), with);
}

} // namespace

TEST(PropertyList, ReadsAnXmlInfoPlistWithEveryValueType)
{
    const auto result = parsePropertyList(kXmlInfoPlist);
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    const QVariantMap map = result.value.toMap();
    EXPECT_EQ(map.value("CFBundleIdentifier"), QVariant(QStringLiteral("com.lumora.print")));
    EXPECT_EQ(map.value("CFBundleName"), QVariant(QStringLiteral("Lumora Print & Layout")));
    EXPECT_EQ(map.value("CFBundleVersion"), QVariant(qint64(3102)));
    EXPECT_EQ(map.value("LSRequiresNativeExecution"), QVariant(true));
    EXPECT_EQ(map.value("Scale"), QVariant(1.5));
    EXPECT_EQ(map.value("Built").toDateTime(), QDateTime(QDate(2025, 5, 17), QTime(8, 30), QTimeZone::utc()));
    EXPECT_EQ(map.value("Token").toByteArray(), QByteArray("\x00\x01\x02", 3));
    const QVariantList platforms = map.value("CFBundleSupportedPlatforms").toList();
    ASSERT_EQ(platforms.size(), 2);
    EXPECT_EQ(platforms[0], QVariant(QStringLiteral("MacOSX")));
    EXPECT_EQ(platforms[1].toMap().value("Nested"), QVariant(qint64(-7)));
}

TEST(PropertyList, ReadsABinaryInfoPlistFromAnotherEncoder)
{
    const auto result = parsePropertyList(kBinaryInfoPlist);
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    const QVariantMap map = result.value.toMap();
    EXPECT_EQ(map.size(), 14);
    EXPECT_EQ(map.value("CFBundleIdentifier"), QVariant(QStringLiteral("com.lumora.capture")));
    EXPECT_EQ(map.value("CFBundleDisplayName"), QVariant(QStringLiteral("Lumora Capture \u2013 Studio")));
    EXPECT_EQ(map.value("Count"), QVariant(qint64(1234567890123)));
    EXPECT_EQ(map.value("Neg"), QVariant(qint64(-5)));
    EXPECT_EQ(map.value("Ratio"), QVariant(0.25));
    EXPECT_EQ(map.value("Built").toDateTime(), QDateTime(QDate(2025, 5, 17), QTime(8, 30), QTimeZone::utc()));
    EXPECT_EQ(map.value("Blob").toByteArray(), QByteArray("\x00\x01\x02", 3));
    EXPECT_EQ(map.value("Arch").toStringList(), QStringList({"arm64", "x86_64"}));
}

TEST(PropertyList, RefusesBadXml)
{
    const auto deep = "<plist>" + QByteArray("<array>").repeated(300) + QByteArray("</array>").repeated(300) + "</plist>";
    const struct {
        const char *name;
        QByteArray xml;
    } cases[] = {
        {"old-style text plist", "{ CFBundleIdentifier = com.lumora.print; }"},
        {"unclosed", "<plist><dict><key>a</key><string>b</string>"},
        {"value without key", "<plist><dict><string>b</string></dict></plist>"},
        {"key without value", "<plist><dict><key>a</key></dict></plist>"},
        {"unknown element", "<plist><dict><key>a</key><color>red</color></dict></plist>"},
        {"bad integer", "<plist><integer>12ab</integer></plist>"},
        {"bad data", "<plist><data>!!!</data></plist>"},
        {"element inside a string", "<plist><string>a<b/></string></plist>"},
        {"nesting 300 deep", deep},
    };
    for (const auto &tc : cases) {
        const auto result = parseXmlPropertyList(tc.xml);
        EXPECT_FALSE(result.ok()) << tc.name;
        EXPECT_FALSE(result.error.isEmpty()) << tc.name;
    }
}

TEST(PropertyList, RefusesHostileBinaryPlists)
{
    Bplist selfArray;
    selfArray.add(Bplist::array({0}));

    Bplist loopThroughArray;
    const int key = 1, inner = 2;
    loopThroughArray.add(Bplist::dict({key}, {inner}));
    loopThroughArray.add(Bplist::ascii("k"));
    loopThroughArray.add(Bplist::array({0}));

    Bplist danglingRef;
    danglingRef.add(Bplist::array({7}));

    Bplist intKey;
    intKey.add(Bplist::dict({1}, {1}));
    intKey.add(Bplist::integer(3));

    Bplist hugeArray; // claims 2^63 - 1 entries
    hugeArray.add(QByteArray("\xAF\x13", 2) + Bplist::be64(0x7fffffffffffffffULL));

    Bplist longString; // claims 4096 characters, holds 3
    longString.add(QByteArray("\x5F\x11\x10\x00", 4) + "abc");

    Bplist chain; // 300 arrays, each holding the next
    for (int i = 0; i < 300; ++i)
        chain.add(Bplist::array(i < 299 ? QList<int>{i + 1} : QList<int>{}));

    Bplist one;
    one.add(Bplist::ascii("x"));
    const QByteArray ok = one.build();

    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"array containing itself", selfArray.build()},
        {"dictionary reaching itself through an array", loopThroughArray.build()},
        {"reference past the object table", danglingRef.build()},
        {"dictionary key that is not a string", intKey.build()},
        {"array count larger than the file", hugeArray.build()},
        {"string longer than the file", longString.build()},
        {"nesting 300 deep", chain.build()},
        {"object offset past the table", patched(ok, 32 + 2, QByteArray("\xFF\xF0", 2))},
        {"object count in the quintillions", patched(ok, 24, Bplist::be64(1ULL << 62))},
        {"offset table outside the file", patched(ok, 8, Bplist::be64(~0ULL))},
        {"top object not in the table", patched(ok, 16, Bplist::be64(1))},
        {"zero-width references", patched(ok, 25, QByteArray(1, '\0'))},
        {"nine-byte offsets", patched(ok, 26, QByteArray(1, '\x09'))},
        {"cut short", kBinaryInfoPlist.left(40)},
        {"other version", QByteArray(kBinaryInfoPlist).replace(6, 2, "01")},
    };
    for (const auto &tc : cases) {
        const auto result = parseBinaryPropertyList(tc.bytes);
        EXPECT_FALSE(result.ok()) << tc.name;
        EXPECT_FALSE(result.error.isEmpty()) << tc.name;
    }
    EXPECT_TRUE(parseBinaryPropertyList(ok).ok()) << "the unpatched file is valid";
}

TEST(PropertyList, DecodesSharedObjectsOnce)
{
    // Forty levels of [next, next]: 2^40 leaves if every reference were decoded anew.
    Bplist shared;
    for (int i = 0; i < 40; ++i)
        shared.add(Bplist::array({i + 1, i + 1}));
    shared.add(Bplist::ascii("leaf"));
    const auto result = parseBinaryPropertyList(shared.build());
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    QVariant node = result.value;
    for (int i = 0; i < 40; ++i)
        node = node.toList().value(1);
    EXPECT_EQ(node, QVariant(QStringLiteral("leaf")));
}
