#include "ScriptedHttpTransport.h"

#include <QFile>

#include <utility>

#include <gtest/gtest.h>

namespace vesk::test {

ScriptedHttpTransport::~ScriptedHttpTransport()
{
    EXPECT_TRUE(m_waiting.empty()) << m_waiting.size() << " held answer(s) never released";
    EXPECT_TRUE(m_script.empty()) << m_script.size() << " scripted request(s) never came, first: "
                                  << m_script.front().method.constData() << " "
                                  << m_script.front().path.toStdString();
}

ScriptedHttpTransport &ScriptedHttpTransport::expect(QByteArray method, QString path, int status, QByteArray body,
                                                     HttpHeaders headers)
{
    m_script.push_back({std::move(method), std::move(path),
                        HttpResult{HttpResponse{status, std::move(headers), std::move(body)}, {}}});
    return *this;
}

ScriptedHttpTransport &ScriptedHttpTransport::expectFailure(QByteArray method, QString path, QString error)
{
    m_script.push_back({std::move(method), std::move(path), HttpResult::failure(std::move(error))});
    return *this;
}

ScriptedHttpTransport &ScriptedHttpTransport::held()
{
    EXPECT_FALSE(m_script.empty()) << "held() needs a scripted exchange";
    if (!m_script.empty())
        m_script.back().held = true;
    return *this;
}

void ScriptedHttpTransport::releaseHeld()
{
    for (const std::coroutine_handle<> waiting : std::exchange(m_waiting, {}))
        waiting.resume();
}

void ScriptedHttpTransport::allowRepeated(QByteArray method, QString path, HttpResult result)
{
    m_repeated.push_back({std::move(method), std::move(path), std::move(result)});
}

namespace {

// Parks the request's coroutine with the transport until releaseHeld().
struct HeldAnswer {
    std::vector<std::coroutine_handle<>> &waiting;
    bool await_ready() const { return false; }
    void await_suspend(std::coroutine_handle<> handle) { waiting.push_back(handle); }
    void await_resume() const {}
};

// Transfers through files behave as the real transport's do: the recorded request holds the
// file's bytes, and a successful body lands in the response file.
HttpResult delivered(const HttpRequest &request, HttpResult result)
{
    // The real transport stops reading an in-memory body at the request's cap.
    if (request.responseFile.isEmpty() && result.ok() && result.response->body.size() > request.maxBodyBytes)
        return HttpResult::failure(QStringLiteral("The response was larger than the %1 MiB limit.")
                                       .arg(request.maxBodyBytes / (1024 * 1024)));
    if (request.responseFile.isEmpty() || !result.ok() || result.response->status < 200
        || result.response->status >= 300)
        return result;
    QFile file(request.responseFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(result.response->body) < 0)
        return HttpResult::failure(QStringLiteral("Couldn't save the response: ") + file.errorString());
    result.response->body.clear();
    return result;
}

} // namespace

QCoro::Task<HttpResult> ScriptedHttpTransport::send(HttpRequest request)
{
    if (!request.bodyFile.isEmpty()) {
        QFile file(request.bodyFile);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << "request body file missing: " << request.bodyFile.toStdString();
        request.body = file.readAll();
    }
    m_requests.push_back(request);
    const QString path = request.url.path();
    if (!m_script.empty() && m_script.front().method == request.method && m_script.front().path == path) {
        const Exchange exchange = m_script.front();
        m_script.pop_front();
        if (exchange.held)
            co_await HeldAnswer{m_waiting};
        co_return delivered(request, exchange.result);
    }
    for (const auto &exchange : m_repeated) {
        if (exchange.method == request.method && exchange.path == path)
            co_return delivered(request, exchange.result);
    }
    ADD_FAILURE() << "unexpected request " << request.method.constData() << " "
                  << request.url.toString().toStdString();
    co_return HttpResult::failure(QStringLiteral("unexpected request in test"));
}

} // namespace vesk::test
