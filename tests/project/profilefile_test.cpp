#include "project/session/profilefile.h"
#include "support/tempdir.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <climits>
#include <functional>
#include <gtest/gtest.h>

using qctest::readFile;
using qctest::sourcePath;
using qctest::writeFile;

namespace {

QString fixture(const char *name)
{
    return sourcePath(QStringLiteral("tests/data/profile/") + QLatin1String(name));
}

struct ReadCase
{
    const char *behaviour;
    const char *file;
    const char *section;
    const char *key;
    const char *def;
    QString expected;
};

TEST(ProfileFileRead, FixturesReadAsTheRulesSay)
{
    const ReadCase cases[] = {
        {"CR LF line ends", "line_ends.ini", "crlf", "k", "d", "1"},
        {"LF line ends", "line_ends.ini", "lf", "k", "d", "2"},
        {"lone CR line ends", "line_ends.ini", "cr", "k", "d", "3"},
        {"last line without a line end", "line_ends.ini", "last", "k", "d", "4"},
        {"blanks inside the brackets removed", "section_headers.ini", "section1", "k", "d", "padded"},
        {"text after the bracket ignored", "section_headers.ini", "two", "k", "d", "after bracket"},
        {"header without closing bracket", "section_headers.ini", "open", "k", "d", "no bracket"},
        {"empty section name", "section_headers.ini", "", "k", "d", "empty name"},
        {"line before the first section unreadable", "before_first_section.ini", "", "orphan", "d", "d"},
        {"section after orphan lines", "before_first_section.ini", "s", "k", "d", "v"},
        {"comment line is no key", "comments.ini", "s", "hidden", "d", "d"},
        {"indented comment line is no key", "comments.ini", "s", "indented", "d", "d"},
        {"hash is no comment", "comments.ini", "s", "#hash", "d", "3"},
        {"semicolon inside a value kept", "comments.ini", "s", "semi", "d", ";x"},
        {"line without equals is no key", "key_lines.ini", "s", "just a line", "d", "d"},
        {"empty value is not the default", "key_lines.ini", "s", "name2", "d", ""},
        {"blanks around key and value removed", "key_lines.ini", "s", "spaced key", "d", "v2"},
        {"value runs from the first equals", "key_lines.ini", "s", "k2", "d", "a=b"},
        {"blanks and one pair of quotes trimmed", "quotes.ini", "s", "a", "d", "  x  "},
        {"mismatched quotes kept", "quotes.ini", "s", "b", "d", "\"x'"},
        {"mismatched outer quotes kept", "quotes.ini", "s", "c", "d", "'\"x'\""},
        {"empty quoted value", "quotes.ini", "s", "d", "def", ""},
        {"single quote character kept", "quotes.ini", "s", "e", "d", "\""},
        {"only the outermost quotes go", "quotes.ini", "s", "f", "d", "'x'"},
        {"tabs and vertical tabs are blanks", "quotes.ini", "s", "g", "d", "tabbed"},
        {"section name case ignored", "letter_case.ini", "SECTION", "key", "d", "v"},
        {"spaces around caller names ignored", "letter_case.ini", "  section ", " KEY  ", "d", "v"},
        {"tabs around caller names matter", "letter_case.ini", "section", "\tkey", "d", "d"},
        {"first duplicate key wins", "duplicates.ini", "s", "k", "d", "first"},
        {"only the first duplicate section searched", "duplicates.ini", "s", "only", "d", "d"},
        {"missing section gives the default", "duplicates.ini", "none", "k", "d", "d"},
        {"missing key gives the default", "duplicates.ini", "s", "none", "def", "def"},
        {"missing file gives the default", "no_such_file.ini", "s", "k", "d", "d"},
        {"default loses trailing spaces", "no_such_file.ini", "s", "k", " d  ", " d"},
        {"UTF-8 byte order mark skipped", "encodings.ini", "bom", "k", "d", "after bom"},
        {"UTF-8 section name, case ignored", "encodings.ini", "\xC3\x89T\xC3\x89", "utf8", "d",
         QString::fromUtf8("café")},
        {"invalid UTF-8 read as Latin-1", "encodings.ini", "\xC3\xA9t\xC3\xA9", "latin1", "d",
         QString::fromUtf8("café")},
    };
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.behaviour);
        const ProfileFile profile(fixture(c.file));
        EXPECT_EQ(profile.readString(QString::fromUtf8(c.section), QString::fromUtf8(c.key), QString::fromUtf8(c.def)),
                  c.expected);
    }
}

