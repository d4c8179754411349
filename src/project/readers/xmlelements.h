#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <array>
#include <vector>

// The namespace an element is in, as XmlScanner reports it.
enum class XmlSpace {
    None,  // no namespace
    Known, // the namespace the scanner was told to recognise
    Other, // any other namespace
};

// The open elements of an XML document and the start tag being read: their
// names, the attributes of the tag (each name once), and the namespace
// prefixes in scope. XmlScanner feeds it the bytes of names and of xmlns
// values as it reads them; this class judges them.
//
// What it holds is bounded whatever the document: at most MaxDepth open
// elements with names of at most XmlScanner::MaxNameBytes, MaxAttributes names
// of one tag, MaxBindings prefixes in scope. Checking an attribute's name costs
// the same however many the tag has.
class XmlElements
{
public:
    static constexpr int MaxDepth = 256;
    static constexpr int MaxAttributes = 256;
    static constexpr int MaxBindings = 256;

    explicit XmlElements(QByteArrayView knownNamespace);

    bool isEmpty() const { return m_frames.empty(); }
    // A start tag begins; false when MaxDepth elements are open already.
    bool open();
    void appendName(QByteArrayView bytes) { m_names += bytes; }
    // The start tag's name is complete; false when it is no qualified name.
    bool endName();
    // The name of the innermost open element.
    QByteArrayView openName() const { return QByteArrayView(m_names).sliced(m_frames.back().nameStart); }

    // An attribute begins; false when the tag has MaxAttributes already.
    bool addAttribute();
    void appendAttributeName(QByteArrayView bytes) { m_attrNames += bytes; }
    // The attribute's name is complete: "" or what is wrong with it.
    QString endAttributeName();
    // The attribute declares a namespace, so its value is to be matched.
    bool valueMatters() const { return m_attributes.back().declares != 0; }
    // The next bytes of the value, decoded.
    void matchValue(QByteArrayView utf8);
    void endValue();

    // The start tag is complete: declares its prefixes, and finds the
    // namespace of the element and of its attributes. "" or what is wrong.
    QString complete(XmlSpace *space);
    // The innermost element ends: its prefixes go out of scope.
    void close();

private:
    // An open element; its name is m_names[nameStart, next frame's nameStart).
    struct Frame
    {
        int nameStart = 0;
        int colon = -1;                     // where the prefix ends in the name, or -1
        XmlSpace defaults = XmlSpace::None; // the default namespace inside the element
        int bindings = 0;                   // m_bindings.size() before the element's own
    };
    struct Attribute
    {
        int start = 0; // in m_attrNames
        int length = 0;
        int colon = -1;
        int slot = 0;     // in m_slots
        int declares = 0; // 0: no namespace; 1: the default namespace; 2: a prefix
        XmlSpace value = XmlSpace::None;
    };
    struct Binding
    {
        QByteArray prefix;
        XmlSpace space = XmlSpace::None;
        int shadowed = -1; // the binding of the same prefix this one hides, or -1
    };

    QByteArrayView attributeName(const Attribute &attribute) const
    {
        return QByteArrayView(m_attrNames).sliced(attribute.start, attribute.length);
    }
    QString resolve(QByteArrayView name, int colon, XmlSpace *space) const;

    QByteArray m_known;
    QByteArray m_names; // the names of the open elements, one after another
    std::vector<Frame> m_frames;
    QByteArray m_attrNames;
    std::vector<Attribute> m_attributes;
    std::array<qint16, 2 * MaxAttributes> m_slots; // an open-addressed set of m_attributes, by name; -1 free
    int m_valueMatched = 0;                        // bytes of m_known an xmlns value matches, or -1
    int m_valueLength = 0;
    std::vector<Binding> m_bindings;
    QHash<QByteArray, int> m_prefixes; // prefix -> its innermost binding
};
