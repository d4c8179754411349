// The unattended program killed (SIGKILL) at seeded pseudo-random moments of a
// submission run, several times in a row, then run to the end. Whatever moment
// the kill hits, urls2.db may call a URL done (0) for an engine only when the
// engine has really taken it: the farm recorded that URL for the engine's
// script (it records before it answers) and the script is one that takes URLs
// (200 or a redirection). Anything else would skip the URL in every later run.

#include "project/store/urltable.h"
#include "support/enginefarm.h"
#include "support/tempdir.h"

#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

constexpr int UrlCount = 20;
constexpr int Kills = 8;
constexpr int ProjectId = 1;

struct Engine
{
    const char *name;
    const char *script;
    const char *column;
    const char *method;
    int sleep;
    bool takesUrls;
};

// The failing engine comes before the one that waits a second per URL, so the
// kills land in all three.
const Engine Engines[] = {
    {"Alpha", "accept.cgi", "E1", "post", 0, true},
    {"Bravo", "fail.cgi", "E2", "post", 0, false},
    {"Charlie", "redirect.cgi", "E3", "get", 1, true},
};

// The url field of a form, from the body of a post or the query of a get.
QString formUrl(const qctest::FarmRequest &request)
{
    QByteArray form = request.body;
    if (request.requestLine.startsWith("GET ")) {
        const QByteArray target = request.requestLine.split(' ').value(1);
        form = target.mid(target.indexOf('?') + 1);
    }
    for (const QByteArray &pair : form.split('&')) {
        if (pair.startsWith("url="))
            return QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(4).replace('+', ' ')));
    }
    return QString();
}

class KilledRun : public ::testing::Test
{
protected:
    qctest::EngineFarm farm;
    QTemporaryDir base;

    void SetUp() override
    {
        ASSERT_TRUE(base.isValid());
        ASSERT_TRUE(farm.start()) << farm.lastError().toStdString();
        ASSERT_TRUE(QFile::exists(program())) << "build the quillcast target first: " << program().toStdString();

        QByteArray list;
        QByteArray checked;
        for (const Engine &engine : Engines) {
            qctest::FarmEngine section;
            section.action = farm.script(engine.script);
            section.method = engine.method;
            section.sleep = engine.sleep;
            section.column = engine.column;
            list += qctest::engineSection(engine.name, section);
            checked += QByteArray(engine.name) + "=1\r\n";
        }
        qctest::writeFile(base.filePath("engines205.txt"), list);
        qctest::writeFile(base.filePath("site.qlc"),
                          "[Setup]\r\nProject ID=1\r\n[Search Engine Settings]\r\nEngine List=1\r\n"
                          "[Submit]\r\nDownload Engines=0\r\nTimeout=5\r\nStatus Log=1\r\n"
                          "[Info]\r\nFirst Name=Ann\r\nLast Name=Lee\r\n[Emails]\r\nEmail0=ann@lee.example\r\n"
                          "[Search Engines]\r\n" +
                              checked);
        UrlTable table(base.path());
        for (int i = 0; i < UrlCount; ++i)
            table.addUrl(ProjectId, QStringLiteral("http://site%1.example/page.html").arg(i));
    }

    static QString program() { return qEnvironmentVariable("QC_BINARY_DIR") + QStringLiteral("/quillcast"); }

    void startRun(QProcess &process)
    {
        process.setWorkingDirectory(base.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(program(), {"/load", "site.qlc", "/run", "/exit"});
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    // Waits until the farm holds at least count records or the run ended by itself (at most 30 s).
    void waitForRecords(QProcess &process, qsizetype count)
    {
        QElapsedTimer waited;
        waited.start();
        while (farm.received().size() < count && process.state() == QProcess::Running && waited.elapsed() < 30000)
            process.waitForFinished(20);
    }

    // The flags that say done without the engine having taken the URL.
    QStringList doneButNotTaken()
    {
        QMap<QByteArray, QSet<QString>> taken;
        for (const qctest::FarmRequest &request : farm.received())
            taken[request.script].insert(formUrl(request));
        QStringList wrong;
        UrlTable table(base.path());
        table.setFilter(ProjectId);
        for (const Engine &engine : Engines) {
            for (const UrlTable::UrlRow &row : table.viewRows(QLatin1String(engine.column))) {
                if (row.flag.value_or(true))
                    continue;
                if (!engine.takesUrls)
                    wrong << QStringLiteral("%1 done on %2, which takes nothing").arg(row.url, engine.name);
                else if (!taken.value(engine.script).contains(row.url))
                    wrong << QStringLiteral("%1 done on %2, which never received it").arg(row.url, engine.name);
            }
        }
        return wrong;
    }

    // The requests the next run sends at most: what the engines that take URLs
    // still have to do, and every URL to the failing one.
    int requestsLeft()
    {
        int left = 0;
        for (const Engine &engine : Engines)
            left += engine.takesUrls ? int(flags(engine.column).count(true)) : UrlCount;
        return left;
    }

    QList<bool> flags(const char *column)
    {
        UrlTable table(base.path());
        table.setFilter(ProjectId);
        QList<bool> values;
        for (const UrlTable::UrlRow &row : table.viewRows(QLatin1String(column)))
            values << row.flag.value_or(false);
        return values;
    }
};

TEST_F(KilledRun, AUrlIsDoneOnlyOnceTheEngineHasTakenIt)
{
    // Each kill comes after a number of the run's requests drawn from those it
    // still has to send, and a short while more.
    std::mt19937 random(20517);
    std::uniform_int_distribution<int> delayMs(0, 250);
    for (int kill = 1; kill <= Kills; ++kill) {
        const int records = std::uniform_int_distribution<int>(0, requestsLeft())(random);
        QProcess process;
        startRun(process);
        waitForRecords(process, farm.received().size() + records);
        process.waitForFinished(delayMs(random));
        const bool ended = process.state() != QProcess::Running;
        process.kill();
        process.waitForFinished(10000);
        ASSERT_EQ(process.state(), QProcess::NotRunning);
        const QStringList wrong = doneButNotTaken();
        EXPECT_TRUE(wrong.isEmpty()) << "after kill " << kill << (ended ? " (the run had ended by itself)" : "")
                                     << ":\n"
                                     << wrong.join(QLatin1Char('\n')).toStdString();
    }

    QProcess process;
    startRun(process);
    ASSERT_TRUE(process.waitForFinished(120000)) << "the last run did not end";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    // Bravo refuses every URL: the run ends, and says some requests failed.
    EXPECT_EQ(process.exitCode(), 3) << process.readAllStandardError().toStdString();
    const QStringList wrong = doneButNotTaken();
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(flags("E1"), QList<bool>(UrlCount, false));
    EXPECT_EQ(flags("E2"), QList<bool>(UrlCount, true));
    EXPECT_EQ(flags("E3"), QList<bool>(UrlCount, false));
}

} // namespace
