#include "fleetd/http/MultipartForm.h"

#include <QByteArrayView>

namespace vesk::fleetd {

namespace {

// Splits `a=1; b="x;y"` at semicolons outside quotes.
QList<QByteArray> splitParameters(const QByteArray &value)
{
    QList<QByteArray> items;
    QByteArray current;
    bool quoted = false;
    for (const char c : value) {
        if (c == '"')
            quoted = !quoted;
        if (c == ';' && !quoted) {
            items.append(current.trimmed());
            current.clear();
            continue;
        }
        current.append(c);
    }
    items.append(current.trimmed());
    return items;
}

// The value of parameter `name` in a header value, unquoted; nothing when absent.
std::optional<QByteArray> parameter(const QByteArray &value, const QByteArray &name)
{
    const QList<QByteArray> items = splitParameters(value);
    for (qsizetype i = 1; i < items.size(); ++i) {
        const qsizetype equals = items[i].indexOf('=');
        if (equals < 0 || items[i].left(equals).trimmed().toLower() != name)
            continue;
        QByteArray text = items[i].mid(equals + 1).trimmed();
        if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"'))
            text = text.mid(1, text.size() - 2);
        return text;
    }
    return std::nullopt;
}

} // namespace

QByteArray MultipartForm::boundary(const QByteArray &contentType)
{
    if (splitParameters(contentType).constFirst().toLower() != "multipart/form-data")
        return {};
    const QByteArray value = parameter(contentType, "boundary").value_or(QByteArray());
    return value.size() <= 70 ? value : QByteArray();
}

MultipartForm::Result MultipartForm::parse(const QByteArray &contentType, const QByteArray &body)
{
    Result result;
    const QByteArray mark = boundary(contentType);
    if (mark.isEmpty()) {
        result.error = QStringLiteral("Content-Type must be multipart/form-data with a boundary");
        return result;
    }
    const QByteArray delimiter = "--" + mark;
    const QByteArray separator = "\r\n" + delimiter;
    const QByteArrayView view(body);
    if (!view.startsWith(delimiter)) {
        result.error = QStringLiteral("the body does not start with the boundary");
        return result;
    }
    qsizetype position = delimiter.size();
    while (true) {
        if (view.sliced(position).startsWith("--"))
            return result;
        if (!view.sliced(position).startsWith("\r\n")) {
            result.error = QStringLiteral("malformed boundary line");
            return result;
        }
        position += 2;
        if (result.parts.size() == kMaxParts) {
            result.error = QStringLiteral("more than %1 parts").arg(kMaxParts);
            return result;
        }
        const qsizetype headersEnd = body.indexOf("\r\n\r\n", position);
        if (headersEnd < 0 || headersEnd - position > kMaxHeaderBytes) {
            result.error = QStringLiteral("part headers are missing or too long");
            return result;
        }
        Part part;
        bool named = false;
        for (const QByteArray &line : body.mid(position, headersEnd - position).split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon < 0)
                continue;
            const QByteArray key = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (key == "content-type") {
                part.contentType = value;
            } else if (key == "content-disposition") {
                if (splitParameters(value).constFirst().toLower() != "form-data")
                    break;
                if (const std::optional<QByteArray> name = parameter(value, "name")) {
                    part.name = QString::fromUtf8(*name);
                    named = !part.name.isEmpty();
                }
                if (const std::optional<QByteArray> file = parameter(value, "filename"))
                    part.filename = QString::fromUtf8(*file);
            }
        }
        if (!named) {
            result.error = QStringLiteral("a part lacks a form-data name");
            return result;
        }
        const qsizetype dataStart = headersEnd + 4;
        const qsizetype dataEnd = body.indexOf(separator, dataStart);
        if (dataEnd < 0) {
            result.error = QStringLiteral("the body ends inside part \"%1\"").arg(part.name);
            return result;
        }
        part.data = body.mid(dataStart, dataEnd - dataStart);
        result.parts.append(std::move(part));
        position = dataEnd + separator.size();
    }
}

const MultipartForm::Part *MultipartForm::find(const QList<Part> &parts, const QString &name)
{
    for (const Part &part : parts) {
        if (part.name == name)
            return &part;
    }
    return nullptr;
}

} // namespace vesk::fleetd
