#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Decodes one reference of XML text or an attribute value, fed the bytes after
// its '&' one at a time: one of the five predefined entities (amp, lt, gt,
// quot, apos) or a character reference (&#N; or &#xN;) of a character XML
// allows. Any other entity is undeclared, as a document with a DOCTYPE that
// declares entities is refused before it gets here.
class XmlReference
{
public:
    enum class Step {
        More,  // the reference goes on
        Done,  // the byte was its ';': value() is the character
        Fault, // the reference is broken: fault() says how
    };

    Step take(uchar c);
    char32_t value() const { return m_value; }
    // value() in UTF-8; valid until the next take().
    QByteArrayView utf8();
    QString fault() const { return m_fault; }
    // The fault concerns the reference as a whole, so it is best shown at its
    // '&'; otherwise at the byte just taken.
    bool faultsWhole() const { return m_faultsWhole; }

private:
    enum class State : quint8 {
        Start,    // nothing after '&' yet: '#' or an entity name follows
        Name,     // inside an entity name, up to ';'
        Number,   // after "&#": 'x' or a decimal digit follows
        HexFirst, // after "&#x": a hexadecimal digit must follow
        Hex,      // inside a hexadecimal character reference, up to ';'
        Decimal,  // inside a decimal character reference, up to ';'
    };
    static constexpr int MaxName = 32; // longer names are none of the five predefined ones

    Step fail(const QString &message, bool whole);

    State m_state = State::Start;
    char32_t m_value = 0;
    QByteArray m_name; // the first MaxName bytes of the entity name
    int m_nameLength = 0;
    char m_utf8[4] = {};
    QString m_fault;
    bool m_faultsWhole = false;
};
