#include "updates/FleetReleaseList.h"

#include "fleet/FleetAPIClient.h"
#include "platform/LogCategories.h"

namespace vesk {

FleetReleaseList::FleetReleaseList(FleetAPIClient &api) : m_api(&api), m_held(std::make_shared<Held>()) {}

QCoro::Task<std::optional<QList<AvailableUpdate>>> FleetReleaseList::operator()() const
{
    const std::shared_ptr<Held> held = m_held;
    // Only a list actually held may be matched on: without one, ask for the whole answer.
    const QByteArray etag = held->releases ? held->etag : QByteArray();
    FleetAPIClient &api = *m_api;
    const APIResult<ConditionalAnswer<AppUpdatesResponse>> answer = co_await api.fetchAppUpdatesIfChanged(etag);
    if (!answer.ok()) {
        // The list held stays on offer; the loop asks again at its next turn.
        qCWarning(lcUpdate).noquote() << QStringLiteral("Update check failed: ") + answer.errorMessage();
        co_return std::nullopt;
    }
    if (answer->notModified()) {
        if (!held->releases)
            co_return std::nullopt;
        // Copies: the task's promise moves from what it is handed.
        co_return std::optional<QList<AvailableUpdate>>(*held->releases);
    }
    held->etag = answer->etag;
    held->releases = answer->value->updates;
    co_return std::optional<QList<AvailableUpdate>>(*held->releases);
}

} // namespace vesk
