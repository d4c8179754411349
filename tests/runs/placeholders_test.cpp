// Filling form templates, reading an engine's section by position, and the
// names and clean-up of a run's files.

#include "runs/engineform.h"
#include "runs/placeholders.h"
#include "runs/runfiles.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

PlaceholderValues sender()
{
    PlaceholderValues values;
    values.engine = "Alpha";
    values.url = "a.b/c d";
    values.email = "ann@lee.example";
    values.firstName = "Ann";
    values.lastName = "Lee";
    values.localHost = "host7";
    values.exciteLocation = "Germany";
    values.exciteCategory = "Arts";
    values.exciteLanguage = "German";
    return values;
}

// A section in the ten-key layout; postData and encode vary per test.
EngineSection section(const QString &postData, const QString &encode = "no", const QString &searchData = "q=$URL")
{
    const QStringList keys = {"QC_Action",    "QC_Method",        "QC_PostData",        "QC_Encode",
                              "QC_Sleep",     "QC_Search_Action", "QC_Search_PostData", "QC_Search_None",
                              "QC_MaxSubmit", "QC_InternalIndex"};
    const QStringList values = {"http://e.x/add",  "post",     postData,      encode, "3",
                                "http://e.x/find", searchData, "No+match%21", "7",    "E4"};
    EngineSection result;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        result.names.append(keys.at(i));
        result.valueLines.append(keys.at(i) + "=" + values.at(i));
    }
    return result;
}

TEST(EncodeValue, FormEncodingOfTheValueBytes)
{
    EXPECT_EQ(EncodeValue("a.b/c d"), "a%2Eb%2Fc+d");
    EXPECT_EQ(EncodeValue("Zoë"), "Zo%C3%AB");
    EXPECT_EQ(EncodeValue(""), "");
}

struct PassCase
{
    const char *name;
    QString templ;
    QString encode;
    QString expected;
};

TEST(PlaceholderSubstitution, OnePassReplacesTheFirstOccurrenceOfEachPlaceholder)
{
    const PassCase cases[] = {
        {"url and contact without middle initial", "url=$URL&who=$CONTACT", "", "url=a%2Eb%2Fc+d&who=Ann+Lee"},
        {"encode yes inserts values as they are", "url=$URL&who=$CONTACT", "yes", "url=a.b/c d&who=Ann Lee"},
        {"encode other than yes encodes", "url=$URL", "YES", "url=a%2Eb%2Fc+d"},
        {"second occurrence waits for the next pass", "a=$URL&b=$URL", "", "a=a%2Eb%2Fc+d&b=$URL"},
        {"ip keeps what follows", "ip=$IP&x=1", "", "ip=host7&x=1"},
        {"names", "f=$FNAME&m=$MNAME&l=$LNAME&e=$EMAIL", "", "f=Ann&m=&l=Lee&e=ann%40lee%2Eexample"},
        {"excite placeholders empty for other engines", "l=$LOCATION&c=$CATEGORY&g=$LANGUAGE", "", "l=&c=&g="},
        {"letter case counts", "u=$url&U=$Url", "", "u=$url&U=$Url"},
        {"no placeholder", "plain=1", "", "plain=1"},
    };
    for (const PassCase &c : cases) {
        QString templ = c.templ;
        PlaceholderSubstitution(templ, sender(), c.encode);
        EXPECT_EQ(templ, c.expected) << c.name;
    }
}

TEST(PlaceholderSubstitution, ContactWithMiddleInitialAndTheExciteValues)
{
    PlaceholderValues values = sender();
    values.middleInitial = "B";
    values.engine = "Excite";
    QString templ = "who=$CONTACT&loc=$LOCATION&cat=$CATEGORY&lang=$LANGUAGE";
    PlaceholderSubstitution(templ, values, "");
    EXPECT_EQ(templ, "who=Ann+B+Lee&loc=DE&cat=Arts&lang=German");

    values.engine = "excite"; // the engine name is compared exactly
    templ = "loc=$LOCATION";
    PlaceholderSubstitution(templ, values, "");
    EXPECT_EQ(templ, "loc=");
}

