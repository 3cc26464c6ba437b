#include "credentials/CredentialManager.h"

#include "ManualClock.h"
#include "MemoryDefaultsStore.h"
#include "ScriptedHttpTransport.h"
#include "platform/linux/QtHttpTransport.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

using namespace vesk;

namespace {

struct Posted {
    QByteArray contentType;
    QByteArray body;
};

class ConnectionTestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_server.route("/upload/", [this](const QHttpServerRequest &request) {
            m_posted.append({request.value("Content-Type"), request.body()});
            if (request.body().contains("<account>DENY0000</account>"))
                return QHttpServerResponse("text/plain", "ERROR: Access Denied for this account",
                                           QHttpServerResponder::StatusCode::Forbidden);
            if (request.body().contains("<account>HTML0000</account>"))
                return QHttpServerResponse("text/html", "<html><body><h1>Welcome</h1></body></html>");
            return QHttpServerResponse("text/xml", "<RESULT>queued</RESULT>");
        });
        m_port = m_server.listen(QHostAddress::LocalHost, 0);
        ASSERT_NE(m_port, 0);
    }

    QUrl uploadUrl() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/upload/").arg(m_port)); }

    QHttpServer m_server;
    quint16 m_port = 0;
    QList<Posted> m_posted;
    test::MemoryDefaultsStore m_defaults;
    test::ManualClock m_clock;
    PlatformPaths m_paths = PlatformPaths::underRoot(QStringLiteral("/nonexistent"));
};

TEST_F(ConnectionTestTest, ClassifiesTheUploadServiceAnswers)
{
    QtHttpTransport transport(QStringLiteral("1.0.0"));
    CredentialManager manager(m_defaults, m_clock, transport, m_paths, uploadUrl());
    QStringList audits;
    manager.setAuditLogger([&](const QString &event, const QString &text) { audits.append(event + ' ' + text); });
    struct Case {
        const char *account;
        TestResult want;
    };
    const Case cases[] = {
        {"GOOD0000", TestResult::passed()},
        {"DENY0000", TestResult::failed(QStringLiteral("Invalid credentials"))},
        {"HTML0000", TestResult::failed(QStringLiteral("Unexpected response"))},
    };
    const QString location = QStringLiteral("Hall \"A\" & <B>'s");
    for (const Case &c : cases) {
        const TestResult got = QCoro::waitFor(manager.testConnection(QString::fromUtf8(c.account), location,
                                                                     QStringLiteral("Haunts")));
        EXPECT_EQ(got, c.want) << c.account;
    }
    ASSERT_EQ(m_posted.size(), 3);
    const QByteArray prefix = "multipart/form-data; boundary=";
    ASSERT_TRUE(m_posted[0].contentType.startsWith(prefix)) << m_posted[0].contentType.constData();
    const QByteArray boundary = m_posted[0].contentType.mid(prefix.size());
    EXPECT_EQ(boundary.size(), 36) << "a UUID";
    EXPECT_NE(m_posted[1].contentType, m_posted[0].contentType) << "a fresh boundary per test";
    const QByteArray expected = "--" + boundary + "\r\n"
        "Content-Disposition: form-data; name=\"datafile\"; filename=\"data.xml\"\r\n"
        "Content-Type: text/xml\r\n\r\n"
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n<data>\n"
        "\t<account>GOOD0000</account>\n\t<code>TEST_CONNECTION</code>\n\t<client>TEST</client>\n"
        "\t<locationid>Hall &quot;A&quot; &amp; &lt;B&gt;&apos;s</locationid>\n"
        "\t<keypw>" VESK_EXPECTED_KEY_PASSWORD "</keypw>\n</data>"
        "\r\n--" + boundary + "--\r\n";
    EXPECT_EQ(m_posted[0].body, expected);
    ASSERT_EQ(audits.size(), 3);
    EXPECT_TRUE(audits[1].startsWith(QStringLiteral("credentialSetTested Tested set 'Haunts' account DENY0000")));
    EXPECT_TRUE(audits[1].endsWith(QStringLiteral("failed: Invalid credentials")));
}

TEST_F(ConnectionTestTest, RefusesBeforeSendingAndNamesTransportFailures)
{
    test::ScriptedHttpTransport http;
    http.expectFailure("POST", QStringLiteral("/upload/"), QStringLiteral("The request timed out."));
    http.expectFailure("POST", QStringLiteral("/upload/"), QStringLiteral("Connection refused"));
    const QUrl url(QStringLiteral("https://upload.example.test/upload/"));
    CredentialManager manager(m_defaults, m_clock, http, m_paths, url);
    CredentialManager noUrl(m_defaults, m_clock, http, m_paths, QUrl(QStringLiteral("not a url")));
    struct Case {
        const char *name;
        CredentialManager &manager;
        QString account;
        QString location;
        TestResult want;
    };
    const Case cases[] = {
        {"empty location", manager, QStringLiteral("ABCD1234"), QString(),
         TestResult::failed("Account and location required")},
        {"invalid URL", noUrl, QStringLiteral("ABCD1234"), QStringLiteral("L"), TestResult::failed("Invalid upload URL")},
        {"time-out", manager, QStringLiteral("ABCD1234"), QStringLiteral("L"), TestResult::failed("Connection timed out")},
        {"other error", manager, QStringLiteral("ABCD1234"), QStringLiteral("L"), TestResult::failed("Connection refused")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(QCoro::waitFor(c.manager.testConnection(c.account, c.location)), c.want) << c.name;
    ASSERT_EQ(http.requests().size(), 2u);
    EXPECT_EQ(http.requests().front().timeout, std::chrono::milliseconds(15000));
}

} // namespace
