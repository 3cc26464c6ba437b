#pragma once

#include "wire/RemoteMessage.h"

#include <QString>

#include <functional>
#include <optional>

namespace vesk {

// Puts the administrator's message on the machine's screens and takes it down.
class RemoteMessagePresenter {
public:
    virtual ~RemoteMessagePresenter() = default;

    // Replaces whatever is shown. `dismiss` is what the panel's Dismiss button calls; it is
    // offered only for a dismissable message. `sentText` is the receive time as shown.
    // None when the message is on screen, else why it is not (it is still kept, and shown
    // when the presenter can).
    virtual std::optional<QString> present(const RemoteMessage &message, const QString &sentText,
                                           std::function<void()> dismiss) = 0;
    virtual void withdraw() = 0;
};

} // namespace vesk
