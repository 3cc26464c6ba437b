#include "FleetTestRig.h"
#include "UpdateRig.h"

#include "updates/FleetReleaseList.h"


#include <QCryptographicHash>
#include <QDir>

#include <gtest/gtest.h>
#include <sodium.h>

namespace vesk::test {
namespace {

const QString kHost = QStringLiteral("https://downloads.example.com");

// Ed25519ph over a file's bytes, base64, as the fleet server signs releases.
QString signFile(const QString &path, const unsigned char *secretKey)
{
    const QByteArray bytes = readFile(path);
    crypto_sign_state state;
    crypto_sign_init(&state);
    crypto_sign_update(&state, reinterpret_cast<const unsigned char *>(bytes.constData()), quint64(bytes.size()));
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_final_create(&state, signature, nullptr, secretKey);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(signature), sizeof signature).toBase64());
}

QString sha256Of(const QString &path)
{
    return QString::fromLatin1(QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256).toHex());
}

TEST(UpdateServiceTest, AvailabilityKeepsNewerInstalledReleasesInServerOrder)
{
    UpdateRig rig;
    rig.makeApp(UpdateRig::captureId, "Capture", "1.0");
    rig.makeApp("com.lumora.Print", "Print", "2.0");
    rig.makeApp("com.lumora.Kiosk", "Kiosk", "1.0", rig.root.path() + "/Downloads");
    rig.serverReleases = {rig.release("com.lumora.Print", "2.0", kHost + "/p.zip"),
                          rig.release(UpdateRig::captureId, "1.1", kHost + "/c.zip"),
                          rig.release("com.lumora.VeskWarden", "9.0", kHost + "/w.zip"),
                          rig.release("com.lumora.Kiosk", "2.0", kHost + "/k.zip"),
                          rig.release("com.lumora.NotHere", "1.0", kHost + "/n.zip")};

    struct Case {
        const char *name;
        QString scope;
        QStringList want;
    };
    for (const Case &c : {Case{"entire machine", "entireMachine", {UpdateRig::captureId, "com.lumora.Kiosk"}},
                          Case{"applications folder only", "applicationsFolder", {UpdateRig::captureId}}}) {
        rig.defaults.setValue(FleetSettingsKeys::updateSearchScope, c.scope);
        QCoro::waitFor(rig.service.checkForUpdates());
        QStringList got;
        for (const AvailableUpdate &u : rig.service.availableUpdates())
            got << u.bundleId;
        EXPECT_EQ(got, c.want) << c.name;
        EXPECT_EQ(rig.service.latestServerUpdates()->size(), 5) << c.name;
    }

    // A failed check keeps what the last one found.
    const auto checkedAt = rig.service.lastCheck();
    rig.clock.advance(std::chrono::minutes(5));
    rig.serverAnswers = false;
    QCoro::waitFor(rig.service.checkForUpdates());
    EXPECT_EQ(rig.service.availableUpdates().size(), 1);
    EXPECT_EQ(rig.service.lastCheck(), checkedAt);
}

