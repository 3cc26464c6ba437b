#pragma once

#include "monitor/AppRef.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace vesk {

// The app selector wherever a bundle identifier is chosen: the known apps searched by name
// or identifier (at most 50 listed), any number ticked, all family apps at once, or a typed
// identifier that no known app has (apps installed only on other machines).
class AppChooser : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxShown = 50;

    explicit AppChooser(QObject *parent = nullptr);

    void setApps(QList<AppRef> apps);
    const QList<AppRef> &apps() const { return m_apps; }
    void setSearch(const QString &text);
    const QString &search() const { return m_search; }

    // The first 50 apps whose name or identifier holds the search text, in list order.
    QList<AppRef> shown() const { return m_matches.mid(0, kMaxShown); }
    qsizetype matchCount() const { return m_matches.size(); }
    // Says that the list is cut at 50; empty when it is not.
    QString limitText() const;
    // Offers the typed text as an identifier when no known app matches it; empty otherwise.
    QString typedText() const;

    void setChosen(const QString &bundleId, bool chosen);
    void chooseAllVeskApps();
    void clearChoice();
    const QStringList &chosen() const { return m_chosen; }
    // The identifiers to act on: those ticked, in the order ticked, or else the typed text when
    // it is a known identifier or matches no known app.
    QStringList bundleIds() const;

signals:
    void changed();
    void choiceChanged();

private:
    void rematch();

    QList<AppRef> m_apps;
    QString m_search;
    QList<AppRef> m_matches;
    QStringList m_chosen;
};

} // namespace vesk
