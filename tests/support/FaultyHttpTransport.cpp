#include "FaultyHttpTransport.h"

#include <QFile>

namespace vesk::test {

const char *faultName(HttpFault fault)
{
    switch (fault) {
    case HttpFault::Refused:
        return "refused";
    case HttpFault::TimedOut:
        return "timed out";
    case HttpFault::ServerError:
        return "503";
    case HttpFault::Truncated:
        return "truncated body";
    }
    return "?";
}

QCoro::Task<HttpResult> FaultyHttpTransport::send(HttpRequest request)
{
    if (!m_fault || (!m_path.isEmpty() && request.url.path() != m_path)) {
        const HttpResult passed = co_await m_inner.send(std::move(request));
        co_return passed;
    }
    const HttpFault fault = *m_fault;
    ++m_faulted;
    switch (fault) {
    case HttpFault::Refused:
        co_return HttpResult::failure(QStringLiteral("Connection refused"));
    case HttpFault::TimedOut: {
        const bool waited = co_await m_clock.sleep(request.timeout);
        Q_UNUSED(waited)
        co_return HttpResult::failure(QStringLiteral("The request timed out."));
    }
    case HttpFault::ServerError:
        co_return HttpResult{HttpResponse{503, {{"Content-Type", "application/json"}},
                                          R"({"error":"Service temporarily unavailable"})"},
                             {}};
    case HttpFault::Truncated:
        break;
    }
    const QString responseFile = request.responseFile;
    HttpResult result = co_await m_inner.send(std::move(request));
    if (!result.ok())
        co_return result;
    HttpResponse &response = *result.response;
    response.body.truncate(response.body.size() / 2);
    if (!responseFile.isEmpty()) {
        QFile file(responseFile);
        if (file.exists())
            file.resize(file.size() / 2);
    }
    co_return result;
}

} // namespace vesk::test