TEST(UpdateServiceTest, EveryRefusalBeforeInstallHasItsTextAndLeavesNothing)
{
    struct Case {
        const char *name;
        QString bundleId = UpdateRig::captureId;
        QString url = kHost + "/Capture.zip";
        QString version = "1.5";
        QMap<QString, QString> pins = {};
        int status = 200;
        QByteArray body = QByteArray(5000, 'z');
        HttpHeaders headers = {};
        std::optional<QString> transportError = std::nullopt;
        bool requested = true;
        QString want;
    };
    const QByteArray page = "<html>" + QByteArray(3000, ' ') + "</html>";
    const std::vector<Case> cases = {
        {.name = "own bundle", .bundleId = "com.lumora.VeskWarden", .requested = false,
         .want = "Warden can't replace itself while running — pin the version in the admin portal to trigger a "
                 "self-update"},
        {.name = "blank URL", .url = " \n ", .requested = false, .want = "No download URL configured for Capture"},
        {.name = "not a URL", .url = "http://", .requested = false, .want = "Invalid download URL for Capture"},
        {.name = "pinned to another version", .pins = {{UpdateRig::captureId, "v1.4"}}, .requested = false,
         .want = "Version 1.5 not allowed — pinned to 1.4"},
        {.name = "transport error", .transportError = "Connection refused", .want = "Download failed: Connection refused"},
        {.name = "not found", .status = 404, .body = "missing", .want = "Download returned HTTP 404"},
        {.name = "web page", .body = page, .headers = {{"Content-Type", "text/HTML; charset=utf-8"}},
         .want = "Download URL returned a web page, not an app archive"},
        {.name = "999 bytes", .body = QByteArray(999, 'z'),
         .want = "Downloaded file too small (999 bytes) — likely not a valid archive"},
    };
    for (const Case &c : cases) {
        UpdateRig rig;
        rig.makeApp(UpdateRig::captureId, "Capture", "1.0");
        if (c.requested) {
            if (c.transportError)
                rig.http.expectFailure("GET", "/Capture.zip", *c.transportError);
            else
                rig.http.expect("GET", "/Capture.zip", c.status, c.body, c.headers);
        }
        AvailableUpdate release = rig.release(c.bundleId, c.version, c.url);
        const CommandResult result = QCoro::waitFor(rig.service.update(release, c.pins));
        EXPECT_EQ(result, CommandResult::failure(c.want)) << c.name;
        EXPECT_EQ(rig.service.pendingInstalls().value(c.bundleId), DownloadState::failed(c.want)) << c.name;
        EXPECT_EQ(rig.http.pendingCount(), 0u) << c.name;
        EXPECT_TRUE(QDir(rig.paths.tempDir + "/VeskWardenUpdates").isEmpty()) << c.name;
        EXPECT_EQ(rig.installedVersion(UpdateRig::captureId), "1.0") << c.name;
    }
}

TEST(UpdateServiceTest, ChecksumAndSignatureRefuseTamperedOrUnsignedArchives)
{
    ASSERT_GE(sodium_init(), 0);
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(publicKey, secretKey);
    unsigned char otherPublic[crypto_sign_PUBLICKEYBYTES];
    unsigned char otherSecret[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(otherPublic, otherSecret);
    const QString pinned = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(publicKey), 32).toBase64());

    struct Case {
        const char *name;
        bool requireSigned;
        bool sign;
        bool signWithOtherKey;
        bool wrongChecksum;
        bool tamper;
        QString want; // empty: installs
    };
    const Case cases[] = {
        {"signed and matching", true, true, false, false, false, ""},
        {"unsigned allowed by default", false, false, false, false, false, ""},
        {"unsigned refused when signatures are required", true, false, false, false, false,
         "Install failed: the release is not signed and this machine requires signed updates"},
        {"another key's signature", false, true, true, false, false,
         "Install failed: the downloaded archive is not signed by this fleet's release key"},
        {"checksum mismatch", false, false, false, true, false,
         "Install failed: the downloaded archive does not match its published SHA-256 checksum"},
        {"archive changed after signing", false, true, false, false, true,
         "Install failed: the downloaded archive does not match its published SHA-256 checksum"},
    };
    for (const Case &c : cases) {
        UpdateRig rig;
        const QString bundle = rig.makeApp(UpdateRig::captureId, "Capture", "1.0");
        const QByteArray before = treeDigest(bundle);
        rig.defaults.setValue(UpdateService::releaseKeyKey, pinned);
        rig.defaults.setValue(UpdateService::requireSignedKey, c.requireSigned);
        const QString archive = rig.makeArchive(UpdateRig::captureId, "Capture", "1.1", "Capture.zip");
        AvailableUpdate release = rig.release(UpdateRig::captureId, "1.1", kHost + "/Capture.zip");
        release.sha256 = c.wrongChecksum ? QString(64, QLatin1Char('0')) : sha256Of(archive);
        if (c.sign)
            release.signature = signFile(archive, c.signWithOtherKey ? otherSecret : secretKey);
        QByteArray served = readFile(archive);
        if (c.tamper)
            served[served.size() / 2] = char(served[served.size() / 2] ^ 0x20);
        rig.http.expect("GET", "/Capture.zip", 200, served);

        const CommandResult result = QCoro::waitFor(rig.service.update(release, {}));
        if (c.want.isEmpty()) {
            EXPECT_EQ(result, CommandResult::ok("Updated Capture to 1.1")) << c.name;
            EXPECT_EQ(rig.installedVersion(UpdateRig::captureId), "1.1") << c.name;
        } else {
            EXPECT_EQ(result, CommandResult::failure(c.want)) << c.name;
            EXPECT_EQ(treeDigest(bundle), before) << c.name;
            EXPECT_TRUE(rig.leftovers(rig.paths.applicationsDir()).isEmpty()) << c.name;
        }
        EXPECT_TRUE(QDir(rig.paths.tempDir + "/VeskWardenUpdates").isEmpty()) << c.name;
    }
}

