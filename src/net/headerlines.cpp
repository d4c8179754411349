#include "net/headerlines.h"

#include <algorithm>
#include <cstring>

#include "net/httpclient.h"

namespace net {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isTokenChar(char c)
{
    // strchr finds the terminating zero too: a NUL is no token character.
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) ||
           (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c));
}

QByteArray nameOf(const QByteArray &line)
{
    const qsizetype colon = line.indexOf(':');
    return (colon < 0 ? line : line.left(colon)).trimmed().toLower();
}

} // namespace

bool HeaderLines::parse(const QByteArray &lines)
{
    QByteArray rest = lines;
    if (rest.endsWith("\r\n"))
        rest.chop(2);
    if (rest.isEmpty())
        return true;
    qsizetype from = 0;
    for (;;) {
        const qsizetype end = rest.indexOf("\r\n", from);
        const QByteArray line = rest.mid(from, end < 0 ? -1 : end - from);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return false;
        const QByteArray name = line.left(colon);
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (!std::all_of(name.cbegin(), name.cend(), isTokenChar))
            return false;
        if (std::any_of(value.cbegin(), value.cend(),
                        [](char c) { return c != '\t' && (uchar(c) < 0x20 || c == 0x7F); }))
            return false;
        const QByteArray lower = name.toLower();
        if (lower == "host" || lower == "content-length" || lower == "transfer-encoding")
            return false;
        m_lines.append({name, lower, value});
        if (end < 0)
            return true;
        from = end + 2;
    }
}

std::optional<QByteArray> HeaderLines::contentType() const
{
    std::optional<QByteArray> type;
    for (const Line &line : m_lines)
        if (line.lower == "content-type")
            type = line.value;
    return type;
}

void HeaderLines::apply(THTTPClient &http)
{
    m_accept = http.Accept();
    m_from = http.From();
    m_userAgent = http.UserAgent();
    m_ifModifiedSince = http.IfModifiedSince();
    m_referer = http.Referer();
    m_pragma = http.Pragma();
    m_otherHeaders = http.OtherHeaders();

    QByteArray other;
    for (const QByteArray &own : m_otherHeaders.split('\n')) {
        const QByteArray name = nameOf(own);
        if (own.trimmed().isEmpty() ||
            std::any_of(m_lines.cbegin(), m_lines.cend(), [&](const Line &line) { return line.lower == name; }))
            continue;
        other += own + '\n';
    }
    for (const Line &line : m_lines) {
        if (line.lower == "authorization")
            http.setAuthorization(line.value);
        else if (line.lower == "accept")
            http.setAccept(line.value);
        else if (line.lower == "from")
            http.setFrom(line.value);
        else if (line.lower == "user-agent")
            http.setUserAgent(line.value);
        else if (line.lower == "if-modified-since")
            http.setIfModifiedSince(line.value);
        else if (line.lower == "referer")
            http.setReferer(line.value);
        else if (line.lower == "pragma")
            http.setPragma(line.value);
        else if (line.lower != "content-type")
            other += line.name + ": " + line.value + "\r\n";
    }
    http.setOtherHeaders(other);
}

void HeaderLines::withdraw(THTTPClient &http) const
{
    if (std::any_of(m_lines.cbegin(), m_lines.cend(), [](const Line &line) { return line.lower == "authorization"; }))
        http.setAuthorization(QByteArray());
    http.setAccept(m_accept);
    http.setFrom(m_from);
    http.setUserAgent(m_userAgent);
    http.setIfModifiedSince(m_ifModifiedSince);
    http.setReferer(m_referer);
    http.setPragma(m_pragma);
    http.setOtherHeaders(m_otherHeaders);
}

} // namespace net
