#pragma once

#include "console/ConsoleTexts.h"
#include "policy/EnforcementLog.h"

#include <QObject>
#include <QStringList>
#include <QUuid>

#include <algorithm>
#include <optional>

namespace vesk {

// What the maintenance screens share over a service that keeps this Mac's own list beside
// the policy's: the rows (this Mac's first, the policy's read-only after them), the empty
// state, the service's last pass and its log. Without the service (a test, a screenshot
// run) the list is empty and the screen saves nothing.
class LocalListModel : public QObject {
    Q_OBJECT
public:
    struct Row {
        QUuid id;
        bool fromPolicy = false; // read-only here
        QString title;
        QString summary; // what the item is and does
        QString status;  // how it went last
    };

    bool isAvailable() const { return m_available; }
    // This Mac's items, then the policy's.
    virtual QList<Row> rows() const = 0;
    QString emptyText() const { return rows().isEmpty() ? m_emptyText : QString(); }
    // Whether `id` is one of this Mac's own rows, the ones the screen edits and removes.
    bool isOwn(const QUuid &id) const;
    // What the service is doing or when its last pass ran; empty without the service.
    virtual QString activityText() const = 0;
    // The service's log, newest first.
    virtual QStringList logLines() const = 0;
    // A line shown over the list, when the screen has something to say.
    virtual QString message() const { return {}; }

signals:
    void changed();

protected:
    template <typename Service>
    LocalListModel(Service *service, QString emptyText, QObject *parent)
        : QObject(parent), m_available(service != nullptr), m_emptyText(std::move(emptyText))
    {
        if (service)
            connect(service, &Service::changed, this, &LocalListModel::changed);
    }

    // `row` for each of `own`, then for each of `policy` marked as the policy's.
    template <typename Item, typename RowOf>
    static QList<Row> ownThenPolicy(const QList<Item> &own, const QList<Item> &policy, RowOf row)
    {
        QList<Row> out;
        for (const Item &item : own)
            out.append(row(item));
        for (const Item &item : policy) {
            out.append(row(item));
            out.last().fromPolicy = true;
            out.last().title += QStringLiteral(" · ") + ConsoleTexts::fromPolicy;
        }
        return out;
    }
    template <typename Item>
    static std::optional<Item> find(const QList<Item> &items, const QUuid &id)
    {
        const auto it = std::find_if(items.cbegin(), items.cend(), [&](const Item &item) { return item.id == id; });
        return it == items.cend() ? std::nullopt : std::optional<Item>(*it);
    }
    static QStringList newestFirst(const QList<PolicyLogEntry> &log);
    static QString when(const QDateTime &at);

private:
    bool m_available;
    QString m_emptyText;
};

} // namespace vesk
