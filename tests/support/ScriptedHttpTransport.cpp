#include "ScriptedHttpTransport.h"

#include <gtest/gtest.h>

namespace vesk::test {

ScriptedHttpTransport::~ScriptedHttpTransport()
{
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

void ScriptedHttpTransport::allowRepeated(QByteArray method, QString path, HttpResult result)
{
    m_repeated.push_back({std::move(method), std::move(path), std::move(result)});
}

QCoro::Task<HttpResult> ScriptedHttpTransport::send(HttpRequest request)
{
    m_requests.push_back(request);
    const QString path = request.url.path();
    if (!m_script.empty() && m_script.front().method == request.method && m_script.front().path == path) {
        HttpResult result = m_script.front().result;
        m_script.pop_front();
        co_return result;
    }
    for (const auto &exchange : m_repeated) {
        if (exchange.method == request.method && exchange.path == path)
            co_return exchange.result;
    }
    ADD_FAILURE() << "unexpected request " << request.method.constData() << " "
                  << request.url.toString().toStdString();
    co_return HttpResult::failure(QStringLiteral("unexpected request in test"));
}

} // namespace vesk::test