TEST(UpdateServiceTest, UpdateFetchesTheEncodedUrlInstallsAndClearsTheRelease)
{
    UpdateRig rig;
    rig.makeApp(UpdateRig::captureId, "Capture", "1.0");
    const QString archive = rig.makeArchive(UpdateRig::captureId, "Capture", "1.1", "Capture.zip");
    rig.serverReleases = {rig.release(UpdateRig::captureId, "1.1", kHost + "/builds/Capture [1.1] final.zip ")};
    QCoro::waitFor(rig.service.checkForUpdates());
    ASSERT_EQ(rig.service.availableUpdates().size(), 1);
    rig.http.expect("GET", "/builds/Capture [1.1] final.zip", 200, readFile(archive));

    // A pin of the same numeric version lets it through.
    const CommandResult result = QCoro::waitFor(
        rig.service.update(rig.service.availableUpdates().first(), {{UpdateRig::captureId, "1.1 (b12)"}}));
    EXPECT_EQ(result, CommandResult::ok("Updated Capture to 1.1"));
    ASSERT_EQ(rig.http.requests().size(), 1u);
    EXPECT_EQ(rig.http.requests()[0].url.toString(QUrl::FullyEncoded),
              kHost + "/builds/Capture%20%5B1.1%5D%20final.zip");
    EXPECT_TRUE(rig.service.availableUpdates().isEmpty());
    EXPECT_TRUE(rig.service.pendingInstalls().isEmpty());
    EXPECT_EQ(rig.installedVersion(UpdateRig::captureId), "1.1");
}

TEST(UpdateServiceTest, ServerNamedAttachmentDecidesTheArchiveFormat)
{
    UpdateRig rig;
    rig.makeApp(UpdateRig::captureId, "Capture", "1.0");
    const QString archive = rig.makeArchive(UpdateRig::captureId, "Capture", "1.1", "Capture.tar");
    rig.http.expect("GET", "/api/release_download", 200, readFile(archive),
                    {{"Content-Disposition", "attachment; filename=\"../Capture.tar\""}});
    const AvailableUpdate release =
        rig.release(UpdateRig::captureId, "1.1", kHost + "/api/release_download?file=abc-Capture.tar");
    EXPECT_EQ(QCoro::waitFor(rig.service.update(release, {})), CommandResult::ok("Updated Capture to 1.1"));
    EXPECT_EQ(rig.installedVersion(UpdateRig::captureId), "1.1");
}

TEST(UpdateServiceTest, AutomaticPassRunsOnlyInsideTheWindowAndHonoursPolicyPins)
{
    UpdateRig rig;
    rig.makeApp(UpdateRig::captureId, "Capture", "1.0");
    rig.makeApp("com.lumora.Print", "Print", "1.0");
    rig.serverReleases = {rig.release(UpdateRig::captureId, "1.1", kHost + "/Capture.zip"),
                          rig.release("com.lumora.Print", "1.2", kHost + "/Print.zip")};
    QCoro::waitFor(rig.service.checkForUpdates());
    ASSERT_EQ(rig.service.availableUpdates().size(), 2);

    UpdatePolicy policy;
    policy.mode = UpdatePolicy::Mode::automatic;
    policy.pinnedVersions = {{"com.lumora.Print", "1.1"}};
    // 09:00 is outside 1-5: no download at all (the scripted transport fails on any request).
    QCoro::waitFor(rig.service.runAutomaticUpdates(policy));
    EXPECT_TRUE(rig.http.requests().empty());

    // Inside the window only Capture is fetched: Print is pinned to another version.
    policy.windowStart = 8;
    policy.windowEnd = 10;
    rig.http.expect("GET", "/Capture.zip", 404);
    QCoro::waitFor(rig.service.runAutomaticUpdates(policy));
    ASSERT_EQ(rig.http.requests().size(), 1u);
    EXPECT_EQ(rig.service.pendingInstalls().value(UpdateRig::captureId),
              DownloadState::failed("Download returned HTTP 404"));
    EXPECT_FALSE(rig.service.pendingInstalls().contains("com.lumora.Print"));
    // A failed update stays on offer for the next pass.
    EXPECT_EQ(rig.service.availableUpdates().size(), 2);
}

