#include "credentials/CredentialFileParser.h"

#include <QHash>
#include <QStringDecoder>

namespace vesk::credentialfiles {

namespace {

const QString credentialsTag = QStringLiteral("<credentials>");

const QStringList &valueTags()
{
    static const QStringList tags = {
        QStringLiteral("store_number"),   QStringLiteral("date"),           QStringLiteral("kr5_account"),
        QStringLiteral("kr5_location"),   QStringLiteral("kr5_2_account"),  QStringLiteral("kr5_2_location"),
        QStringLiteral("kr5_3_account"),  QStringLiteral("kr5_3_location"),
    };
    return tags;
}

bool isLineTerminator(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0x2028) || c == QChar(0x2029)
        || c == QChar(0x85);
}

qsizetype lineEnd(const QString &text, qsizetype from)
{
    while (from < text.size() && !isLineTerminator(text.at(from)))
        ++from;
    return from;
}

// The first "<tag>…</tag>" whose value stays on one line, read as plain text the way
// operators write these files (they are not always well-formed XML). Linear: when a
// line has no closing tag after an opening one, no later opening tag on that line can
// match either, so the search moves on to the next line.
std::optional<QString> firstValue(const QString &text, const QString &tag)
{
    const QString open = QLatin1Char('<') + tag + QLatin1Char('>');
    const QString close = QStringLiteral("</") + tag + QLatin1Char('>');
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(open, from);
        if (at < 0)
            return std::nullopt;
        const qsizetype valueStart = at + open.size();
        const qsizetype end = lineEnd(text, valueStart);
        const qsizetype closeAt = QStringView(text).mid(valueStart, end - valueStart).indexOf(close);
        if (closeAt >= 0) {
            if (closeAt > maxValueLength)
                return std::nullopt;
            return text.mid(valueStart, closeAt);
        }
        from = end;
    }
}

QHash<QString, QString> extractValues(const QString &text)
{
    QHash<QString, QString> values;
    for (const QString &tag : valueTags()) {
        const std::optional<QString> value = firstValue(text, tag);
        if (value)
            values.insert(tag, *value);
    }
    return values;
}

std::optional<QString> valueOf(const QHash<QString, QString> &values, const QString &tag)
{
    const auto it = values.constFind(tag);
    if (it == values.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QString> accountOf(const QHash<QString, QString> &values, const QString &tag)
{
    std::optional<QString> account = valueOf(values, tag);
    if (account && !isValidAccount(*account))
        return std::nullopt;
    return account;
}

QString baseName(const QString &fileName)
{
    const QString lower = fileName.toLower();
    if (lower.endsWith(QLatin1String(".xml")) || lower.endsWith(QLatin1String(".txt")))
        return fileName.chopped(4);
    return fileName;
}

} // namespace

bool isCandidateFileName(const QString &fileName)
{
    const QString lower = fileName.toLower();
    return lower.startsWith(QLatin1String("credentials"))
        && (lower.endsWith(QLatin1String(".xml")) || lower.endsWith(QLatin1String(".txt")));
}

QString setNameFromFileName(const QString &fileName)
{
    const QString base = baseName(fileName);
    QStringList pieces = base.split(QLatin1Char('_'), Qt::SkipEmptyParts);
    if (pieces.size() < 2)
        return base;
    pieces.removeFirst();
    return pieces.join(QLatin1Char('_'));
}

bool isValidAccount(const QString &account)
{
    int significant = 0;
    for (const QChar c : account) {
        if (c == QLatin1Char('-'))
            continue;
        // Upload accounts are plain ASCII codes; other scripts' letters are not accepted.
        if (c.unicode() > 0x7f || !c.isLetterOrNumber())
            return false;
        ++significant;
    }
    return significant == 8;
}

std::optional<QString> decodeText(const QByteArray &bytes)
{
    if (bytes.contains('\0'))
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<CredentialSet> parseText(const QString &text, const QString &fileName, const QDateTime &readAt)
{
    if (!text.contains(credentialsTag))
        return std::nullopt;
    const QHash<QString, QString> values = extractValues(text);
    CredentialSet set;
    set.name = setNameFromFileName(fileName);
    set.storeNumber = valueOf(values, QStringLiteral("store_number"));
    set.date = valueOf(values, QStringLiteral("date"));
    set.lastReadAt = readAt;
    set.kr5Account = accountOf(values, QStringLiteral("kr5_account"));
    set.kr5Location = valueOf(values, QStringLiteral("kr5_location"));
    set.kr52Account = accountOf(values, QStringLiteral("kr5_2_account"));
    set.kr52Location = valueOf(values, QStringLiteral("kr5_2_location"));
    set.kr53Account = accountOf(values, QStringLiteral("kr5_3_account"));
    set.kr53Location = valueOf(values, QStringLiteral("kr5_3_location"));
    set.selectedPipeline = pipelines::watermark;
    return set;
}

} // namespace vesk::credentialfiles