TEST(ProfileFileRead, IntegersReadTheLeadingDecimalNumber)
{
    const struct
    {
        const char *key;
        int expected;
    } cases[] = {{"suffix", 42},    {"neg", -7},    {"plus", 3}, {"letters", 0}, {"empty", 0},     {"huge", INT_MAX},
                 {"tiny", INT_MIN}, {"quoted", 12}, {"sign", 0}, {"zero", 0},    {"missing", 1234}};
    const ProfileFile profile(fixture("integers.ini"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(profile.readInteger("n", c.key, 1234), c.expected);
    }
    EXPECT_TRUE(profile.readBool("n", "neg", false));
    EXPECT_FALSE(profile.readBool("n", "letters", true)) << "a present value without digits is 0, not the default";
    EXPECT_TRUE(profile.readBool("n", "missing", true));
    EXPECT_FALSE(profile.readBool("n", "missing", false));
}

TEST(ProfileFileRead, ListingsKeepFileOrderAndDuplicates)
{
    EXPECT_EQ(ProfileFile(fixture("duplicates.ini")).sectionNames(), QStringList({"s", "S"}));
    EXPECT_EQ(ProfileFile(fixture("duplicates.ini")).keyNames("S"), QStringList({"k", "K"}))
        << "keys of the first section of that name";
    EXPECT_EQ(ProfileFile(fixture("key_lines.ini")).keyNames("s"), QStringList({"k", "name2", "spaced key", "k2"}));
    EXPECT_EQ(ProfileFile(fixture("comments.ini")).keyNames("s"), QStringList({"#hash", "semi"}));
    EXPECT_EQ(ProfileFile(fixture("section_headers.ini")).sectionNames(), QStringList({"section1", "two", "open", ""}));
    const QList<QPair<QString, QString>> pairs = ProfileFile(fixture("duplicates.ini")).keyValues("s");
    EXPECT_EQ(pairs, (QList<QPair<QString, QString>>{{"k", "first"}, {"K", "first"}})) << "as readString reads them";
    EXPECT_TRUE(ProfileFile(fixture("no_such_file.ini")).sectionNames().isEmpty());
    EXPECT_TRUE(ProfileFile(fixture("duplicates.ini")).keyNames("none").isEmpty());
}

TEST(ProfileFileRead, LongValuesAndNameListsAreCut)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("long.ini");
    QByteArray bytes = "[s]\r\nlong=" + QByteArray(3000, 'v') + "\r\nquoted=\"" + QByteArray(2046, 'q') + "\"\r\n";
    for (int i = 0; i < 2000; ++i)
        bytes += "[section" + QByteArray::number(i) + "]\r\n"; // about 23 000 bytes of names
    writeFile(path, bytes);
    const ProfileFile profile(path);

    EXPECT_EQ(profile.readString("s", "long", ""), QString(2047, 'v'));
    EXPECT_EQ(profile.readString("s", "quoted", ""), QString(2046, 'q')) << "quotes go before the value is cut";
    EXPECT_EQ(profile.readString("s", "none", QString(3000, 'd')).size(), 2047);

    const QStringList names = profile.sectionNames();
    qsizetype bytesUsed = 0;
    for (const QString &name : names)
        bytesUsed += name.toUtf8().size() + 1;
    EXPECT_EQ(bytesUsed, ProfileFile::MaxNameListBytes);
    EXPECT_TRUE(QString("section%1").arg(names.size() - 2).startsWith(names.last())) << "the last name is cut";
    EXPECT_NE(names.last(), QString("section%1").arg(names.size() - 2));
}

