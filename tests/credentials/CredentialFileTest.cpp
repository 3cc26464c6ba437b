#include "credentials/CredentialFileParser.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace vesk;
namespace files = vesk::credentialfiles;

namespace {

const QDateTime readAt(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc());

QString document(const QString &account, const QString &location = QStringLiteral("LOC-1"))
{
    return QStringLiteral("<credentials>\n<store_number>42</store_number>\n<date>2026-03-01</date>\n"
                          "<kr5_account>%1</kr5_account>\n<kr5_location>%2</kr5_location>\n</credentials>\n")
        .arg(account, location);
}

} // namespace

TEST(CredentialFileName, CandidatesAndSetNames)
{
    struct Case {
        const char *file;
        bool candidate;
        const char *setName;
    };
    const Case cases[] = {
        {"Credentials_Haunts_2026.txt", true, "Haunts_2026"},
        {"credentials.xml", true, "credentials"},
        {"CREDENTIALS_Spring.XML", true, "Spring"},
        {"credentials__Fall__2026_.txt", true, "Fall_2026"},
        {"credentials_.xml", true, "credentials_"},
        {"credentials-backup.txt", true, "credentials-backup"},
        {"my_credentials.xml", false, "credentials"},
        {"credentials.xml.bak", false, "credentials.xml.bak"},
        {"credentials.json", false, "credentials.json"},
    };
    for (const Case &c : cases) {
        const QString file = QString::fromUtf8(c.file);
        EXPECT_EQ(files::isCandidateFileName(file), c.candidate) << c.file;
        if (c.candidate) {
            EXPECT_EQ(files::setNameFromFileName(file), QString::fromUtf8(c.setName)) << c.file;
        }
    }
}

TEST(CredentialFileAccount, LettersDigitsAndHyphensMakingEight)
{
    struct Case {
        const char *account;
        bool valid;
    };
    const Case cases[] = {
        {"AB-CD-12-34", true}, {"abcd1234", true},  {"ABCD-1234", true},  {"ABC1234", false},
        {"ABCD_1234", false},  {"ABCD12345", false}, {"ABCD 1234", false}, {"ÄBCD1234", false},
        {"--------", false},   {"", false},          {"<b>AB</b>CD", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(files::isValidAccount(QString::fromUtf8(c.account)), c.valid) << c.account;
}

TEST(CredentialFileParse, ReadsTheFirstValueOfEachElement)
{
    const QString text = QStringLiteral("Notes for the venue & staff\n") + document(QStringLiteral("AB-CD-12-34"))
        + QStringLiteral("<kr5_account>ZZZZ9999</kr5_account>");
    const auto set = files::parseText(text, QStringLiteral("Credentials_Haunts_2026.txt"), readAt);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->name, QStringLiteral("Haunts_2026"));
    EXPECT_EQ(set->storeNumber, QStringLiteral("42"));
    EXPECT_EQ(set->date, QStringLiteral("2026-03-01"));
    EXPECT_EQ(set->kr5Account, QStringLiteral("AB-CD-12-34"));
    EXPECT_EQ(set->kr5Location, QStringLiteral("LOC-1"));
    EXPECT_EQ(set->kr52Account, std::nullopt);
    EXPECT_EQ(set->lastReadAt, readAt);
    EXPECT_EQ(set->selectedPipeline, QStringLiteral("kr5"));

    // An element written with nothing inside is present and empty, not missing.
    const auto blank = files::parseText(QStringLiteral("<credentials><store_number></store_number>"),
                                        QStringLiteral("Credentials_Blank.txt"), readAt);
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->storeNumber, QString(QLatin1String("")));
    EXPECT_EQ(blank->date, std::nullopt);
}

