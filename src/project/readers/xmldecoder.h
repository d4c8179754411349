#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Turns the bytes of an XML document into UTF-8 as they arrive, so that the
// parser above reads one encoding only.
//
// The first bytes decide: a UTF-8 byte order mark, or none, means UTF-8 until
// the XML declaration names another encoding; a UTF-16 byte order mark, or the
// bytes "<\0" or "\0<" that the declaration begins with, mean UTF-16 of that
// byte order. Then declare() may switch to a single-byte encoding
// (ISO-8859-1, US-ASCII, windows-1252). A byte or unit that is no character in
// the encoding comes out as the byte 0xFF, which is never valid UTF-8, so the
// parser reports it where it stands.
class XmlDecoder
{
public:
    // The UTF-8 of the next bytes: a view of `bytes` itself when they are
    // UTF-8, else of a buffer valid until the next call. Takes at most Piece
    // bytes and sets *taken to the number taken (0 when only bytes held while
    // sniffing come out). Never empty while bytes are given, unless sniffing
    // holds them.
    static constexpr qsizetype Piece = 64 * 1024;
    QByteArrayView decode(QByteArrayView bytes, qsizetype *taken);
    // The input ended: what was held (bytes too few to sniff, half a UTF-16
    // unit or pair) comes out, the latter as 0xFF.
    QByteArrayView finish();

    // The declaration named `name`. Returns "" when the bytes that follow are
    // read in it (the encoding may change), else the message of the fault: an
    // encoding this reader does not know, or one the first bytes contradict.
    QString declare(QByteArrayView name);
    // The encoding is UTF-8, so decode() passes bytes through unchanged.
    bool passesThrough() const { return m_form == Form::Utf8; }

private:
    enum class Form {
        Sniff,      // fewer bytes seen than tell the encoding, held in m_held
        Utf8,       // bytes pass through
        Utf16Le,    // two bytes a unit, low byte first
        Utf16Be,    // two bytes a unit, high byte first
        SingleByte, // one byte a character, through m_upper for bytes over 0x7F
    };

    void sniff();
    void utf16(QByteArrayView bytes);
    void singleByte(QByteArrayView bytes);
    void put(char32_t c);

    Form m_form = Form::Sniff;
    bool m_hadBom = false;
    const char16_t *m_upper = nullptr; // characters of bytes 0x80..0xFF; 0 for none
    QByteArray m_held;                 // sniffed bytes, or the first byte of a UTF-16 unit
    char16_t m_high = 0;               // a high surrogate waiting for its low half
    QByteArray m_out;
};
