#include "net/chunkeddecoder.h"

#include "net/hexdigit.h"

#include <algorithm>

using net::hexDigitValue;

namespace {

// Fifteen hex digits already pass any body a page could have; more would overflow.
constexpr int maxSizeDigits = 15;

} // namespace

void ChunkedDecoder::reset()
{
    m_state = State::Size;
    m_remaining = 0;
    m_digits = 0;
    m_failure.clear();
}

void ChunkedDecoder::fail(const char *why)
{
    m_state = State::Failed;
    m_failure = QString::fromLatin1(why);
}

int ChunkedDecoder::feed(const char *data, int len)
{
    int at = 0;
    while (at < len && m_state != State::Done && m_state != State::Failed) {
        if (m_state == State::Data) {
            const int n = static_cast<int>(std::min<qint64>(m_remaining, len - at));
            m_output(data + at, n);
            at += n;
            m_remaining -= n;
            if (m_remaining == 0)
                m_state = State::DataCR;
            continue;
        }
        const char c = data[at++];
        switch (m_state) {
        case State::Size: {
            const int digit = hexDigitValue(c);
            if (digit >= 0) {
                if (++m_digits > maxSizeDigits)
                    fail("chunk size too large");
                else
                    m_remaining = m_remaining * 16 + digit;
            } else if (m_digits == 0) {
                fail("chunk size is no hex number");
            } else if (c == ';' || c == ' ' || c == '\t') {
                m_state = State::Extension;
            } else if (c == '\r') {
                m_state = State::SizeLF;
            } else {
                fail("chunk size is no hex number");
            }
            break;
        }
        case State::Extension:
            if (c == '\r')
                m_state = State::SizeLF;
            break;
        case State::SizeLF:
            if (c != '\n')
                fail("chunk size line without its line end");
            else if (m_remaining == 0)
                m_state = State::Trailer;
            else
                m_state = State::Data;
            break;
        case State::DataCR:
            if (c == '\r')
                m_state = State::DataLF;
            else
                fail("chunk data longer than its size");
            break;
        case State::DataLF:
            if (c != '\n') {
                fail("chunk data without its line end");
            } else {
                m_state = State::Size;
                m_digits = 0;
            }
            break;
        case State::Trailer:
            m_state = c == '\r' ? State::EndLF : State::TrailerLine;
            break;
        case State::TrailerLine:
            if (c == '\r')
                m_state = State::TrailerLF;
            break;
        case State::TrailerLF:
            if (c == '\n')
                m_state = State::Trailer;
            else
                fail("trailer line without its line end");
            break;
        case State::EndLF:
            if (c == '\n')
                m_state = State::Done;
            else
                fail("last chunk without its empty line");
            break;
        case State::Data:
        case State::Done:
        case State::Failed:
            break;
        }
    }
    return at;
}
