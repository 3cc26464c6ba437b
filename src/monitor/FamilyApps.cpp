#include "monitor/FamilyApps.h"

namespace vesk {

namespace {

struct FamilyRow {
    const char *bundleId;
    const char *name;
};

// Every product we ship. Add new apps here; nothing else lists them.
constexpr FamilyRow kFamily[] = {
    // Capture and tethering
    {"com.lumora.capture", "Lumora Capture"},
    {"com.lumora.capture.pro", "Lumora Capture Pro"},
    {"com.lumora.tether", "Lumora Tether"},
    {"com.lumora.tether.canon", "Lumora Tether for Canon"},
    {"com.lumora.tether.nikon", "Lumora Tether for Nikon"},
    {"com.lumora.tether.sony", "Lumora Tether for Sony"},
    {"com.lumora.boothcam", "Lumora Booth Cam"},
    {"com.lumora.greenscreen", "Lumora Green Screen"},
    {"com.lumora.ingest", "Lumora Ingest"},
    {"com.lumora.cull", "Lumora Cull"},
    {"com.lumora.retouch", "Lumora Retouch"},
    // Print
    {"com.lumora.print", "Lumora Print"},
    {"com.lumora.printqueue", "Lumora Print Queue"},
    {"com.lumora.printserver", "Lumora Print Server"},
    {"com.lumora.layouts", "Lumora Layouts"},
    {"com.lumora.idcards", "Lumora ID Cards"},
    {"com.lumora.labels", "Lumora Labels"},
    // Kiosk
    {"com.lumora.kiosk", "Lumora Kiosk"},
    {"com.lumora.kiosk.selfie", "Lumora Selfie Kiosk"},
    {"com.lumora.kiosk.order", "Lumora Order Kiosk"},
    {"com.lumora.checkin", "Lumora Check-In"},
    {"com.lumora.rosters", "Lumora Rosters"},
    // Sales
    {"com.lumora.sales", "Lumora Sales"},
    {"com.lumora.pos", "Lumora Point of Sale"},
    {"com.lumora.orders", "Lumora Orders"},
    {"com.lumora.packages", "Lumora Packages"},
    {"com.lumora.payments", "Lumora Payments"},
    // Upload and delivery
    {"com.lumora.upload", "Lumora Upload"},
    {"com.lumora.cloudsync", "Lumora Cloud Sync"},
    {"com.lumora.share", "Lumora Share"},
    {"com.lumora.mailer", "Lumora Mailer"},
    {"com.lumora.qrshare", "Lumora QR Share"},
    {"com.lumora.backup", "Lumora Backup"},
    // Display
    {"com.lumora.display", "Lumora Display"},
    {"com.lumora.slideshow", "Lumora Slideshow"},
    {"com.lumora.showcase", "Lumora Showcase"},
    {"com.lumora.livewall", "Lumora Live Wall"},
    {"com.lumora.scoreboard", "Lumora Scoreboard"},
    // The older apps from before the company's reverse-DNS domain
    {"lumora.launcher", "Lumora Launcher"},
    {"lumora.eventhub", "Lumora Event Hub"},
    {"lumora.updater", "Lumora Updater"},
};

} // namespace

const QSet<QString> &familyBundleIds()
{
    static const QSet<QString> ids = [] {
        QSet<QString> s;
        for (const FamilyRow &row : kFamily)
            s.insert(QString::fromLatin1(row.bundleId));
        return s;
    }();
    return ids;
}

const QList<AppRef> &familyAppTable()
{
    static const QList<AppRef> table = [] {
        QList<AppRef> t;
        for (const FamilyRow &row : kFamily)
            t.append(AppRef{QString::fromLatin1(row.bundleId), QString::fromUtf8(row.name), true});
        return t;
    }();
    return table;
}

bool isFamilyApp(const QString &bundleId)
{
    return familyBundleIds().contains(bundleId);
}

} // namespace vesk
