#pragma once

#include "wire/AnyCodable.h"

#include <QDateTime>
#include <QMap>
#include <QString>

#include <optional>

namespace vesk {

// A command's parameters as the handlers read them: every value as text, whatever JSON
// type it arrived as ("3" and 3 read alike). Missing parameters count as none at all.
class CommandParams {
public:
    CommandParams() = default;
    explicit CommandParams(const std::optional<QMap<QString, AnyCodable>> &params);

    // The value's text; none when the key is absent.
    std::optional<QString> text(const QString &key) const;
    // The value's text when present and not empty: an empty identifier names nothing.
    std::optional<QString> nonEmpty(const QString &key) const;
    // Every parameter as text.
    QMap<QString, QString> texts() const;

    // Strings as they are, integers in decimal, doubles in their shortest exact form,
    // booleans as "true" or "false".
    static QString textForm(const AnyCodable &value);
    // An internet date-time as fleet commands carry it: "2026-03-02T09:05:00Z" or with a
    // "+01:00" offset, whole seconds, nothing more and nothing less. None otherwise.
    static std::optional<QDateTime> internetDateTime(const QString &text);

private:
    QMap<QString, AnyCodable> m_values;
};

} // namespace vesk
