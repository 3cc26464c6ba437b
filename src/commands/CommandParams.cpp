#include "commands/CommandParams.h"

#include <QLocale>
#include <QRegularExpression>

namespace vesk {

CommandParams::CommandParams(const std::optional<QMap<QString, AnyCodable>> &params)
    : m_values(params.value_or(QMap<QString, AnyCodable>()))
{
}

std::optional<QString> CommandParams::text(const QString &key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.cend())
        return std::nullopt;
    return textForm(*it);
}

std::optional<QString> CommandParams::nonEmpty(const QString &key) const
{
    auto value = text(key);
    if (value && value->isEmpty())
        return std::nullopt;
    return value;
}

QMap<QString, QString> CommandParams::texts() const
{
    QMap<QString, QString> out;
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it)
        out.insert(it.key(), textForm(*it));
    return out;
}

QString CommandParams::textForm(const AnyCodable &value)
{
    if (const auto s = value.string())
        return *s;
    if (const auto i = value.integer())
        return QString::number(*i);
    if (const auto b = value.boolean())
        return *b ? QStringLiteral("true") : QStringLiteral("false");
    return QString::number(value.number().value_or(0.0), 'g', QLocale::FloatingPointShortest);
}

std::optional<QDateTime> CommandParams::internetDateTime(const QString &text)
{
    // Qt's ISO parser alone accepts more (no zone, fractions, dates only); the fleet's
    // commands always carry the full form, and anything else is refused.
    static const QRegularExpression shape(
        QStringLiteral(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(Z|[+-]\d{2}:?\d{2})$)"));
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    const QDateTime date = QDateTime::fromString(text, Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

} // namespace vesk
