#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Reads the XML declaration, from after "<?xml" and its blank to the closing
// "?>", fed one byte at a time, and checks it: version, then optionally
// encoding and standalone, each `name = "value"` or with single quotes. Holds
// at most MaxBytes of it.
class XmlDeclaration
{
public:
    enum class Step {
        More,  // the declaration goes on
        Done,  // the byte was the '>' of "?>" and the declaration is sound: encoding() is what it names
        Fault, // the declaration is too long or broken: fault() says how
    };
    static constexpr int MaxBytes = 256;

    Step take(uchar c);
    // The encoding declared, a null view when none; valid until the next take().
    QByteArrayView encoding() const { return m_encoding; }
    QString fault() const { return QStringLiteral("Invalid XML declaration."); }

private:
    // Parses m_held; false when it is no valid declaration.
    bool parse();

    QByteArray m_held;
    QByteArrayView m_encoding;
};
