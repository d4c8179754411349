#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Converts text to and from the encoding of form data and query strings, byte
// by byte, knowing no character sets. Each read converts the current
// InputString afresh and never throws: a conversion that fails fires OnError
// and yields InputString unchanged.
class TURLCodec
{
public:
    void setInputString(const QByteArray &input) { m_input = input; }
    QByteArray InputString() const { return m_input; }

    // Blank -> "+", ASCII letters and digits as they are, every other byte
    // "%XX" with upper-case hex digits. Any length of input.
    QByteArray Encode() const;
    // "+" -> blank, "%XX" -> that byte (either case; "%X" at the very end is a
    // one-digit value), every other byte as it is. A "%" not followed by a hex
    // digit fails the conversion (OnError "Error during decode").
    QByteArray Decode() const;

    std::function<void(TURLCodec *Sender, const QString &Operation, const QString &ErrMsg)> OnError;

private:
    QByteArray failed(const QString &operation, const QString &message) const;

    QByteArray m_input;
};
