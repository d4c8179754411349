#include "project/readers/xmlelements.h"

#include <cstring>

namespace {

bool startsName(uchar c)
{
    return c >= 0x80 || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_';
}

// Where a qualified name's prefix ends: -1 without one, -2 when the name is no
// qualified name (a colon first or last, two colons, a local part that cannot start a name).
int colonOf(QByteArrayView name)
{
    const qsizetype colon = name.indexOf(':');
    if (colon < 0)
        return -1;
    if (colon == 0 || colon + 1 == name.size() || name.sliced(colon + 1).contains(':'))
        return -2;
    return startsName(uchar(name[colon + 1])) ? int(colon) : -2;
}

} // namespace

XmlElements::XmlElements(QByteArrayView knownNamespace) : m_known(knownNamespace.toByteArray())
{
    m_slots.fill(-1);
}

bool XmlElements::open()
{
    if (m_frames.size() == MaxDepth)
        return false;
    m_frames.push_back({int(m_names.size())});
    return true;
}

bool XmlElements::endName()
{
    Frame &frame = m_frames.back();
    frame.colon = colonOf(openName());
    return frame.colon != -2;
}

bool XmlElements::addAttribute()
{
    if (m_attributes.size() == MaxAttributes)
        return false;
    m_attributes.push_back({int(m_attrNames.size())});
    return true;
}

// Looks the name up among the tag's others in an open-addressed set, so a tag
// of n attributes costs n lookups.
QString XmlElements::endAttributeName()
{
    Attribute &attribute = m_attributes.back();
    attribute.length = int(m_attrNames.size()) - attribute.start;
    const QByteArrayView name = attributeName(attribute);
    attribute.colon = colonOf(name);
    if (attribute.colon == -2)
        return QStringLiteral("The attribute's name is no qualified name.");
    uint hash = 2166136261u;
    for (const char c : name)
        hash = (hash ^ uchar(c)) * 16777619u;
    for (size_t slot = hash % m_slots.size();; slot = (slot + 1) % m_slots.size()) {
        if (m_slots[slot] < 0) {
            m_slots[slot] = qint16(m_attributes.size() - 1);
            attribute.slot = int(slot);
            break;
        }
        if (attributeName(m_attributes[size_t(m_slots[slot])]) == name)
            return QStringLiteral("Attribute \"%1\" redefined.").arg(QString::fromUtf8(name));
    }
    attribute.declares = name == "xmlns" ? 1 : attribute.colon == 5 && name.startsWith("xmlns") ? 2 : 0;
    m_valueMatched = 0;
    m_valueLength = 0;
    return {};
}

// Compares an xmlns value with the known namespace as it arrives, holding none of it.
void XmlElements::matchValue(QByteArrayView utf8)
{
    if (m_valueMatched >= 0 && m_valueLength + utf8.size() <= m_known.size() &&
        std::memcmp(m_known.constData() + m_valueLength, utf8.data(), size_t(utf8.size())) == 0)
        m_valueMatched += int(utf8.size());
    else
        m_valueMatched = -1;
    m_valueLength = int(std::min<qsizetype>(m_valueLength + utf8.size(), m_known.size() + 1));
}

void XmlElements::endValue()
{
    Attribute &attribute = m_attributes.back();
    if (!attribute.declares)
        return;
    if (m_valueLength == 0)
        attribute.value = XmlSpace::None;
    else if (m_valueMatched == m_known.size() && m_valueLength == m_known.size())
        attribute.value = XmlSpace::Known;
    else
        attribute.value = XmlSpace::Other;
}

QString XmlElements::complete(XmlSpace *space)
{
    Frame &frame = m_frames.back();
    frame.defaults = m_frames.size() > 1 ? m_frames[m_frames.size() - 2].defaults : XmlSpace::None;
    frame.bindings = int(m_bindings.size());
    for (const Attribute &attribute : m_attributes) {
        if (attribute.declares == 1) {
            frame.defaults = attribute.value;
        } else if (attribute.declares == 2) {
            const QByteArray prefix = attributeName(attribute).sliced(6).toByteArray();
            if (attribute.value == XmlSpace::None)
                return QStringLiteral("The prefix \"%1\" is bound to no namespace.").arg(QString::fromUtf8(prefix));
            if (m_bindings.size() == MaxBindings)
                return QStringLiteral("More than %1 namespace prefixes declared.").arg(MaxBindings);
            const auto shadowed = m_prefixes.constFind(prefix);
            m_bindings.push_back({prefix, attribute.value, shadowed == m_prefixes.cend() ? -1 : *shadowed});
            m_prefixes.insert(prefix, int(m_bindings.size()) - 1);
        }
    }
    *space = frame.defaults;
    QString problem = resolve(openName(), frame.colon, space);
    for (const Attribute &attribute : m_attributes) {
        XmlSpace ignored;
        if (problem.isEmpty() && attribute.declares == 0)
            problem = resolve(attributeName(attribute), attribute.colon, &ignored);
        m_slots[size_t(attribute.slot)] = -1;
    }
    m_attributes.clear();
    m_attrNames.clear();
    return problem;
}

QString XmlElements::resolve(QByteArrayView name, int colon, XmlSpace *space) const
{
    if (colon < 0)
        return {};
    const QByteArray prefix = QByteArray::fromRawData(name.data(), colon);
    if (prefix == "xml") {
        *space = XmlSpace::Other;
        return {};
    }
    const auto binding = m_prefixes.constFind(prefix);
    if (binding == m_prefixes.cend())
        return QStringLiteral("Undeclared namespace prefix \"%1\".").arg(QString::fromUtf8(prefix));
    *space = m_bindings[size_t(*binding)].space;
    return {};
}

void XmlElements::close()
{
    const Frame frame = m_frames.back();
    m_frames.pop_back();
    while (int(m_bindings.size()) > frame.bindings) {
        const Binding &binding = m_bindings.back();
        if (binding.shadowed < 0)
            m_prefixes.remove(binding.prefix);
        else
            m_prefixes.insert(binding.prefix, binding.shadowed);
        m_bindings.pop_back();
    }
    m_names.truncate(frame.nameStart);
}