TEST(PlaceholderSubstitution, ReportsOneBasedPositionsAndNeverChangesTheValues)
{
    QString templ = "u=$URL&e=$EMAIL";
    const PlaceholderValues values = sender();
    const PlaceholderPositions found = PlaceholderSubstitution(templ, values, "");
    EXPECT_EQ(found.url, 3);
    // $EMAIL is looked for after $URL was replaced.
    EXPECT_EQ(found.email, int(QString("u=a%2Eb%2Fc+d&e=").size()) + 1);
    EXPECT_EQ(found.contact, 0);
    EXPECT_EQ(values.url, "a.b/c d");
}

TEST(PlaceholderSubstitution, UsesTheGivenEncoder)
{
    QStringList seen;
    QString templ = "a=$URL&b=$FNAME";
    PlaceholderSubstitution(templ, sender(), "", [&](const QString &text) {
        seen << text;
        return QStringLiteral("<") + text + QStringLiteral(">");
    });
    EXPECT_EQ(templ, "a=<a.b/c d>&b=<Ann>");
    EXPECT_EQ(seen, QStringList({"a.b/c d", "Ann"}));
}

TEST(SubmissionForm, ReadsEveryFieldByPosition)
{
    const SubmissionForm form = ReadSubmissionForm(section("u=$URL"), sender());
    EXPECT_EQ(form.action, "http://e.x/add");
    EXPECT_EQ(form.method, "post");
    EXPECT_EQ(form.encode, "no");
    EXPECT_EQ(form.sleep, 3);
    EXPECT_EQ(form.maxSubmit, 7);
    EXPECT_EQ(form.column, "E4");
    EXPECT_EQ(form.postData, "u=a%2Eb%2Fc+d");
}

TEST(SubmissionForm, FirstOccurrenceIsAlwaysEncodedLaterOnesFollowTheEncodeLine)
{
    EXPECT_EQ(ReadSubmissionForm(section("url=$URL&who=$CONTACT", "yes"), sender()).postData,
              "url=a%2Eb%2Fc+d&who=Ann+Lee");
    EXPECT_EQ(ReadSubmissionForm(section("a=$URL&b=$URL", "yes"), sender()).postData, "a=a%2Eb%2Fc+d&b=a.b/c d");
    EXPECT_EQ(ReadSubmissionForm(section("a=$URL&b=$URL", "no"), sender()).postData, "a=a%2Eb%2Fc+d&b=a%2Eb%2Fc+d");
}

TEST(SubmissionForm, EightPassesFillEightOccurrences)
{
    QStringList parts;
    for (int i = 0; i < 9; ++i)
        parts << "u=$URL";
    PlaceholderValues values = sender();
    values.url = "x";
    const QString filled = ReadSubmissionForm(section(parts.join('&')), values).postData;
    EXPECT_EQ(filled, "u=x&u=x&u=x&u=x&u=x&u=x&u=x&u=x&u=$URL");
}

TEST(SubmissionForm, ShortOrMisorderedSectionsGiveEmptyFields)
{
    EngineSection shortSection = section("u=$URL");
    shortSection.names = shortSection.names.mid(0, 2); // only two keys counted
    SubmissionForm form = ReadSubmissionForm(shortSection, sender());
    EXPECT_EQ(form.method, "post");
    EXPECT_EQ(form.postData, "");
    EXPECT_EQ(form.maxSubmit, 0);

    EngineSection shifted = section("u=$URL");
    shifted.valueLines[8] = "QC_MaxSubmit=lots";
    shifted.valueLines.removeAt(4); // an empty QC_Sleep moves every later key up
    form = ReadSubmissionForm(shifted, sender());
    EXPECT_EQ(form.sleep, 0);
    EXPECT_EQ(form.maxSubmit, 0);
    EXPECT_EQ(form.column, "");
}

