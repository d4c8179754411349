#include "engines/enginelist.h"
#include "support/tempdir.h"

#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>

using qctest::sourcePath;

namespace {

QString autoList()
{
    return sourcePath("tests/data/engines/engines.txt");
}

QString manualList()
{
    return sourcePath("tests/data/engines/manual.txt");
}

TEST(EngineList, SectionsComeInFileOrder)
{
    EXPECT_EQ(engineListSections(autoList()), QStringList({"Zeta", "alpha", "Beta", "Spaced", "Hostile", "Misplaced"}));
    EXPECT_EQ(engineListSections(manualList()), QStringList({"Second Site", "First Site"}));
    EXPECT_TRUE(engineListSections(sourcePath("tests/data/engines/no_such_list.txt")).isEmpty());
}

TEST(EngineList, SectionGivesNamesAndNonEmptyValueLines)
{
    const EngineSection beta = readEngineSection(autoList(), "beta");
    EXPECT_EQ(beta.names.size(), 10) << "the key with an empty value is still a name";
    EXPECT_EQ(beta.names.at(2), "QC_PostData");
    EXPECT_EQ(beta.valueLines.size(), 9);
    EXPECT_EQ(beta.valueLines.at(2), "QC_Encode=no") << "the empty value moves every later key up";

    const EngineSection missing = readEngineSection(autoList(), "Nowhere");
    EXPECT_TRUE(missing.names.isEmpty());
    EXPECT_TRUE(missing.valueLines.isEmpty());
    EXPECT_TRUE(readEngineSection(sourcePath("tests/data/engines/no_such_list.txt"), "alpha").names.isEmpty());
}

TEST(EngineList, FieldsAreReadByPosition)
{
    const EngineSection alpha = readEngineSection(autoList(), "alpha");
    bool matched = false;
    EXPECT_EQ(engineField(alpha, EngineField::Action, &matched), "http://alpha.example/cgi-bin/add.cgi");
    EXPECT_TRUE(matched);
    EXPECT_EQ(engineField(alpha, EngineField::Method), "get");
    EXPECT_EQ(engineField(alpha, EngineField::SearchNone), "Sorry%2C+nothing");
    EXPECT_EQ(engineIntField(alpha, EngineField::MaxSubmit), 100);
    EXPECT_EQ(engineColumn(alpha), "E7");
    EXPECT_EQ(engineColumn(readEngineSection(autoList(), "Zeta")), "E3");
    EXPECT_EQ(engineField(readEngineSection(autoList(), "Zeta"), EngineField::SearchAction), "NONE");
}

TEST(EngineList, MissingValueShiftsLaterFields)
{
    const EngineSection beta = readEngineSection(autoList(), "Beta");
    bool matched = true;
    EXPECT_EQ(engineField(beta, EngineField::PostData, &matched), "") << "position 2 holds the QC_Encode line";
    EXPECT_FALSE(matched);
    EXPECT_EQ(engineIntField(beta, EngineField::MaxSubmit, &matched), 0) << "position 8 holds QC_InternalIndex";
    EXPECT_FALSE(matched);
    EXPECT_EQ(engineColumn(beta), "") << "position 9 holds no line";
}

TEST(EngineList, ValuesAreOneWord)
{
    const EngineSection spaced = readEngineSection(autoList(), "Spaced");
    bool matched = false;
    EXPECT_EQ(engineField(spaced, EngineField::Action), "http://spaced.example/add") << "cut at the blank";
    EXPECT_EQ(engineField(spaced, EngineField::Method), "post") << "the profile reader trims the blanks";
    EXPECT_EQ(engineField(spaced, EngineField::PostData), "url=$URL") << "quotes removed by the profile reader";
    EXPECT_EQ(engineIntField(spaced, EngineField::Sleep, &matched), 7);
    EXPECT_TRUE(matched);
    EXPECT_EQ(engineIntField(spaced, EngineField::MaxSubmit, &matched), 0) << "not a number";
    EXPECT_FALSE(matched);
    EXPECT_EQ(engineColumn(spaced), "") << "E31 is no column";
    EXPECT_EQ(engineColumn(readEngineSection(autoList(), "Hostile")), "") << "statement text refused";
    EXPECT_EQ(engineField(readEngineSection(autoList(), "Misplaced"), EngineField::Action), "")
        << "a line carrying another key gives nothing";
}

TEST(EngineList, ScanningOneLine)
{
    const struct
    {
        const char *behaviour;
        QString line;
        const char *key;
        QString value;
        bool matched;
    } cases[] = {
        {"plain word", "QC_Method=post", "QC_Method", "post", true},
        {"cut at a tab", "QC_Method=post\tget", "QC_Method", "post", true},
        {"blanks after the equals skipped", "QC_Method=  post", "QC_Method", "post", true},
        {"key letter case matters", "qc_method=post", "QC_Method", "", false},
        {"longer key is another key", "QC_MethodX=post", "QC_Method", "", false},
        {"key without equals", "QC_Method", "QC_Method", "", false},
        {"blank value", "QC_Method= ", "QC_Method", "", false},
        {"empty line", "", "QC_Method", "", false},
        {"long value cut", "QC_PostData=" + QString(5000, 'x'), "QC_PostData", QString(1023, 'x'), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        bool matched = !c.matched;
        EXPECT_EQ(scanField(c.line, c.key, &matched), c.value);
        EXPECT_EQ(matched, c.matched);
    }

    const struct
    {
        const char *line;
        int value;
        bool matched;
    } numbers[] = {{"QC_Sleep=10", 10, true},
                   {"QC_Sleep=-3", -3, true},
                   {"QC_Sleep=+4x", 4, true},
                   {"QC_Sleep=x4", 0, false},
                   {"QC_Sleep=-", 0, false},
                   {"QC_Sleep=99999999999", INT_MAX, true},
                   {"QC_Sleep=-99999999999", INT_MIN, true},
                   {"QC_MaxSubmit=5", 0, false}};
    for (const auto &c : numbers) {
        SCOPED_TRACE(c.line);
        bool matched = !c.matched;
        EXPECT_EQ(scanIntField(c.line, "QC_Sleep", &matched), c.value);
        EXPECT_EQ(matched, c.matched);
    }
}

TEST(EngineList, ColumnNamesAreExactlyE1ToE30)
{
    for (int i = 1; i <= 30; ++i)
        EXPECT_TRUE(isEngineColumnName(QString("E%1").arg(i)));
    for (const char *name : {"", "E", "E0", "E01", "E31", "E300", "e7", "E7 ", " E7", "E7;", "Projectid", "E-1"})
        EXPECT_FALSE(isEngineColumnName(name)) << name;
}

TEST(EngineList, ManualEngineKeysAreLookedUpByName)
{
    const ManualEngine second = readManualEngine(manualList(), "second site");
    EXPECT_EQ(second.homeURL, "http://second.example/");
    EXPECT_EQ(second.addURL, "http://second.example/add.html");
    EXPECT_EQ(second.automaticSubmit, "No");
    EXPECT_EQ(second.responseTime, "2 - 4 weeks") << "manual values keep their blanks";
    EXPECT_EQ(second.likes, "Short titles, real content");
    EXPECT_EQ(second.dislikes, "Doorway pages");
    EXPECT_EQ(second.comments, "");

    const ManualEngine first = readManualEngine(manualList(), "First Site");
    EXPECT_EQ(first.homeURL, "");
    EXPECT_EQ(first.comments, "Only the home page is taken.");
}

} // namespace
