#include "net/urlcodec.h"

#include "net/hexdigit.h"

#include <new>

using net::hexDigitValue;

namespace {

bool keptAsIs(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

QByteArray TURLCodec::failed(const QString &operation, const QString &message) const
{
    if (OnError)
        OnError(const_cast<TURLCodec *>(this), operation, message);
    return m_input;
}

QByteArray TURLCodec::Encode() const
{
    static const char digits[] = "0123456789ABCDEF";
    try {
        QByteArray out;
        out.reserve(m_input.size() * 3);
        for (char byte : m_input) {
            const auto c = static_cast<unsigned char>(byte);
            if (c == ' ') {
                out += '+';
            } else if (keptAsIs(c)) {
                out += byte;
            } else {
                out += '%';
                out += digits[c >> 4];
                out += digits[c & 0x0F];
            }
        }
        return out;
    } catch (const std::bad_alloc &) {
        return failed(QStringLiteral("Error during encode"), QStringLiteral("Out of memory."));
    }
}

QByteArray TURLCodec::Decode() const
{
    try {
        QByteArray out;
        out.reserve(m_input.size());
        const qsizetype size = m_input.size();
        for (qsizetype i = 0; i < size; ++i) {
            const char c = m_input.at(i);
            if (c == '+') {
                out += ' ';
            } else if (c != '%') {
                out += c;
            } else {
                const int high = i + 1 < size ? hexDigitValue(m_input.at(i + 1)) : -1;
                if (high < 0)
                    return failed(QStringLiteral("Error during decode"),
                                  QStringLiteral("'%1' is not a valid hexadecimal escape at position %2.")
                                      .arg(QString::fromLatin1(m_input.mid(i, 3)))
                                      .arg(i + 1));
                if (i + 2 == size) {
                    out += static_cast<char>(high);
                    ++i;
                    continue;
                }
                const int low = hexDigitValue(m_input.at(i + 2));
                if (low < 0)
                    return failed(QStringLiteral("Error during decode"),
                                  QStringLiteral("'%1' is not a valid hexadecimal escape at position %2.")
                                      .arg(QString::fromLatin1(m_input.mid(i, 3)))
                                      .arg(i + 1));
                out += static_cast<char>(high * 16 + low);
                i += 2;
            }
        }
        return out;
    } catch (const std::bad_alloc &) {
        return failed(QStringLiteral("Error during decode"), QStringLiteral("Out of memory."));
    }
}