TEST(SubmissionForm, DebugLinesFollowTheLinesAsTheyAreRead)
{
    QStringList lines;
    ReadSubmissionForm(section("u=$URL"), sender(), {},
                       [&](const QString &text, StatusKind kind) { lines << QString::number(int(kind)) + " " + text; });
    ASSERT_EQ(lines.size(), 4 + 10 * 3);
    EXPECT_EQ(lines.at(0), "0 ATmpURL: http://e.x/add");
    EXPECT_EQ(lines.at(1), "0 URLPos: 0");
    EXPECT_EQ(lines.at(4), "0 ATmpMethod: post");
    // The pass after line 2 finds $URL at position 3.
    EXPECT_EQ(lines.at(8), "0 URLPos: 3");
    EXPECT_EQ(lines.at(11), "0 ATmpEncode: no");
    EXPECT_EQ(lines.at(lines.size() - 4), "0 ATmpInternalIndex: E4");
}

TEST(SearchForm, FourPassesEveryValueEncodedAndNoExciteValues)
{
    PlaceholderValues values = sender();
    values.engine = "Excite";
    const SearchForm form =
        ReadSearchForm(section("u=$URL", "yes", "a=$URL&b=$URL&c=$URL&d=$URL&e=$URL&l=$LOCATION"), values);
    EXPECT_EQ(form.method, "post");
    EXPECT_EQ(form.action, "http://e.x/find");
    EXPECT_EQ(form.none, "No+match%21");
    const QString u = "a%2Eb%2Fc+d";
    EXPECT_EQ(form.postData, "a=" + u + "&b=" + u + "&c=" + u + "&d=" + u + "&e=$URL&l=");
}

TEST(SearchLogName, OrdinaryNamesStayAndNoNameLeavesTheDirectory)
{
    const struct
    {
        QString engine;
        QString expected;
    } cases[] = {
        {"AltaVista", "None_AltaVista.txt"},
        {"Web Crawler (beta)", "None_Web Crawler (beta).txt"},
        {"../../etc/passwd", "None_.._.._etc_passwd.txt"},
        {"a\\b", "None_a_b.txt"},
        {QString("nul") + QChar(0) + "x\ty", "None_nul_x_y.txt"},
        {"", "None_.txt"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SearchLogFileName(c.engine), c.expected) << c.engine.toStdString();

    const QString longName = QString(150, QChar(0x00E9)); // 300 bytes in UTF-8
    const QString name = SearchLogFileName(longName);
    EXPECT_EQ(name, "None_" + QString(100, QChar(0x00E9)) + ".txt");
    EXPECT_EQ(SearchLogFileName("\xF0\x9F\x98\x80" + QString(199, 'a')).size(), QString("None_.txt").size() + 2 + 196);
}

TEST(RunFiles, AnswerNamesAndTheirDeletion)
{
    EXPECT_EQ(ResponseFileNameFor(0), "PR_0.htm");
    EXPECT_EQ(SearchResponseFileNameFor(12), "SRCH_12.htm");

    qctest::ScopedBaseDir dir;
    for (const char *name : {"PR_0.htm", "PR_x.txt", "pr_1.htm", "PR_noext", "PRX.htm", "SRCH_0.htm", "StatusLog.htm"})
        qctest::writeFile(dir.file(name), "x");
    QDir().mkdir(dir.file("PR_dir.d"));
    EXPECT_EQ(DeleteRunFiles(dir.path(), "PR_"), 3);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
              QStringList({"PRX.htm", "PR_dir.d", "PR_noext", "SRCH_0.htm", "StatusLog.htm"}));
    EXPECT_EQ(DeleteRunFiles(dir.file("missing"), "PR_"), 0);
    // The current directory is not an empty path's directory.
    qctest::writeFile(dir.file("PR_5.htm"), "x");
    EXPECT_EQ(DeleteRunFiles("", "PR_"), 0);
    EXPECT_TRUE(QFile::exists(dir.file("PR_5.htm")));
}

} // namespace
