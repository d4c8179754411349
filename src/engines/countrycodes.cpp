#include "engines/countrycodes.h"

#include <QHash>
#include <iterator>

namespace {

const QString NothingSelected = QStringLiteral("Nothing Selected");

struct CountryRow
{
    const char *name;
    const char *code;
};

// In the order of the location pick list. The codes are those of the time the
// names come from (TP, FX, AN, YU, ZR, ...), because the engine's form was built
// against them; "UK" and "00" are what that form expects instead of GB and "other".
constexpr CountryRow CountryTable[] = {
    {"Afghanistan", "AF"},
    {"Albania", "AL"},
    {"Algeria", "DZ"},
    {"American Samoa", "AS"},
    {"Andorra", "AD"},
    {"Angola", "AO"},
    {"Anguilla", "AI"},
    {"Antarctica", "AQ"},
    {"Antigua and Barbuda", "AG"},
    {"Argentina", "AR"},
    {"Armenia", "AM"},
    {"Aruba", "AW"},
    {"Australia", "AU"},
    {"Austria", "AT"},
    {"Azerbaijan", "AZ"},
    {"Bahamas", "BS"},
    {"Bahrain", "BH"},
    {"Bangladesh", "BD"},
    {"Barbados", "BB"},
    {"Belarus", "BY"},
    {"Belgium", "BE"},
    {"Belize", "BZ"},
    {"Benin", "BJ"},
    {"Bermuda", "BM"},
    {"Bhutan", "BT"},
    {"Bolivia", "BO"},
    {"Bosnia and Herzegowina", "BA"},
    {"Botswana", "BW"},
    {"Bouvet Island", "BV"},
    {"Brazil", "BR"},
    {"British Indian Ocean Territory", "IO"},
    {"Brunei Darussalam", "BN"},
    {"Bulgaria", "BG"},
    {"Burkina Faso", "BF"},
    {"Burundi", "BI"},
    {"Cambodia", "KH"},
    {"Cameroon", "CM"},
    {"Canada", "CA"},
    {"Cape Verde", "CV"},
    {"Cayman Islands", "KY"},
    {"Central African Republic", "CF"},
    {"Chad", "TD"},
    {"Chile", "CL"},
    {"China", "CN"},
    {"Christmas Island", "CX"},
    {"Cocos (Keeling) Islands", "CC"},
    {"Colombia", "CO"},
    {"Comoros", "KM"},
    {"Congo", "CG"},
    {"Cook Islands", "CK"},
    {"Costa Rica", "CR"},
    {"Cote D'Ivoire", "CI"},
    {"Croatia (local name: Hrvatska)", "HR"},
    {"Cuba", "CU"},
    {"Cyprus", "CY"},
    {"Czech Republic", "CZ"},
    {"Denmark", "DK"},
    {"Djibouti", "DJ"},
    {"Dominica", "DM"},
    {"Dominican Republic", "DO"},
    {"East Timor", "TP"},
    {"Ecuador", "EC"},
    {"Egypt", "EG"},
    {"El Salvador", "SV"},
    {"Equatorial Guinea", "GQ"},
    {"Eritrea", "ER"},
    {"Estonia", "EE"},
    {"Ethiopia", "ET"},
    {"Falkland Islands (Malvinas)", "FK"},
    {"Faroe Islands", "FO"},
    {"Fiji", "FJ"},
    {"Finland", "FI"},
    {"France", "FR"},
    {"France, Metropolitan", "FX"},
    {"French Guiana", "GF"},
    {"French Polynesia", "PF"},
    {"French Southern Territories", "TF"},
    {"Gabon", "GA"},
    {"Gambia", "GM"},
    {"Georgia", "GE"},
    {"Germany", "DE"},
    {"Ghana", "GH"},
    {"Gibraltar", "GI"},
    {"Greece", "GR"},
    {"Greenland", "GL"},
    {"Grenada", "GD"},
    {"Guadeloupe", "GP"},
    {"Guam", "GU"},
    {"Guatemala", "GT"},
    {"Guinea", "GN"},
    {"Guinea-Bissau", "GW"},
    {"Guyana", "GY"},
    {"Haiti", "HT"},
    {"Heard and Mc Donald Islands", "HM"},
    {"Honduras", "HN"},
    {"Hong Kong", "HK"},
    {"Hungary", "HU"},
    {"Iceland", "IS"},
    {"India", "IN"},
    {"Indonesia", "ID"},
    {"Iran (Islamic Republic of)", "IR"},
    {"Iraq", "IQ"},
    {"Ireland", "IE"},
    {"Israel", "IL"},
    {"Italy", "IT"},
    {"Jamaica", "JM"},
    {"Japan", "JP"},
    {"Jordan", "JO"},
    {"Kazakhstan", "KZ"},
    {"Kenya", "KE"},
    {"Kiribati", "KI"},
    {"Korea (North)", "KP"},
    {"Korea (South)", "KR"},
    {"Kuwait", "KW"},
    {"Kyrgyzstan", "KG"},
    {"Lao People's Democratic Republic", "LA"},
    {"Latvia", "LV"},
    {"Lebanon", "LB"},
    {"Lesotho", "LS"},
    {"Liberia", "LR"},
    {"Libyan Arab Jamahiriya", "LY"},
    {"Liechtenstein", "LI"},
    {"Lithuania", "LT"},
    {"Luxembourg", "LU"},
    {"Macau", "MO"},
    {"Macedonia", "MK"},
    {"Madagascar", "MG"},
    {"Malawi", "MW"},
    {"Malaysia", "MY"},
    {"Maldives", "MV"},
    {"Mali", "ML"},
    {"Malta", "MT"},
    {"Marshall Islands", "MH"},
    {"Martinique", "MQ"},
    {"Mauritania", "MR"},
    {"Mauritius", "MU"},
    {"Mayotte", "YT"},
    {"Mexico", "MX"},
    {"Micronesia", "FM"},
    {"Moldova", "MD"},
    {"Monaco", "MC"},
    {"Mongolia", "MN"},
    {"Montserrat", "MS"},
    {"Morocco", "MA"},
    {"Mozambique", "MZ"},
    {"Myanmar", "MM"},
    {"Namibia", "NA"},
    {"Nauru", "NR"},
    {"Nepal", "NP"},
    {"Netherlands", "NL"},
    {"Netherlands Antilles", "AN"},
    {"New Caledonia", "NC"},
    {"New Zealand", "NZ"},
    {"Nicaragua", "NI"},
    {"Niger", "NE"},
    {"Nigeria", "NG"},
    {"Niue", "NU"},
    {"Norfolk Island", "NF"},
    {"Northern Mariana Islands", "MP"},
    {"Norway", "NO"},
    {"Oman", "OM"},
    {"Pakistan", "PK"},
    {"Palau", "PW"},
    {"Panama", "PA"},
    {"Papua New Guinea", "PG"},
    {"Paraguay", "PY"},
    {"Peru", "PE"},
    {"Philippines", "PH"},
    {"Pitcairn", "PN"},
    {"Poland", "PL"},
    {"Portugal", "PT"},
    {"Puerto Rico", "PR"},
    {"Qatar", "QA"},
    {"Reunion", "RE"},
    {"Romania", "RO"},
    {"Russian Federation", "RU"},
    {"Rwanda", "RW"},
    {"Saint Kitts and Nevis", "KN"},
    {"Saint Lucia", "LC"},
    {"Saint Vincent and the Grenadines", "VC"},
    {"Samoa", "WS"},
    {"San Marino", "SM"},
    {"Sao Tome and Principe", "ST"},
    {"Saudi Arabia", "SA"},
    {"Senegal", "SN"},
    {"Seychelles", "SC"},
    {"Sierra Leone", "SL"},
    {"Singapore", "SG"},
    {"Slovakia (Slovak Republic)", "SK"},
    {"Slovenia", "SI"},
    {"Solomon Islands", "SB"},
    {"Somalia", "SO"},
    {"South Africa", "ZA"},
    {"Spain", "ES"},
    {"Sri Lanka", "LK"},
    {"St. Helena", "SH"},
    {"St. Pierre and Miquelon", "PM"},
    {"Sudan", "SD"},
    {"Suriname", "SR"},
    {"Svalbard and Jan Mayen Islands", "SJ"},
    {"Swaziland", "SZ"},
    {"Sweden", "SE"},
    {"Switzerland", "CH"},
    {"Syrian Arab Republic", "SY"},
    {"Taiwan", "TW"},
    {"Tajikistan", "TJ"},
    {"Tanzania, United Republic of", "TZ"},
    {"Thailand", "TH"},
    {"Togo", "TG"},
    {"Tokelau", "TK"},
    {"Tonga", "TO"},
    {"Trinidad and Tobago", "TT"},
    {"Tunisia", "TN"},
    {"Turkey", "TR"},
    {"Turkmenistan", "TM"},
    {"Turks and Caicos Islands", "TC"},
    {"Tuvalu", "TV"},
    {"U. S. Minor Outlying Islands", "UM"},
    {"Uganda", "UG"},
    {"Ukraine", "UA"},
    {"United Arab Emirates", "AE"},
    {"United Kingdom", "UK"},
    {"United States", "US"},
    {"Uruguay", "UY"},
    {"Uzbekistan", "UZ"},
    {"Vanuatu", "VU"},
    {"Vatican City State (Holy See)", "VA"},
    {"Venezuela", "VE"},
    {"Viet Nam", "VN"},
    {"Virgin Islands (British)", "VG"},
    {"Virgin Islands (U.S.)", "VI"},
    {"Wallis And Futuna Islands", "WF"},
    {"Western Sahara", "EH"},
    {"Yemen", "YE"},
    {"Yugoslavia", "YU"},
    {"Zaire", "ZR"},
    {"Zambia", "ZM"},
    {"Zimbabwe", "ZW"},
    {"other", "00"},
};

static_assert(std::size(CountryTable) == 239, "one row per location name");

const QHash<QString, QString> &codesByName()
{
    static const QHash<QString, QString> codes = [] {
        QHash<QString, QString> byName;
        byName.reserve(int(std::size(CountryTable)));
        for (const CountryRow &row : CountryTable)
            byName.insert(QString::fromLatin1(row.name), QString::fromLatin1(row.code));
        return byName;
    }();
    return codes;
}

} // namespace

QString LookupCountryCode(const QString &name)
{
    return codesByName().value(name);
}

const QStringList &ExciteLanguages()
{
    static const QStringList languages = {
        NothingSelected, "English",   "Chinese",    "Dutch",   "French",  "German", "Italian",
        "Japanese",      "Norwegian", "Portuguese", "Spanish", "Swedish", "Other",
    };
    return languages;
}

const QStringList &ExciteLocations()
{
    static const QStringList locations = [] {
        QStringList names{NothingSelected};
        names.reserve(int(std::size(CountryTable)) + 1);
        for (const CountryRow &row : CountryTable)
            names.append(QString::fromLatin1(row.name));
        return names;
    }();
    return locations;
}

const QStringList &ExciteCategories()
{
    static const QStringList categories = {
        NothingSelected,
        "Autos",
        "Careers",
        "Classifieds/Auctions",
        "Computers/Internet",
        "Education",
        "Entertainment",
        "Games",
        "Health",
        "Home/Real Estate",
        "Lifestyle",
        "Local",
        "Money/Investing",
        "News",
        "People/Chat",
        "Shopping",
        "Small Business",
        "Sports",
        "Travel",
        "Other",
    };
    return categories;
}
