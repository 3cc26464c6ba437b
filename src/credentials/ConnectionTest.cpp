#include "credentials/ConnectionTest.h"

#include <QUuid>

namespace vesk::connectiontest {

QString escapeXml(const QString &text)
{
    QString escaped = text.toHtmlEscaped(); // &, <, > and "
    escaped.replace(QLatin1Char('\''), QLatin1String("&apos;"));
    return escaped;
}

QByteArray buildDocument(const QString &account, const QString &location, const QString &keyPassword)
{
    const QString document = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
                                            "<data>\n"
                                            "\t<account>%1</account>\n"
                                            "\t<code>TEST_CONNECTION</code>\n"
                                            "\t<client>TEST</client>\n"
                                            "\t<locationid>%2</locationid>\n"
                                            "\t<keypw>%3</keypw>\n"
                                            "</data>")
                                 .arg(escapeXml(account), escapeXml(location), keyPassword);
    return document.toUtf8();
}

QByteArray multipartBody(const QByteArray &document, const QByteArray &boundary)
{
    QByteArray body;
    body += "--" + boundary + "\r\n";
    body += "Content-Disposition: form-data; name=\"datafile\"; filename=\"data.xml\"\r\n";
    body += "Content-Type: text/xml\r\n";
    body += "\r\n";
    body += document;
    body += "\r\n--" + boundary + "--\r\n";
    return body;
}

HttpRequest buildRequest(const QUrl &url, const QByteArray &document)
{
    const QByteArray boundary = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toLatin1();
    HttpRequest request;
    request.method = "POST";
    request.url = url;
    request.headers = {{"Content-Type", "multipart/form-data; boundary=" + boundary}};
    request.body = multipartBody(document, boundary);
    request.timeout = timeout;
    return request;
}

bool isUsableUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("https") || scheme == QLatin1String("http"))
        && !url.host().isEmpty();
}

TestResult classify(const HttpResult &result)
{
    if (!result.ok()) {
        // The transport reports its time-out only as text ("The request timed out.").
        if (result.error.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
            return TestResult::failed(QStringLiteral("Connection timed out"));
        return TestResult::failed(result.error);
    }
    const QString body = QString::fromUtf8(result.response->body).toLower();
    for (const char *denial : {"invalid account", "unauthorized", "access denied", "invalid login"}) {
        if (body.contains(QLatin1String(denial)))
            return TestResult::failed(QStringLiteral("Invalid credentials"));
    }
    if (body.contains(QLatin1String("<result>")) || body.contains(QLatin1String("<?xml")))
        return TestResult::passed();
    return TestResult::failed(QStringLiteral("Unexpected response"));
}

} // namespace vesk::connectiontest