TEST(UpdateServiceTest, LoopChecksAtOnceThenEveryFiveMinutesUntilStopped)
{
    UpdateRig rig;
    rig.service.start();
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.fetches, 1);
    rig.clock.advance(UpdateService::period - std::chrono::seconds(1));
    EXPECT_EQ(rig.fetches, 1);
    rig.clock.advance(std::chrono::seconds(1));
    EXPECT_EQ(rig.fetches, 2);
    rig.service.stop();
    rig.clock.advance(UpdateService::period * 2);
    EXPECT_EQ(rig.fetches, 2);
    EXPECT_EQ(rig.clock.sleeperCount(), 0u);
}

TEST(FleetReleaseListTest, AsksWithTheLastETagAndHandsBackTheHeldListOnNotModified)
{
    FleetTestRig fleet;
    fleet.setTenant(QStringLiteral("abc"));
    fleet.storeSecret(QStringLiteral("abc"), QString(64, QLatin1Char('a')), 42);
    const FleetReleaseList releases(fleet.api);
    const QByteArray v1 = R"({"updates": [{"bundle_id": "com.lumora.Capture", "version": "2.1",
                                           "download_url": "https://downloads.example.com/c.zip"}]})";
    const QByteArray v2 = R"({"updates": []})";
    const auto check = [&](int status, const QByteArray &body, const QByteArray &etag) {
        if (status == 0)
            fleet.http.expectFailure("GET", QStringLiteral("/api/app_updates"), QStringLiteral("offline"));
        else
            fleet.http.expect("GET", QStringLiteral("/api/app_updates"), status, body, {{"ETag", etag}});
        const std::optional<QList<AvailableUpdate>> got = QCoro::waitFor(releases());
        QByteArray sent;
        for (const auto &[name, value] : fleet.http.requests().back().headers) {
            if (name == "If-None-Match")
                sent = value;
        }
        return std::make_pair(got, sent);
    };

    struct Step {
        const char *name;
        int status;
        QByteArray body;
        QByteArray etag;
        QByteArray wantSent;
        std::optional<int> wantCount;
    };
    const Step steps[] = {
        {"nothing to match on the first check", 200, v1, "\"r1\"", {}, 1},
        {"unchanged: the held list comes back", 304, {}, "\"r1\"", "\"r1\"", 1},
        {"a failed check answers nothing", 0, {}, {}, "\"r1\"", std::nullopt},
        {"and the tag survives it", 304, {}, "\"r1\"", "\"r1\"", 1},
        {"a changed list replaces the held one", 200, v2, "\"r2\"", "\"r1\"", 0},
        {"and its tag is sent next", 304, {}, "\"r2\"", "\"r2\"", 0},
    };
    for (const Step &step : steps) {
        const auto [got, sent] = check(step.status, step.body, step.etag);
        EXPECT_EQ(sent, step.wantSent) << step.name;
        ASSERT_EQ(got.has_value(), step.wantCount.has_value()) << step.name;
        if (got) {
            EXPECT_EQ(got->size(), *step.wantCount) << step.name;
            if (!got->isEmpty()) {
                EXPECT_EQ(got->first().version, QStringLiteral("2.1")) << step.name;
            }
        }
    }
}

} // namespace
} // namespace vesk::test
