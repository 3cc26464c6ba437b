#pragma once

#include <QByteArray>
#include <QString>

namespace vesk {

// The message of a failed fleet response: the server's own text from a JSON body
// ("error", then "message", then "detail") with the status in parentheses, else a
// fixed wording per status.
QString failedResponseMessage(int status, const QByteArray &body);

// "<label> decode failed: " and the first 300 characters of the body, or "(binary)"
// when the body is not UTF-8.
QString decodeFailureMessage(const QString &label, const QByteArray &body);

} // namespace vesk
