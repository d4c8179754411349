#include "engines/countrycodes.h"

#include <QSet>
#include <gtest/gtest.h>
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct CodeRow
{
    const char *name;
    const char *code;
};

TEST(CountryCodes, EveryLocationHasATwoCharacterCodeOfItsOwn)
{
    const QStringList &locations = ExciteLocations();
    ASSERT_EQ(locations.size(), 240);
    EXPECT_EQ(locations.first(), "Nothing Selected");
    EXPECT_EQ(locations.last(), "other");

    QSet<QString> codes;
    for (const QString &name : locations.mid(1)) {
        const QString code = LookupCountryCode(name);
        ASSERT_EQ(code.size(), 2) << name.toStdString();
        for (QChar c : code)
            EXPECT_TRUE((c >= 'A' && c <= 'Z') || (name == "other" && c == '0')) << name.toStdString();
        // France and Metropolitan France were listed apart (FR, FX); no two names share a code.
        EXPECT_FALSE(codes.contains(code)) << name.toStdString() << " repeats " << code.toStdString();
        codes.insert(code);
    }
    EXPECT_EQ(codes.size(), 239);
}

TEST(CountryCodes, NamesOfTheTimeKeepTheirOldCodes)
{
    const CodeRow rows[] = {
        {"Afghanistan", "AF"},
        {"Algeria", "DZ"},
        {"Bosnia and Herzegowina", "BA"},
        {"Cote D'Ivoire", "CI"},
        {"Croatia (local name: Hrvatska)", "HR"},
        {"East Timor", "TP"},
        {"France", "FR"},
        {"France, Metropolitan", "FX"},
        {"Heard and Mc Donald Islands", "HM"},
        {"Korea (North)", "KP"},
        {"Korea (South)", "KR"},
        {"Lao People's Democratic Republic", "LA"},
        {"Libyan Arab Jamahiriya", "LY"},
        {"Macau", "MO"},
        {"Macedonia", "MK"},
        {"Myanmar", "MM"},
        {"Netherlands Antilles", "AN"},
        {"Pitcairn", "PN"},
        {"Reunion", "RE"},
        {"Slovakia (Slovak Republic)", "SK"},
        {"St. Helena", "SH"},
        {"Svalbard and Jan Mayen Islands", "SJ"},
        {"Switzerland", "CH"},
        {"U. S. Minor Outlying Islands", "UM"},
        {"United States", "US"},
        {"Vatican City State (Holy See)", "VA"},
        {"Viet Nam", "VN"},
        {"Virgin Islands (British)", "VG"},
        {"Virgin Islands (U.S.)", "VI"},
        {"Wallis And Futuna Islands", "WF"},
        {"Yugoslavia", "YU"},
        {"Zaire", "ZR"},
    };
    for (const CodeRow &row : rows)
        EXPECT_EQ(LookupCountryCode(QString::fromLatin1(row.name)), QString::fromLatin1(row.code)) << row.name;
}

TEST(CountryCodes, TheFormsOwnCodesReplaceTheStandard)
{
    EXPECT_EQ(LookupCountryCode("United Kingdom"), "UK");
    EXPECT_EQ(LookupCountryCode("other"), "00");
}

TEST(CountryCodes, OnlyExactNamesMatch)
{
    const char *unknown[] = {
        "Nothing Selected", "Other", "united states", "UNITED STATES", " United States",
        "United States ",   "",      "Atlantis",      "Cote d'Ivoire", "Korea",
    };
    for (const char *name : unknown)
        EXPECT_EQ(LookupCountryCode(QString::fromLatin1(name)), QString()) << name;
}

TEST(CountryCodes, PickListsStartWithNothingSelectedAndKeepTheirOrder)
{
    const QStringList languages = ExciteLanguages();
    ASSERT_EQ(languages.size(), 13);
    EXPECT_EQ(languages.first(), "Nothing Selected");
    EXPECT_EQ(languages.at(1), "English");
    EXPECT_EQ(languages.last(), "Other");

    const QStringList categories = ExciteCategories();
    ASSERT_EQ(categories.size(), 20);
    EXPECT_EQ(categories.first(), "Nothing Selected");
    EXPECT_EQ(categories.at(3), "Classifieds/Auctions");
    EXPECT_EQ(categories.at(9), "Home/Real Estate");
    EXPECT_EQ(categories.last(), "Other");

    // The location list is the lookup's key order: spot-check neighbours.
    const QStringList locations = ExciteLocations();
    EXPECT_EQ(locations.indexOf("France") + 1, locations.indexOf("France, Metropolitan"));
    EXPECT_EQ(locations.indexOf("United Kingdom") + 1, locations.indexOf("United States"));
    EXPECT_EQ(locations.indexOf("Zimbabwe") + 1, locations.indexOf("other"));
}

} // namespace
