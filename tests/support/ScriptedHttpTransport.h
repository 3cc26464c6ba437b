#pragma once

#include "platform/HttpTransport.h"

#include <coroutine>
#include <deque>
#include <functional>
#include <vector>

namespace vesk::test {

// An HTTP transport that answers from a script. Every request must match the next
// scripted exchange (method and URL path); anything else fails the test and gets
// a transport error, so a service that sends an unexpected request is caught.
class ScriptedHttpTransport final : public HttpTransport {
public:
    struct Exchange {
        QByteArray method;
        QString path;
        HttpResult result;
        bool held = false;
    };

    ~ScriptedHttpTransport() override;

    // Adds the answer for the next request with this method and URL path.
    ScriptedHttpTransport &expect(QByteArray method, QString path, int status, QByteArray body = {},
                                  HttpHeaders headers = {});
    ScriptedHttpTransport &expectFailure(QByteArray method, QString path, QString error);
    // Holds the answer of the exchange scripted last until releaseHeld(): its request counts
    // as sent, and the exchanges scripted after it answer meanwhile.
    ScriptedHttpTransport &held();
    // Delivers every held answer, in the order their requests came.
    void releaseHeld();
    std::size_t heldCount() const { return m_waiting.size(); }
    // Lets any number of requests to `path` through with the same answer.
    void allowRepeated(QByteArray method, QString path, HttpResult result);

    QCoro::Task<HttpResult> send(HttpRequest request) override;

    const std::vector<HttpRequest> &requests() const { return m_requests; }
    std::size_t pendingCount() const { return m_script.size(); }

private:
    std::deque<Exchange> m_script;
    std::vector<Exchange> m_repeated;
    std::vector<HttpRequest> m_requests;
    std::vector<std::coroutine_handle<>> m_waiting;
};

} // namespace vesk::test
