#include "net/httpresponse.h"

#include <QList>
#include <algorithm>
#include <cstring>

namespace {

// The comma-separated tokens of a header value, trimmed and in lower case.
QList<QByteArray> tokens(const QByteArray &value)
{
    QList<QByteArray> list;
    for (const QByteArray &token : value.split(','))
        list << token.trimmed().toLower();
    return list;
}

// A Content-Length value, -1 when it is none (or names more than any body could hold).
qint64 lengthOf(const QByteArray &value)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty() || text.size() > 18)
        return -1;
    qint64 length = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        length = length * 10 + (c - '0');
    }
    return length;
}

int statusCode(const QByteArray &statusLine)
{
    const QByteArray code = HttpResponseParser::statusText(statusLine).left(3);
    bool ok = false;
    const int value = code.size() == 3 ? code.toInt(&ok) : -1;
    return ok ? value : -1;
}

} // namespace

HttpResponseParser::HttpResponseParser(HttpResponseSink &sink)
    : m_sink(sink), m_chunks([this](const char *data, int len) { takeBody(data, len); })
{}

void HttpResponseParser::reset()
{
    m_state = State::StatusLine;
    m_statusLine.clear();
    m_blankLines = 0;
    m_bodyCount = 0;
    m_consumed = 0;
    m_framed = false;
    m_bodiless = false;
    m_contentLength.clear();
    m_lengthConflict = false;
    m_transferEncoding.clear();
    m_connection.clear();
    m_remaining = 0;
    m_keepAlive = false;
    m_excess = false;
    m_chunks.reset();
}

void HttpResponseParser::setFramed(bool bodiless)
{
    m_framed = true;
    m_bodiless = bodiless;
}

void HttpResponseParser::feed(const char *data, int len)
{
    m_consumed += len;
    switch (m_state) {
    case State::StatusLine: {
        if (len == 0 && m_blankLines < maxBlankLinesBeforeStatus) {
            ++m_blankLines;
            return;
        }
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
            startBody();
        } else {
            QByteArray field;
            QByteArray value;
            splitHeader(data, len, &field, &value);
            if (m_framed)
                noteFraming(field, value);
            m_sink.header(field, value);
        }
        return;
    case State::Body:
        takeBody(data, len);
        return;
    case State::LengthBody: {
        const int n = static_cast<int>(std::min<qint64>(m_remaining, len));
        m_remaining -= n;
        takeBody(data, n);
        m_excess = n < len;
        if (m_remaining == 0)
            endAnswer();
        return;
    }
    case State::ChunkedBody: {
        const int taken = m_chunks.feed(data, len);
        if (m_chunks.failed()) {
            m_state = State::Failed;
            m_sink.framingFailed(m_chunks.failure());
        } else if (m_chunks.done()) {
            m_excess = taken < len;
            endAnswer();
        }
        return;
    }
    case State::Complete:
        // A server that sends past its answer cannot be trusted with the next one.
        m_excess = m_excess || len > 0;
        return;
    case State::Failed:
        return;
    }
}

void HttpResponseParser::noteFraming(const QByteArray &field, const QByteArray &value)
{
    const QByteArray name = field.trimmed().toLower();
    // Repeated fields are one comma-separated list.
    const auto add = [&value](QByteArray &list) { list = list.isEmpty() ? value : list + ',' + value; };
    if (name == "content-length") {
        // A second, different length makes it no length at all.
        if (!m_contentLength.isEmpty() && m_contentLength.trimmed() != value.trimmed())
            m_lengthConflict = true;
        m_contentLength = value;
    } else if (name == "transfer-encoding") {
        add(m_transferEncoding);
    } else if (name == "connection") {
        add(m_connection);
    }
}

void HttpResponseParser::startBody()
{
    m_state = State::Body;
    if (m_framed) {
        const QList<QByteArray> connection = tokens(m_connection);
        const bool oldVersion = !m_statusLine.startsWith("HTTP/1.") || m_statusLine.startsWith("HTTP/1.0");
        m_keepAlive = m_statusLine.startsWith("HTTP/") &&
                      (oldVersion ? connection.contains("keep-alive") : !connection.contains("close"));
        const int code = statusCode(m_statusLine);
        const QList<QByteArray> codings = tokens(m_transferEncoding);
        const qint64 length = m_lengthConflict ? -1 : lengthOf(m_contentLength);
        if (m_bodiless || code == 204 || code == 304 || (code >= 100 && code < 200)) {
            m_state = State::Complete;
        } else if (!m_transferEncoding.isEmpty()) {
            // Chunked must be the last coding; any other ends the body by the close.
            if (codings.last() == "chunked")
                m_state = State::ChunkedBody;
        } else if (length == 0) {
            m_state = State::Complete;
        } else if (length > 0) {
            m_remaining = length;
            m_state = State::LengthBody;
        }
        // The server ends the body by closing: the connection cannot be used again.
        if (m_state == State::Body)
            m_keepAlive = false;
    }
    m_sink.startTransfer();
    if (m_state == State::Complete)
        m_sink.answerEnded();
}

void HttpResponseParser::takeBody(const char *data, int len)
{
    if (len <= 0)
        return;
    m_bodyCount += len;
    m_sink.body(data, len, m_bodyCount);
}

void HttpResponseParser::endAnswer()
{
    m_state = State::Complete;
    m_sink.answerEnded();
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