TEST(ProfileFileRead, FilesThatAreNotTextNeverBreakTheReader)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("junk.ini");
    QRandomGenerator random(7);
    const QByteArray samples[] = {
        QByteArray("[s]\0k=a\0b\r\nk2\0=x", 17),
        QByteArray(4 * 1024 * 1024, '[') + "]\r\n",
        "[s]\r\nk=" + QByteArray(8 * 1024 * 1024, 'x'),
        QByteArray("\xFF\xFE[\x00s\x00]\x00", 9),
        QByteArray("\r\r\n\n\r"),
    };
    for (const QByteArray &sample : samples) {
        writeFile(path, sample);
        const ProfileFile profile(path);
        for (const QString &section : profile.sectionNames())
            for (const QString &key : profile.keyNames(section))
                EXPECT_LE(profile.readString(section, key, "").size(), ProfileFile::MaxValueLength);
    }
    EXPECT_EQ(ProfileFile(path).sectionNames(), QStringList());
    for (int round = 0; round < 50; ++round) {
        QByteArray noise(4096, '\0');
        for (char &byte : noise)
            byte = char(random.bounded(256));
        writeFile(path, "[s]\r\n" + noise);
        const ProfileFile profile(path);
        for (const QString &key : profile.keyNames("s"))
            profile.readString("s", key, "");
    }
    writeFile(path, QByteArray("[s]\r\nk=a\0b\r\n", 12));
    EXPECT_EQ(ProfileFile(path).readString("s", "k", ""), QString::fromLatin1("a\0b", 3)) << "NUL is just a byte";
}

struct WriteCase
{
    const char *behaviour;
    QByteArray before;
    std::function<void(ProfileFile &)> write;
    QByteArray after;
};

TEST(ProfileFileWrite, WritesTouchOnlyTheirLines)
{
    const WriteCase cases[] = {
        {"missing file created",
         {},
         [](ProfileFile &p) { p.writeString("Setup", "Name", "x"); },
         "[Setup]\r\nName=x\r\n"},
        {"value replaced, file spelling of names kept", "[SeTup]\r\n  NAME = old \r\n",
         [](ProfileFile &p) { p.writeString("setup", "name", "new"); }, "[SeTup]\r\nNAME=new\r\n"},
        {"new key after the last key line", "[a]\r\nk=1\r\n\r\n;note\r\n[b]\r\nk=2\r\n",
         [](ProfileFile &p) { p.writeInteger("a", "n", -5); }, "[a]\r\nk=1\r\nn=-5\r\n\r\n;note\r\n[b]\r\nk=2\r\n"},
        {"new key in a section without keys", "[a]\r\n;only a comment\r\n",
         [](ProfileFile &p) { p.writeBool("a", "b", true); }, "[a]\r\nb=1\r\n;only a comment\r\n"},
        {"new section at the end without blank line", "top line\nx=1\n[a]\nk=1",
         [](ProfileFile &p) { p.writeBool("b", "flag", false); }, "top line\r\nx=1\r\n[a]\r\nk=1\r\n[b]\r\nflag=0\r\n"},
        {"untouched lines keep their bytes", "\xEF\xBB\xBF  ; caf\xE9 \t\r[a]\r\n  odd line  \r\nk=1\r\n",
         [](ProfileFile &p) { p.writeString("a", "k", "2"); },
         "\xEF\xBB\xBF  ; caf\xE9 \t\r\n[a]\r\n  odd line  \r\nk=2\r\n"},
        {"only the first duplicate is replaced", "[a]\r\nk=1\r\nk=2\r\n[A]\r\nk=3\r\n",
         [](ProfileFile &p) { p.writeString("a", "k", "x"); }, "[a]\r\nk=x\r\nk=2\r\n[A]\r\nk=3\r\n"},
        {"line breaks in a value become spaces", "", [](ProfileFile &p) { p.writeString("a", "k", "1\r\n[b]\nx=2"); },
         "[a]\r\nk=1  [b] x=2\r\n"},
        {"delete removes every line of the key", "[a]\r\nk=1\r\nj=2\r\nK=3\r\n[b]\r\nk=4\r\n",
         [](ProfileFile &p) { p.deleteKey("a", "k"); }, "[a]\r\nj=2\r\n[b]\r\nk=4\r\n"},
        {"deleting a missing key changes nothing", "[a]\nk=1\n", [](ProfileFile &p) { p.deleteKey("a", "x"); },
         "[a]\nk=1\n"},
        {"erase keeps comments and blank lines", "[a]\r\nk=1\r\n;c\r\n\r\nno equals\r\n[b]\r\nk=2\r\n",
         [](ProfileFile &p) { p.eraseSection(" A "); }, ";c\r\n\r\nno equals\r\n[b]\r\nk=2\r\n"},
        {"erase removes every section of the name", "[a]\r\nk=1\r\n[b]\r\nk=2\r\n[A]\r\nk=3\r\n",
         [](ProfileFile &p) { p.eraseSection("a"); }, "[b]\r\nk=2\r\n"},
        {"erasing a missing section changes nothing", "[a]\nk=1", [](ProfileFile &p) { p.eraseSection("b"); },
         "[a]\nk=1"},
    };
    QTemporaryDir dir;
    int index = 0;
    for (const WriteCase &c : cases) {
        SCOPED_TRACE(c.behaviour);
        const QString path = dir.filePath(QString("case%1.ini").arg(index++));
        if (!c.before.isNull())
            writeFile(path, c.before);
        ProfileFile profile(path);
        c.write(profile);
        EXPECT_EQ(readFile(path), c.after);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), index) << "no temporary file left behind";
}

