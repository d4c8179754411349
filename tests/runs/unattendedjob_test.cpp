// The unattended job in this process: this program links no widget library,
// so the job cannot make a window even by mistake.

#include "runs/commandline.h"
#include "runs/unattendedjob.h"
#include "support/enginefarm.h"
#include "support/tempdir.h"

#include <QFile>
#include <gtest/gtest.h>
#include <ostream>

namespace {

struct JobCase
{
    const char *name;
    QByteArray urlList;
    int status;
    int requests;
    QByteArray says; // a line of what the job writes; "" when it must write nothing
    QByteArray moreChoices = "";
    QStringList moreSwitches = {};
};

void PrintTo(const JobCase &c, std::ostream *os)
{
    *os << c.name;
}

class UnattendedJobTest : public ::testing::TestWithParam<JobCase>
{
protected:
    qctest::EngineFarm farm;
    qctest::ScopedBaseDir base;
};

TEST_P(UnattendedJobTest, ImportsSubmitsAndTellsWhatWentWrong)
{
    const JobCase &c = GetParam();
    ASSERT_TRUE(farm.start()) << farm.lastError().toStdString();
    qctest::FarmEngine alpha;
    alpha.action = farm.script("accept.cgi");
    alpha.column = "E1";
    qctest::writeFile(base.file("engines205.txt"), qctest::engineSection("Alpha", alpha));
    qctest::writeFile(base.file("site.qlc"), "[Setup]\nProject ID=1\n[Submit]\nDownload Engines=0\nTimeout=5\n"
                                             "[Info]\nFirst Name=Ann\nLast Name=Lee\n[Emails]\nEmail0=a@lee.example\n"
                                             "[Search Engines]\nAlpha=1\n" +
                                                 c.moreChoices);
    qctest::writeFile(base.file("urls.txt"), c.urlList);

    QByteArray written;
    UnattendedJob job(base.path(),
                      ParseCommandLine(QStringList{"quillcast", "/load", "site.qlc", "/urllist", "urls.txt", "/run"} +
                                       c.moreSwitches),
                      JobIdentity{"Quillcast", "http://home.example/", "quillcast.jpg", "http://lists.example/a.txt",
                                  "http://lists.example/m.txt"},
                      [&written](const QByteArray &bytes) { written += bytes; });
    EXPECT_EQ(job.run(), c.status) << written.toStdString();
    EXPECT_EQ(farm.received().size(), c.requests);
    if (c.says.isEmpty())
        EXPECT_EQ(written, "");
    else
        EXPECT_TRUE(("\n" + written).contains("\n" + c.says + "\n")) << written.toStdString();
    // The report's picture comes from the program itself, as with the window.
    EXPECT_EQ(QFile::exists(base.file("quillcast.jpg")), c.requests > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Job, UnattendedJobTest,
    ::testing::Values(
        JobCase{"ListSubmittedSilently", "http://a.example/\nhttp://b.example/\n", 0, 2, ""},
        JobCase{"ListWithoutValidUrlRefused", "# the site\nftp://a.example/\n", 1, 0,
                "URL List not imported: urls.txt holds no valid URL (1 line, rejected); the project's "
                "URLs are left as they are"},
        // A misspelt choice would leave the engine unasked run after run without a word.
        JobCase{"UnknownEngineNamed", "http://a.example/\n", 3, 1,
                "The project chooses \"alpha\" under [Search Engines], but no engine list holds an "
                "engine of that name; the engines are: Alpha",
                "alpha=1\n"},
        // No request failed: the headline must not say so.
        JobCase{"UnknownEngineNeedsLookingAt", "http://a.example/\n", 3, 1,
                "quillcast: the run finished, but something needs looking at", "alpha=1\n"},
        JobCase{"DebugShowsTheRunsLines", "http://a.example/\n", 0, 1, "Submitting URL's to Alpha", "", {"/debug"}},
        JobCase{"DebugShowsTheParametersWithTheirValues", "http://a.example/\n", 0, 1, "/urllist urls.txt", "",
                {"/debug"}}),
    [](const ::testing::TestParamInfo<JobCase> &info) { return std::string(info.param.name); });

} // namespace
