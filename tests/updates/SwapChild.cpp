// An install's file work in a process of its own, for the test that kills it midway:
// swap_child ARCHIVE TARGET_BUNDLE BUNDLE_ID KEEP_FOLDER
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/RenameExchange.h"
#include "updates/BundleReplacement.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5)
        return 2;
    vesk::RenameExchange swap;
    vesk::LinuxWorkspace workspace(QStringList{});
    const vesk::BundleReplacement replacement(swap, workspace);
    const QString target = args[2];
    // Tells the test the file work begins, so its kill lands inside it rather than in start-up.
    std::fputs("staging\n", stdout);
    std::fflush(stdout);
    const vesk::StagedBundle staged =
        replacement.stageArchive(args[1], QFileInfo(target).absolutePath(), args[3]);
    if (!staged.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(*staged.failure));
        return 1;
    }
    const vesk::PlaceResult placed =
        replacement.putInPlace(staged, target, vesk::KeptCopy{args[4], QStringLiteral("kept.app")});
    if (placed.failure) {
        std::fprintf(stderr, "%s\n", qPrintable(*placed.failure));
        return 1;
    }
    return 0;
}
