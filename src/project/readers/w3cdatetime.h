#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// A sitemap's <lastmod> read as the instant it names. The W3C datetime forms are
// YYYY, YYYY-MM, YYYY-MM-DD, YYYY-MM-DDThh:mmTZD, YYYY-MM-DDThh:mm:ssTZD and
// YYYY-MM-DDThh:mm:ss.sTZD with any number of fraction digits, TZD being "Z" or
// +hh:mm / -hh:mm. A date alone is midnight UTC of its first day.
struct W3cInstant
{
    qint64 seconds = 0; // since 1970-01-01T00:00:00Z
    QString fraction;   // the digits of the second's fraction, trailing zeros dropped

    bool operator==(const W3cInstant &) const = default;

    // nullopt for anything else: another layout, a letter in lower case, a time
    // without its zone, a field out of range (month 13, February 30, hour 24,
    // minute 60), blanks around it.
    static std::optional<W3cInstant> parse(QStringView text);
};

// Whether two lastmods name the same moment: compared as instants when both are
// W3C datetimes, so "2025-01-06" equals "2025-01-06T00:00:00+00:00" and
// "2025-01-06T10:00:00+02:00" equals "2025-01-06T08:00:00Z"; otherwise compared
// as texts, exactly.
bool sameLastmod(QStringView a, QStringView b);
