#pragma once

#include "wire/policy/AvailableUpdate.h"

#include <QByteArray>
#include <QList>

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

namespace vesk {

class FleetAPIClient;

// The fleet's release list for the update service's five-minute check, asked with the ETag of
// the last answer: an unchanged list costs the server a 304 and no JSON, and the copy held
// here is handed back. Copies share the held list, so one copy can sit in the service's
// dependencies while another is inspected.
class FleetReleaseList {
public:
    explicit FleetReleaseList(FleetAPIClient &api);

    // The current list, or none when the request failed (the caller keeps what it has).
    QCoro::Task<std::optional<QList<AvailableUpdate>>> operator()() const;

private:
    struct Held {
        QByteArray etag;
        std::optional<QList<AvailableUpdate>> releases;
    };

    FleetAPIClient *m_api;
    std::shared_ptr<Held> m_held;
};

} // namespace vesk