TEST(ProfileFileWrite, WrittenValuesReadBack)
{
    QTemporaryDir dir;
    ProfileFile profile(dir.filePath("p.ini"));
    profile.writeString("Info", "Name", QString::fromUtf8("Zoë ✓"));
    profile.writeInteger("Info", "Count", INT_MIN);
    profile.writeString("", "empty section", "ok");
    EXPECT_EQ(profile.readString("info", "name", ""), QString::fromUtf8("Zoë ✓"));
    EXPECT_EQ(profile.readInteger("Info", "Count", 0), INT_MIN);
    EXPECT_EQ(profile.readString("", "empty section", ""), "ok");
    profile.deleteKey("Info", "Name");
    EXPECT_EQ(profile.readString("Info", "Name", "gone"), "gone");
    EXPECT_EQ(profile.keyNames("Info"), QStringList({"Count"}));
}

TEST(ProfileFileWrite, WriteKeepsThePermissions)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("p.ini");
    writeFile(path, "[a]\r\nk=1\r\n");
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, permissions));
    ProfileFile(path).writeString("a", "k", "2");
    const int ownerGroupOther = 0x70FF; // the "user" bits describe whoever asks, not the file
    EXPECT_EQ(int(QFile::permissions(path)) & ownerGroupOther, int(permissions) & ownerGroupOther);
}

TEST(ProfileFileWrite, FailedWritesThrowAndLeaveTheFile)
{
    QTemporaryDir dir;
    const QString noDirectory = dir.filePath("missing/p.ini");
    try {
        ProfileFile(noDirectory).writeString("a", "k", "1");
        FAIL() << "no error for a missing directory";
    } catch (const ProfileWriteError &error) {
        EXPECT_EQ(error.text().toStdString(),
                  ("Unable to write to " + noDirectory + ": No such file or directory").toStdString());
    }
    EXPECT_THROW(ProfileFile(dir.path()).writeString("a", "k", "1"), ProfileWriteError) << "a directory";
    EXPECT_THROW(ProfileFile("/dev/null").writeString("a", "k", "1"), ProfileWriteError) << "not a regular file";
    EXPECT_EQ(ProfileFile("/dev/zero").readString("a", "k", "d"), "d") << "a device is never read";

    const QString path = dir.filePath("p.ini");
    const QByteArray before = "[a]\r\nk=1\r\n";
    writeFile(path, before);
    ProfileFile profile(path);
    const std::pair<const char *, const char *> unstorable[] = {
        {"a", "k=x"}, {"a]b", "k"}, {"a", ""}, {"a", ";k"}, {"a", "[k"}, {"a\nb", "k"}, {"a", "k\r"}, {"a", "k\t"},
    };
    for (const auto &[section, key] : unstorable) {
        SCOPED_TRACE(QString("%1 / %2").arg(section, key).toStdString());
        EXPECT_THROW(profile.writeString(section, key, "v"), ProfileWriteError);
    }
    EXPECT_EQ(readFile(path), before);
}

} // namespace
