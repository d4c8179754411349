#pragma once

namespace checks {

// The bytes HTML's tokenizer treats as white space between attributes and words.
inline bool isHtmlBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

inline bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace checks
