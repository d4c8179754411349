#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace checks {

// Decides a page's encoding the way a browser does and hands its bytes on as
// UTF-8, so that the HTML parser never picks an encoding of its own: a byte
// order mark first (UTF-8, UTF-16LE, UTF-16BE, UTF-32), then the charset of
// the Content-Type header, then a <meta charset> or <meta http-equiv> found in
// the page's first 1024 bytes, then UTF-16 or UTF-32 told by the zero bytes
// ASCII markup leaves in them. A UTF-8 page goes on as it came, without its
// byte order mark; a page that names no encoding is read as Latin-1, one byte
// one character, as the parser always read it. Labels the system's converter
// (iconv) does not know are passed over, as a browser passes them over.
//
// The page could not be read (failure() says why) when a <meta> names an
// encoding in which its own ASCII could not have been written (UTF-32,
// EBCDIC): the page contradicts itself; or when a page declared in such an
// encoding by its header or byte order mark holds bytes that are no text in
// it. In an ASCII-based encoding a bad byte reads as U+FFFD, as in a browser.
//
// Fed in slices of any size, the output is the same bytes.
class PageDecoder
{
public:
    PageDecoder();
    ~PageDecoder();
    PageDecoder(const PageDecoder &) = delete;
    PageDecoder &operator=(const PageDecoder &) = delete;

    // Starts a page; contentType is its Content-Type header ("" when none).
    void restart(QByteArrayView contentType);

    // The next piece of the page; returns the text to pass on, which may be
    // piece itself or lie in scratch, and stays valid until the next call.
    // When this piece sets failure(), the text before the failure; after, nothing.
    QByteArrayView feed(QByteArrayView piece, QByteArray &scratch);
    // The end of the page: the text still held back.
    QByteArrayView finish(QByteArray &scratch);

    // "" while the page reads; else "cannot read the page's encoding: <label>".
    const QString &failure() const { return m_failure; }
    // The encoding decided on, in lower case; "" until decided and for a page that names none.
    const QByteArray &encoding() const { return m_encoding; }

private:
    // The bytes the sniffing waits for before it decides.
    static constexpr qsizetype PrescanSize = 1024;

    // Where the page is in its reading.
    enum class State {
        Sniffing, // bytes held until the encoding is known
        PassOn,   // UTF-8: bytes go on unchanged
        Convert,  // bytes go through the converter
        Failed,   // failure() is set; nothing goes on
    };

    void decide(QByteArrayView start);
    // Decides on the bytes held and returns them decoded.
    QByteArrayView release(QByteArray &scratch, bool atEnd);
    // Tries label as the page's encoding; false when it names none the converter knows.
    bool choose(QByteArray label, bool fromMeta);
    void convert(QByteArrayView bytes, QByteArray &out, bool atEnd);
    void fail(const QByteArray &label);
    void closeConverter();

    State m_state = State::Sniffing;
    QByteArray m_headerCharset;
    QByteArray m_held;       // Sniffing: the page's first bytes
    qsizetype m_bomSize = 0; // bytes of the byte order mark, dropped before conversion
    QByteArray m_encoding;
    QByteArray m_carry;          // Convert: an incomplete sequence at the end of the last piece
    bool m_asciiBased = true;    // Convert: bad bytes read as U+FFFD rather than failing the page
    void *m_converter = nullptr; // iconv_t
    QString m_failure;
};

} // namespace checks
