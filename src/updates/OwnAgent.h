#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

class Workspace;

// The running agent as the self-update sees it: its bundle (when it runs from an installed
// "VeskWarden.app"), identifier, version and build, and how it was started.
struct OwnAgent {
    static inline const QString fallbackBundleId = QStringLiteral("com.lumora.VeskWarden");

    QString bundlePath; // empty when the agent does not run from a bundle (a build tree)
    QString bundleId = fallbackBundleId;
    QString version;
    std::optional<QString> build;
    QString executable;
    QStringList arguments;

    // The bundle whose Contents/MacOS holds `executable`; its Info.plist gives the identifier,
    // version and build. Outside a bundle, `builtVersion` stands for the version.
    static OwnAgent locate(const Workspace &workspace, const QString &executable, const QStringList &arguments,
                           const QString &builtVersion);
    // The watcher beside the agent's executable, inside whichever bundle `bundle` names.
    QString handoverProgramIn(const QString &bundle) const;
};

} // namespace vesk
