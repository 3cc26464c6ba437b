#include "platform/linux/XmlPropertyList.h"

#include <QDateTime>
#include <QXmlStreamReader>

namespace vesk {

namespace {

constexpr int kMaxDepth = 256;

class XmlPlistReader {
public:
    explicit XmlPlistReader(const QByteArray &bytes) : m_xml(bytes) {}

    PlistResult read()
    {
        if (!nextStartElement())
            return fail(QStringLiteral("no <plist> element"));
        if (m_xml.name() != QLatin1String("plist"))
            return fail(QStringLiteral("root element is <%1>, not <plist>").arg(m_xml.name()));
        if (!nextStartElement())
            return fail(QStringLiteral("<plist> holds no value"));
        QVariant value = readValue(0);
        if (!m_error.isEmpty())
            return PlistResult::failure(m_error);
        return PlistResult{std::move(value), {}};
    }

private:
    // Moves to the next start element of the current level; false at the parent's end or on error.
    bool nextStartElement()
    {
        while (!m_xml.atEnd()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
                return true;
            case QXmlStreamReader::EndElement:
                return false;
            case QXmlStreamReader::Characters:
                if (!m_xml.isWhitespace()) {
                    setError(QStringLiteral("unexpected text between elements"));
                    return false;
                }
                break;
            default:
                break;
            }
        }
        if (m_xml.hasError())
            setError(m_xml.errorString());
        return false;
    }

    QVariant readValue(int depth)
    {
        if (depth > kMaxDepth) {
            setError(QStringLiteral("nesting deeper than %1 levels").arg(kMaxDepth));
            return {};
        }
        const auto tag = m_xml.name().toString();
        if (tag == QLatin1String("dict"))
            return readDict(depth);
        if (tag == QLatin1String("array"))
            return readArray(depth);
        if (tag == QLatin1String("true") || tag == QLatin1String("false")) {
            m_xml.skipCurrentElement();
            return tag == QLatin1String("true");
        }
        const QString text = readText();
        if (!m_error.isEmpty())
            return {};
        if (tag == QLatin1String("string"))
            return text;
        if (tag == QLatin1String("integer")) {
            bool ok = false;
            const qint64 v = text.trimmed().toLongLong(&ok);
            if (!ok)
                setError(QStringLiteral("bad integer \"%1\"").arg(text.left(40)));
            return v;
        }
        if (tag == QLatin1String("real")) {
            bool ok = false;
            const double v = text.trimmed().toDouble(&ok);
            if (!ok)
                setError(QStringLiteral("bad real \"%1\"").arg(text.left(40)));
            return v;
        }
        if (tag == QLatin1String("date")) {
            QDateTime d = QDateTime::fromString(text.trimmed(), Qt::ISODate);
            if (!d.isValid())
                setError(QStringLiteral("bad date \"%1\"").arg(text.left(40)));
            return d.toUTC();
        }
        if (tag == QLatin1String("data")) {
            const auto decoded = QByteArray::fromBase64Encoding(text.toLatin1().simplified().replace(' ', ""),
                                                                QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                setError(QStringLiteral("bad base64 in <data>"));
            return *decoded;
        }
        setError(QStringLiteral("unknown element <%1>").arg(tag));
        return {};
    }

    QString readText()
    {
        QString text = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (m_xml.hasError())
            setError(m_xml.errorString());
        return text;
    }

    QVariant readDict(int depth)
    {
        QVariantMap map;
        while (nextStartElement()) {
            if (m_xml.name() != QLatin1String("key")) {
                setError(QStringLiteral("<dict> entry without <key>"));
                return {};
            }
            const QString key = readText();
            if (!m_error.isEmpty())
                return {};
            if (!nextStartElement()) {
                setError(QStringLiteral("key \"%1\" has no value").arg(key.left(40)));
                return {};
            }
            QVariant value = readValue(depth + 1);
            if (!m_error.isEmpty())
                return {};
            map.insert(key, std::move(value));
        }
        return m_error.isEmpty() ? QVariant(map) : QVariant();
    }

    QVariant readArray(int depth)
    {
        QVariantList list;
        while (nextStartElement()) {
            QVariant value = readValue(depth + 1);
            if (!m_error.isEmpty())
                return {};
            list.append(std::move(value));
        }
        return m_error.isEmpty() ? QVariant(list) : QVariant();
    }

    void setError(const QString &why)
    {
        if (m_error.isEmpty())
            m_error = why;
    }

    PlistResult fail(const QString &why)
    {
        setError(m_xml.hasError() ? m_xml.errorString() : why);
        return PlistResult::failure(m_error);
    }

    QXmlStreamReader m_xml;
    QString m_error;
};

} // namespace

PlistResult parseXmlPropertyList(const QByteArray &bytes)
{
    return XmlPlistReader(bytes).read();
}

} // namespace vesk
