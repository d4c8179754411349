#include "checks/charsetprescan.h"

#include "checks/htmlchars.h"

namespace checks {

namespace {

// One attribute of a tag in the prescan, from at; at is left after it.
struct PrescanAttribute
{
    QByteArray name, value;
    bool found = false;
};

PrescanAttribute nextAttribute(QByteArrayView text, qsizetype &at)
{
    PrescanAttribute attribute;
    while (at < text.size() && (isHtmlBlank(text[at]) || text[at] == '/'))
        ++at;
    if (at >= text.size() || text[at] == '>')
        return attribute;
    const qsizetype nameStart = at;
    while (at < text.size() && !isHtmlBlank(text[at]) && text[at] != '/' && text[at] != '>' &&
           (text[at] != '=' || at == nameStart))
        ++at;
    attribute.name = text.sliced(nameStart, at - nameStart).toByteArray().toLower();
    attribute.found = true;
    while (at < text.size() && isHtmlBlank(text[at]))
        ++at;
    if (at >= text.size() || text[at] != '=')
        return attribute;
    ++at;
    while (at < text.size() && isHtmlBlank(text[at]))
        ++at;
    if (at >= text.size())
        return attribute;
    if (text[at] == '"' || text[at] == '\'') {
        const char quote = text[at++];
        const qsizetype end = text.indexOf(quote, at);
        const qsizetype stop = end < 0 ? text.size() : end;
        attribute.value = text.sliced(at, stop - at).toByteArray();
        at = end < 0 ? stop : stop + 1;
        return attribute;
    }
    const qsizetype valueStart = at;
    while (at < text.size() && !isHtmlBlank(text[at]) && text[at] != '>')
        ++at;
    attribute.value = text.sliced(valueStart, at - valueStart).toByteArray();
    return attribute;
}

// The charset a <meta content="text/html; charset=..."> names, "" when none.
QByteArray charsetInContent(QByteArrayView content)
{
    const QByteArray lower = content.toByteArray().toLower();
    qsizetype at = 0;
    for (;;) {
        at = lower.indexOf("charset", at);
        if (at < 0)
            return {};
        at += 7;
        while (at < lower.size() && isHtmlBlank(lower[at]))
            ++at;
        if (at < lower.size() && lower[at] == '=')
            break;
    }
    ++at;
    while (at < lower.size() && isHtmlBlank(lower[at]))
        ++at;
    if (at < lower.size() && (lower[at] == '"' || lower[at] == '\'')) {
        const qsizetype end = lower.indexOf(lower[at], at + 1);
        return end < 0 ? QByteArray() : lower.mid(at + 1, end - at - 1);
    }
    qsizetype end = at;
    while (end < lower.size() && !isHtmlBlank(lower[end]) && lower[end] != ';')
        ++end;
    return lower.mid(at, end - at);
}

} // namespace

QByteArray charsetOf(QByteArrayView contentType)
{
    const QByteArray type = contentType.toByteArray().toLower();
    qsizetype semicolon = type.indexOf(';');
    while (semicolon >= 0) {
        const qsizetype next = type.indexOf(';', semicolon + 1);
        const QByteArray parameter = type.mid(semicolon + 1, next < 0 ? -1 : next - semicolon - 1).trimmed();
        if (parameter.startsWith("charset") && parameter.mid(7).trimmed().startsWith('=')) {
            QByteArray value = parameter.mid(parameter.indexOf('=') + 1).trimmed();
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            return value.trimmed();
        }
        semicolon = next;
    }
    return {};
}

QByteArray prescanCharset(QByteArrayView start, const std::function<bool(const QByteArray &)> &known)
{
    qsizetype at = 0;
    while (at < start.size()) {
        const QByteArrayView rest = start.sliced(at);
        if (rest.startsWith("<!--")) {
            // "<!-->" is a whole comment, as browsers read it.
            const qsizetype end = start.indexOf("-->", at + 2);
            at = end < 0 ? start.size() : end + 3;
            continue;
        }
        if (rest.size() >= 6 && rest.first(5).compare("<meta", Qt::CaseInsensitive) == 0 &&
            (isHtmlBlank(rest[5]) || rest[5] == '/')) {
            at += 5;
            QByteArray httpEquiv, content, charset;
            bool haveHttpEquiv = false, haveContent = false, haveCharset = false;
            for (PrescanAttribute attribute = nextAttribute(start, at); attribute.found;
                 attribute = nextAttribute(start, at)) {
                // The first of each name counts, as in a browser.
                if (attribute.name == "http-equiv" && !haveHttpEquiv) {
                    haveHttpEquiv = true;
                    httpEquiv = attribute.value.trimmed().toLower();
                } else if (attribute.name == "content" && !haveContent) {
                    haveContent = true;
                    content = attribute.value;
                } else if (attribute.name == "charset" && !haveCharset) {
                    haveCharset = true;
                    charset = attribute.value;
                }
            }
            QByteArray label = haveCharset ? charset : QByteArray();
            if (!haveCharset && haveContent && httpEquiv == "content-type")
                label = charsetInContent(content);
            label = label.trimmed().toLower();
            if (!label.isEmpty() && known(label))
                return label;
            continue;
        }
        if (rest.size() >= 2 && rest[0] == '<' &&
            (isAsciiLetter(rest[1]) || (rest[1] == '/' && rest.size() >= 3 && isAsciiLetter(rest[2])))) {
            // Any other tag: its attributes are passed over whole, quoted '>' and all.
            at += 2;
            while (at < start.size() && !isHtmlBlank(start[at]) && start[at] != '>')
                ++at;
            while (nextAttribute(start, at).found) {
            }
            continue;
        }
        if (rest.startsWith("<!") || rest.startsWith("</") || rest.startsWith("<?")) {
            const qsizetype end = start.indexOf('>', at);
            at = end < 0 ? start.size() : end + 1;
            continue;
        }
        ++at;
    }
    return {};
}

} // namespace checks
