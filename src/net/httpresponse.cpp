#include "net/httpresponse.h"

#include <algorithm>
#include <cstring>

void HttpResponseParser::reset()
{
    m_state = State::StatusLine;
    m_statusLine.clear();
    m_bodyCount = 0;
    m_consumed = 0;
}

void HttpResponseParser::feed(const char *data, int len)
{
    m_consumed += len;
    switch (m_state) {
    case State::StatusLine: {
        const QByteArray line(data, std::min(len, maxStatusLine));
        if (isInterim(line)) {
            m_state = State::InterimHeaders;
            return;
        }
        m_statusLine = line;
        m_state = State::Headers;
        return;
    }
    case State::InterimHeaders:
        if (len == 0)
            m_state = State::StatusLine;
        return;
    case State::Headers:
        if (len == 0) {
            m_state = State::Body;
            m_sink.startTransfer();
        } else {
            QByteArray field;
            QByteArray value;
            splitHeader(data, len, &field, &value);
            m_sink.header(field, value);
        }
        return;
    case State::Body:
        m_bodyCount += len;
        m_sink.body(data, len, m_bodyCount);
        return;
    }
}

QByteArray HttpResponseParser::statusText(const QByteArray &statusLine)
{
    const qsizetype blank = statusLine.indexOf(' ');
    return blank < 0 ? QByteArray() : statusLine.mid(blank + 1);
}

bool HttpResponseParser::isInterim(const QByteArray &statusLine)
{
    return statusLine.startsWith("HTTP/") && statusText(statusLine).startsWith('1');
}

void HttpResponseParser::splitHeader(const char *data, int len, QByteArray *field, QByteArray *value)
{
    if (len > 0 && static_cast<unsigned char>(data[0]) <= 0x20) {
        *field = QByteArray("");
        *value = QByteArray(data + 1, len - 1);
        return;
    }
    const void *colon = len > 0 ? std::memchr(data, ':', static_cast<size_t>(len)) : nullptr;
    if (colon == nullptr) {
        *field = QByteArray(data, len);
        *value = QByteArray("");
        return;
    }
    const int at = static_cast<int>(static_cast<const char *>(colon) - data);
    *field = QByteArray(data, at);
    int from = at + 1;
    if (from < len && data[from] == ' ')
        ++from;
    *value = QByteArray(data + from, len - from);
}
