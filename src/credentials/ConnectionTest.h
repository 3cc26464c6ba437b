#pragma once

#include "credentials/TestResult.h"
#include "platform/HttpTransport.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>

namespace vesk::connectiontest {

inline constexpr std::chrono::milliseconds timeout{15000};

// "&", "<", ">", the double and the single quote as their XML entities.
QString escapeXml(const QString &text);

// The upload service's test document: the XML declaration, then a `data` element with
// account, code, client, locationid and keypw, one per line, indented by a tab.
QByteArray buildDocument(const QString &account, const QString &location, const QString &keyPassword);

// One form-data part named "datafile" holding `document` as data.xml, then the closing boundary.
QByteArray multipartBody(const QByteArray &document, const QByteArray &boundary);

// The POST to `url`, with a fresh boundary and the test's time-out.
HttpRequest buildRequest(const QUrl &url, const QByteArray &document);

// An http(s) URL with a host; anything else cannot carry the test.
bool isUsableUrl(const QUrl &url);

// What the service's answer (or the transport's failure) means for the credentials.
TestResult classify(const HttpResult &result);

} // namespace vesk::connectiontest
