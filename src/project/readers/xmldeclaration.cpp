#include "project/readers/xmldeclaration.h"

#include "project/readers/xmlbytes.h"
#include "project/readers/xmlname.h"

#include <algorithm>

namespace {

bool isBlank(char c)
{
    return XmlBytes::isBlank(uchar(c));
}

} // namespace

XmlDeclaration::Step XmlDeclaration::take(uchar c)
{
    if (c == '>' && m_held.endsWith('?')) {
        m_held.chop(1);
        return parse() ? Step::Done : Step::Fault;
    }
    if (m_held.size() == MaxBytes)
        return Step::Fault;
    m_held += char(c);
    return Step::More;
}

bool XmlDeclaration::parse()
{
    const QByteArrayView text(m_held);
    qsizetype at = 0;
    const auto blanks = [&] {
        const qsizetype from = at;
        while (at < text.size() && isBlank(text[at]))
            ++at;
        return at > from;
    };
    // The value of the pseudo-attribute `name` if it comes next; a null view if it does not, or is broken.
    bool broken = false;
    const auto pseudo = [&](QByteArrayView name) -> QByteArrayView {
        if (!text.sliced(at).startsWith(name))
            return {};
        at += name.size();
        blanks();
        if (at == text.size() || text[at] != '=')
            return broken = true, QByteArrayView();
        ++at;
        blanks();
        const qsizetype close =
            at < text.size() && (text[at] == '"' || text[at] == '\'') ? text.indexOf(text[at], at + 1) : -1;
        if (close < 0)
            return broken = true, QByteArrayView();
        const QByteArrayView value = text.sliced(at + 1, close - at - 1);
        at = close + 1;
        return value.isNull() ? QByteArrayView("", 0) : value;
    };
    blanks();
    const QByteArrayView version = pseudo("version");
    bool valid = !broken && version.size() >= 3 && version.startsWith("1.");
    for (const char c : version.sliced(std::min<qsizetype>(2, version.size())))
        valid = valid && c >= '0' && c <= '9';
    bool blank = blanks();
    const QByteArrayView encoding = blank ? pseudo("encoding") : QByteArrayView();
    if (!encoding.isNull()) {
        valid = valid && !encoding.isEmpty() && XmlName::StartByte[uchar(encoding[0])] && encoding[0] != '_' &&
                encoding[0] != ':';
        for (const char c : encoding)
            valid = valid && (XmlName::Byte[uchar(c)] || c == '-') && c != ':';
        blank = blanks();
    }
    const QByteArrayView standalone = blank ? pseudo("standalone") : QByteArrayView();
    if (!standalone.isNull()) {
        valid = valid && (standalone == "yes" || standalone == "no");
        blanks();
    }
    m_encoding = encoding;
    return valid && !broken && at == text.size();
}
