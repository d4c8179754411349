#include "checks/robotstxt.h"

#include "net/hexdigit.h"

#include <QUrl>
#include <vector>

namespace checks {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && isBlank(text.at(from)))
        ++from;
    while (to > from && isBlank(text.at(to - 1)))
        --to;
    return text.sliced(from, to - from);
}

bool isUnreserved(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

void appendEscape(QByteArray &out, unsigned char c)
{
    static const char digits[] = "0123456789ABCDEF";
    out += '%';
    out += digits[c >> 4];
    out += digits[c & 15];
}

QByteArray absoluteWebAddress(QByteArrayView value)
{
    const QUrl url = QUrl::fromEncoded(value.toByteArray(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url.toEncoded();
}

} // namespace

RobotsTxt::Rule RobotsTxt::ruleOf(QByteArrayView value, bool allow)
{
    Rule rule;
    const QByteArray written = canonicalOctets(value);
    rule.length = written.size();
    rule.allow = allow;
    // A run of stars matches what one star does, at a cost per star: a file of
    // stars must not make every path's check slow.
    rule.pattern.reserve(written.size());
    for (qsizetype i = 0; i < written.size(); ++i) {
        const char c = written.at(i);
        if (c == '*' && rule.pattern.endsWith('*'))
            continue;
        rule.pattern += c;
        if (c != '*' && !(c == '$' && i == written.size() - 1))
            ++rule.literals;
    }
    return rule;
}

QByteArray RobotsTxt::canonicalOctets(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text.at(i));
        if (c == '%' && i + 2 < text.size() && net::hexDigitValue(text.at(i + 1)) >= 0 &&
            net::hexDigitValue(text.at(i + 2)) >= 0) {
            const auto decoded = static_cast<unsigned char>(net::hexDigitValue(text.at(i + 1)) * 16 +
                                                            net::hexDigitValue(text.at(i + 2)));
            if (isUnreserved(decoded))
                out += char(decoded);
            else
                appendEscape(out, decoded);
            i += 2;
        } else if (c <= 0x20 || c >= 0x7F) {
            appendEscape(out, c);
        } else {
            out += char(c);
        }
    }
    return out;
}

RobotsTxt RobotsTxt::disallowAll()
{
    RobotsTxt robots;
    robots.m_disallowAll = true;
    return robots;
}

RobotsTxt RobotsTxt::parse(QByteArrayView text)
{
    RobotsTxt robots;
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    bool cut = false;
    if (text.size() > maxBytes) {
        text = text.first(maxBytes);
        cut = true;
    }
    bool inAgentLines = false; // the last field line was a user-agent line
    bool groupApplies = false; // the group open now names "*"
    bool inGroup = false;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = at;
        while (end < text.size() && text.at(end) != '\n' && text.at(end) != '\r')
            ++end;
        if (end == text.size() && cut)
            break;
        QByteArrayView line = text.sliced(at, end - at);
        at = end;
        if (at < text.size() && text.at(at++) == '\r' && at < text.size() && text.at(at) == '\n')
            ++at;

        const qsizetype hash = line.indexOf('#');
        if (hash >= 0)
            line = line.first(hash);
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray field = trimmed(line.first(colon)).toByteArray().toLower();
        const QByteArrayView value = trimmed(line.sliced(colon + 1));
        if (field == "user-agent") {
            if (!inAgentLines)
                groupApplies = false;
            inAgentLines = true;
            inGroup = true;
            if (value == "*")
                groupApplies = true;
        } else if (field == "allow" || field == "disallow") {
            inAgentLines = false;
            if (inGroup && groupApplies && !value.isEmpty())
                robots.m_rules.append(ruleOf(value, field == "allow"));
        } else if (field == "sitemap") {
            const QByteArray address = absoluteWebAddress(value);
            if (!address.isEmpty() && !robots.m_sitemaps.contains(address))
                robots.m_sitemaps.append(address);
        } else {
            // Other records (crawl-delay, host, ...) end a run of user-agent lines like a rule does.
            inAgentLines = false;
        }
    }
    return robots;
}

bool RobotsTxt::matches(QByteArrayView pattern, QByteArrayView path)
{
    bool anchored = false;
    if (pattern.endsWith('$')) {
        pattern.chop(1);
        anchored = true;
    }
    // Which prefixes of the path the pattern read so far can end at, one flag
    // per length: linear in the path for every pattern byte, so a hostile
    // file of stars costs time in proportion to its size, never more.
    std::vector<char> reach(size_t(path.size()) + 1, 0);
    reach[0] = 1;
    for (const char p : pattern) {
        if (p == '*') {
            bool any = false;
            for (size_t i = 0; i < reach.size(); ++i) {
                any = any || reach[i];
                reach[i] = any;
            }
            continue;
        }
        bool any = false;
        for (size_t i = reach.size() - 1; i > 0; --i) {
            reach[i] = reach[i - 1] && path.at(qsizetype(i - 1)) == p;
            any = any || reach[i];
        }
        reach[0] = 0;
        if (!any)
            return false;
    }
    if (anchored)
        return reach.back() != 0;
    for (const char r : reach)
        if (r)
            return true;
    return false;
}

bool RobotsTxt::allows(QByteArrayView pathAndQuery) const
{
    const QByteArray path = canonicalOctets(pathAndQuery.isEmpty() ? QByteArrayView("/") : pathAndQuery);
    if (path == "/robots.txt")
        return true;
    if (m_disallowAll)
        return false;
    qsizetype best = -1;
    bool allowed = true;
    for (const Rule &rule : m_rules) {
        const qsizetype length = rule.length;
        if (length < best || (length == best && allowed) || rule.literals > path.size())
            continue;
        if (!matches(rule.pattern, path))
            continue;
        if (length > best)
            allowed = rule.allow;
        else
            allowed = allowed || rule.allow;
        best = length;
    }
    return allowed;
}

} // namespace checks
