#pragma once

#include <QtGlobal>
#include <cstring>

// Byte tests and scans the XML readers share.
namespace XmlBytes {

// XML's white space: space, tab, line feed, carriage return.
inline bool isBlank(uchar c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

// Moves p to just past the next `c` before end, or to end; true when found.
inline bool skipPast(const uchar *&p, const uchar *end, char c)
{
    const void *found = std::memchr(p, c, size_t(end - p));
    p = found ? static_cast<const uchar *>(found) + 1 : end;
    return found != nullptr;
}

} // namespace XmlBytes
