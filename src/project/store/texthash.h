#pragma once

#include <QString>
#include <functional>
#include <string_view>

// A hash of a QString's UTF-16 code units for std::unordered_set and _map:
// Qt's own string hash, the way this Qt is built, was most of the time a
// 100 000-URL import took.
struct TextHash
{
    size_t operator()(const QString &text) const
    {
        return std::hash<std::string_view>()(
            std::string_view(reinterpret_cast<const char *>(text.constData()), size_t(text.size()) * sizeof(QChar)));
    }
};
