#include "net/httpclient.h"

#include <new>

namespace {

template <typename Assign> void outOfMemoryAs200(Assign assign)
{
    try {
        assign();
    } catch (const std::bad_alloc &) {
        throw ENetCore(net::Error::OutOfMemory);
    }
}

} // namespace

THTTPClient::THTTPClient(QObject *parent) : NetCore(parent), m_engine(*this)
{
    m_fields.UserAgent = defaultUserAgent();
}

THTTPClient::~THTTPClient() = default;

void THTTPClient::setURL(const QByteArray &url)
{
    outOfMemoryAs200([&] { m_fields.assignUrl(url); });
}

void THTTPClient::setUser(const QByteArray &user)
{
    outOfMemoryAs200([&] { m_fields.assignUser(user); });
}

void THTTPClient::setPassword(const QByteArray &password)
{
    outOfMemoryAs200([&] { m_fields.assignPassword(password); });
}

void THTTPClient::setPersistentConnection(bool on)
{
    m_fields.KeepAlive = on;
    if (!on)
        m_engine.dropKept();
}

void THTTPClient::setAction(THTTPActions action)
{
    m_statusLine.clear();
    switch (action) {
    case httpIdle:
        m_engine.interrupt();
        return;
    case httpResetHeaders:
        m_fields.resetHeaders();
        return;
    case httpGet:
        performRequest(QByteArrayLiteral("GET"));
        return;
    case httpHead:
        performRequest(QByteArrayLiteral("HEAD"));
        return;
    case httpPost:
        performRequest(QByteArrayLiteral("POST"));
        return;
    case httpPut:
        performRequest(QByteArrayLiteral("PUT"));
        return;
    }
}

void THTTPClient::performRequest(const QByteArray &method)
{
    // The exchange works on a copy: a handler that assigns properties while it
    // is pending prepares the next request, it does not change this one.
    const HttpRequestFields fields = m_fields;
    QByteArray statusLine;
    try {
        m_engine.perform(method, fields, &statusLine);
    } catch (const std::bad_alloc &) {
        m_statusLine = statusLine;
        throw ENetCore(net::Error::OutOfMemory);
    } catch (...) {
        m_statusLine = statusLine;
        throw;
    }
    m_statusLine = statusLine;
}
