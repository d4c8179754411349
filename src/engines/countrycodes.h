#pragma once

#include <QString>
#include <QStringList>

// The Excite engine's advanced settings: the three pick lists of the settings
// dialog and the country-code table behind the location list.

// The two-character code the Excite form expects for a location name of
// ExciteLocations(): the ISO 3166-1 code as listed in the 1990s, except
// "United Kingdom" -> "UK" and "other" -> "00". The comparison is exact (letter
// case and every character); returns "" for any other text, including
// "Nothing Selected", "Other" and names typed by the user. Never throws.
QString LookupCountryCode(const QString &name);

// The pick lists in dialog order; each starts with "Nothing Selected".
const QStringList &ExciteLanguages();
// "Nothing Selected", then every location name known to LookupCountryCode, ending with "other".
const QStringList &ExciteLocations();
const QStringList &ExciteCategories();