TEST(CredentialFileParse, RejectsOrDefusesBadInput)
{
    struct Case {
        const char *name;
        QString text;
        bool isSet;
        std::optional<QString> account;
        std::optional<QString> location;
    };
    QString thousandTags;
    for (int i = 0; i < 1000; ++i)
        thousandTags += QStringLiteral("<credentials>");
    const Case cases[] = {
        {"no marker", QStringLiteral("<kr5_account>ABCD1234</kr5_account>"), false, std::nullopt, std::nullopt},
        {"marker in another case", QStringLiteral("<CREDENTIALS><kr5_account>ABCD1234</kr5_account>"), false,
         std::nullopt, std::nullopt},
        {"invalid account", document(QStringLiteral("ABC_1234")), true, std::nullopt, QStringLiteral("LOC-1")},
        {"account full of markup", document(QStringLiteral("<b>AB</b><i>CD</i><script>1234</script>")), true,
         std::nullopt, QStringLiteral("LOC-1")},
        {"thousand credentials tags", thousandTags + document(QStringLiteral("ABCD1234")), true,
         QStringLiteral("ABCD1234"), QStringLiteral("LOC-1")},
        {"truncated after the account",
         QStringLiteral("<credentials><kr5_account>ABCD1234</kr5_account><kr5_location>LO"), true,
         QStringLiteral("ABCD1234"), std::nullopt},
        {"oversized location", document(QStringLiteral("ABCD1234"), QString(5000, QLatin1Char('x'))), true,
         QStringLiteral("ABCD1234"), std::nullopt},
        {"doctype after the marker cannot define entities",
         QStringLiteral("<credentials><!DOCTYPE x [<!ENTITY a \"ABCD1234\">]><kr5_account>&a;</kr5_account>"), true,
         std::nullopt, std::nullopt},
        {"entity bomb: entities stay literal text",
         QStringLiteral("<!DOCTYPE b [<!ENTITY l0 \"ABCD1234\"><!ENTITY l1 \"&l0;&l0;&l0;&l0;&l0;&l0;\">"
                        "<!ENTITY l2 \"&l1;&l1;&l1;&l1;&l1;&l1;&l1;\"><!ENTITY l3 \"&l2;&l2;&l2;&l2;&l2;&l2;\">]>"
                        "<credentials><kr5_location>&l3;</kr5_location><kr5_account>ABCD1234</kr5_account>"),
         true, QStringLiteral("ABCD1234"), QStringLiteral("&l3;")},
        {"value split over lines does not count",
         QStringLiteral("<credentials><kr5_account>ABCD\n1234</kr5_account>\n<kr5_account>WXYZ9876</kr5_account>"),
         true, QStringLiteral("WXYZ9876"), std::nullopt},
        {"padded account is not trimmed", document(QStringLiteral(" ABCD1234 ")), true, std::nullopt,
         QStringLiteral("LOC-1")},
    };
    for (const Case &c : cases) {
        const auto set = files::parseText(c.text, QStringLiteral("credentials_X.xml"), readAt);
        ASSERT_EQ(set.has_value(), c.isSet) << c.name;
        if (!set)
            continue;
        EXPECT_EQ(set->kr5Account, c.account) << c.name;
        EXPECT_EQ(set->kr5Location, c.location) << c.name;
    }
}

TEST(CredentialFileParse, DecodesOnlyUtf8Text)
{
    EXPECT_EQ(files::decodeText(QByteArray("caf\xc3\xa9 <credentials>")), QStringLiteral("café <credentials>"));
    EXPECT_EQ(files::decodeText(QByteArray("\xef\xbb\xbf<credentials>")), QStringLiteral("<credentials>"));
    EXPECT_EQ(files::decodeText(QByteArray("caf\xe9 <credentials>")), std::nullopt) << "Latin-1";
    EXPECT_EQ(files::decodeText(QByteArray("<credentials>\0\x01\x02", 16)), std::nullopt) << "binary";
    EXPECT_EQ(files::decodeText(QByteArray("\xff\xfe<\0c\0", 6)), std::nullopt) << "UTF-16";
}
