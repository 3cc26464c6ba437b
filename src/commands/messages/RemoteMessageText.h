#pragma once

#include <QDateTime>
#include <QMap>
#include <QString>

#include <optional>

#include "wire/RemoteMessage.h"

namespace vesk::RemoteMessageText {

// The message a "show_message" command asks for: "message" trimmed and required, "title"
// trimmed and optional, locked only when "dismissable" reads "false" in any letter case.
// None when there is no message text.
std::optional<RemoteMessage> fromParams(qint64 commandId, const QMap<QString, QString> &params,
                                        const QDateTime &now);

// A date as the panel and the reports show it: abbreviated date, shortened time
// ("Mar 2, 2026 at 9:05 AM").
QString abbreviatedDateTime(const QDateTime &localTime);

} // namespace vesk::RemoteMessageText
