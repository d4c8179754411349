#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

class THTTPClient;

namespace net {

// A fetch's extra header lines ("Name: value", separated by "\r\n"), and the
// client's own values they stand in for while the fetch runs. Authorization is
// not among those kept: credentials never follow another host, so it only ever
// has to be taken away.
class HeaderLines
{
public:
    // False when a line is malformed (no name, a name that is no token, a
    // control character in the value) or names a header the exchange writes
    // itself (Host, Content-Length, Transfer-Encoding).
    bool parse(const QByteArray &lines);

    bool isEmpty() const { return m_lines.isEmpty(); }

    // The Content-Type the lines name, if they do: it belongs to the body, wherever that goes.
    std::optional<QByteArray> contentType() const;

    // Puts the lines on the client over its own values, kept for withdraw(): a
    // line naming one of the client's headers replaces it, the others go after
    // the client's OtherHeaders.
    void apply(THTTPClient &http);

    // Gives the client its own values back, without the credentials the lines brought.
    void withdraw(THTTPClient &http) const;

private:
    struct Line
    {
        QByteArray name, lower, value;
    };
    QList<Line> m_lines;
    QByteArray m_accept, m_from, m_userAgent, m_ifModifiedSince, m_referer, m_pragma, m_otherHeaders;
};

} // namespace net
