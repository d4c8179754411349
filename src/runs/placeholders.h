#pragma once

#include <QString>
#include <functional>

// The values a form template's placeholders are filled with. They are copies:
// filling a template never changes where they came from.
struct PlaceholderValues
{
    QString engine;         // the engine's section name; only "Excite" (exactly) gets the three Excite values
    QString exciteLocation; // a location name of the Excite settings, turned into its country code
    QString exciteCategory;
    QString exciteLanguage;
    QString url;           // $URL
    QString email;         // $EMAIL
    QString firstName;     // $FNAME, and the start of $CONTACT
    QString middleInitial; // $MNAME; $CONTACT leaves it out when it is empty
    QString lastName;      // $LNAME
    QString localHost;     // $IP
    QString indexNowKey;   // $KEY: the project's IndexNow key
};

// Where one pass found $URL, $EMAIL and $CONTACT: 1 for the template's first
// character, 0 when the placeholder was not in the template.
struct PlaceholderPositions
{
    int url = 0;
    int email = 0;
    int contact = 0;
};

// Turns a value into the form-data encoding (blank to "+", letters and digits as
// they are, every other byte of its UTF-8 form as "%XX"). Never throws.
QString EncodeValue(const QString &text);

using ValueEncoder = std::function<QString(const QString &)>;

// One substitution pass over templ: for each placeholder in the order $LOCATION,
// $CATEGORY, $LANGUAGE, $URL, $EMAIL, $CONTACT, $FNAME, $MNAME, $LNAME, $IP, $KEY, the
// first occurrence still in the template (exact letter case) is replaced by its
// value. The value is encoded with encoder (EncodeValue when none is given)
// unless encodeText is exactly "yes". Later occurrences are left for later
// passes: one pass replaces at most one occurrence of each placeholder.
PlaceholderPositions PlaceholderSubstitution(QString &templ, const PlaceholderValues &values, const QString &encodeText,
                                             const ValueEncoder &encoder = {});
