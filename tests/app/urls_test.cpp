// The URL commands of the window: add, import, replace from the URL list, enable all.

#include "app/urlcommands.h"
#include "project/session/projectsettings.h"
#include "project/store/urltable.h"
#include "runs/ui/statuslog.h"
#include "support/gui/windowfixture.h"
#include "support/loopbackpeer.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using qctest::WindowTest;

namespace {

class Urls : public WindowTest
{
protected:
    void SetUp() override
    {
        start();
        newProject();
        window().saveProject();
    }
    QString count() { return find<QLineEdit>("URLCountEdit")->text(); }
    QStringList urls()
    {
        QStringList result;
        for (qint64 id : window().urlTable().rowIds())
            result << window().urlTable().url(id);
        return result;
    }
};

TEST_F(Urls, AddStoresTheTextAsTypedAndCountsIt)
{
    auto *box = find<QLineEdit>("SettingsURLAddEdit");
    box->setText(" http://a.example/ ");
    find<QPushButton>("SettingsURLAddBitBtn")->click();
    box->setText(" http://a.example/ ");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(urls(), QStringList({" http://a.example/ ", " http://a.example/ "}));
    EXPECT_EQ(count(), QStringLiteral("2"));
    EXPECT_EQ(box->text(), QString());
    EXPECT_TRUE(window().isModified());
    const qint64 row = window().urlTable().rowIds().first();
    for (int column = 1; column <= 30; ++column)
        EXPECT_EQ(window().urlTable().flag(row, "E" + QString::number(column)), std::optional<bool>(true));

    QTest::keyClick(box, Qt::Key_Return); // empty: nothing
    EXPECT_EQ(count(), QStringLiteral("2"));
}

TEST_F(Urls, AUrlHoldingAQuoteIsStoredLikeAnyOther)
{
    find<QLineEdit>("SettingsURLAddEdit")->setText("http://o'brien.example/?q='x'");
    window().urlCommands().addUrl();
    EXPECT_EQ(urls(), QStringList({"http://o'brien.example/?q='x'"}));
    window().urlTable().setFlag("E3", 1, "http://o'brien.example/?q='x'", false);
    EXPECT_EQ(window().urlTable().flag(window().urlTable().rowIds().first(), "E3"), std::optional<bool>(false));
}

TEST_F(Urls, ImportTakesTheUrlsLeavesFlagsBlankAndTellsWhatWasSkipped)
{
    qctest::writeFile(base.file("list.txt"), "http://a.example/\n\nnot a url\r\nhttp://b.example/\nhttp://a.example/");
    platform.fileAnswers.enqueue(base.file("list.txt"));
    find<QAction>("Importfromfile")->trigger();
    const auto dialog = platform.ofKind("open").last().fileDialog;
    EXPECT_EQ(dialog.objectName, QStringLiteral("DataOpenDialog"));
    EXPECT_EQ(dialog.title, QStringLiteral("Import data from a text file"));
    EXPECT_EQ(dialog.filter, QStringLiteral("Text file (*.txt)|*.txt"));
    EXPECT_EQ(dialog.defaultSuffix, QStringLiteral("txt"));
    EXPECT_EQ(urls(), QStringList({"http://a.example/", "http://b.example/"}));
    EXPECT_EQ(count(), QStringLiteral("2"));
    EXPECT_EQ(window().urlTable().flag(window().urlTable().rowIds().first(), "E1"), std::optional<bool>(false));
    const auto *log = find<StatusLog>("SubmitStatusRichEdit");
    ASSERT_EQ(log->lineCount(), 1);
    EXPECT_EQ(log->lineText(0),
              QStringLiteral("list.txt, line 3: not an http:// or https:// URL: \"not a url\" (skipped)"));
    EXPECT_TRUE(log->lineStyle(0).underline) << "shown as a failure";
    EXPECT_TRUE(platform.ofKind("report").isEmpty()) << "someone is watching";
}

TEST_F(Urls, AnImportWithoutAValidUrlChangesNothingAndSaysWhy)
{
    window().urlTable().addUrl(1, "http://kept.example/");
    qctest::writeFile(base.file("bad.txt"), "kept.example\n# nothing else\n");
    platform.fileAnswers.enqueue(base.file("bad.txt"));
    find<QAction>("Importfromfile")->trigger();
    ASSERT_EQ(platform.captions(), QStringList({"URL list not imported"}));
    EXPECT_TRUE(platform.ofKind("message").last().text.contains("holds no valid URL"))
        << platform.ofKind("message").last().text.toStdString();
    EXPECT_EQ(urls(), QStringList({"http://kept.example/"}));
}

TEST_F(Urls, ASitemapIsImportedFromATypedAddress)
{
    window().urlTable().addUrl(1, "http://gone.example/");
    qctest::LoopbackPeer site;
    site.readRequest()
        .send("HTTP/1.0 200 OK\r\nContent-Type: application/xml\r\n\r\n"
              "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">"
              "<url><loc>http://a.example/</loc></url><url><loc>http://b.example/</loc></url></urlset>")
        .closeConnection();
    ASSERT_TRUE(site.start());
    platform.textAnswers.enqueue(QString::fromUtf8(site.url("/sitemap.xml")));
    find<QAction>("ImportSitemapAddress")->trigger();
    const auto prompt = platform.ofKind("text").last().prompt;
    EXPECT_EQ(prompt.objectName, QStringLiteral("SitemapAddressDialog"));
    EXPECT_EQ(prompt.label, QStringLiteral("The sitemap's address (http:// or https://):"));
    EXPECT_TRUE(platform.ofKind("message").isEmpty());
    EXPECT_EQ(urls(), QStringList({"http://a.example/", "http://b.example/"}));
    EXPECT_TRUE(site.request().startsWith("GET /sitemap.xml HTTP/1.")) << site.request().toStdString();
    EXPECT_TRUE(window().isModified());

    // A file name typed here is not an address; a cancelled prompt does nothing.
    platform.textAnswers.enqueue(QStringLiteral("sitemap.xml"));
    find<QAction>("ImportSitemapAddress")->trigger();
    find<QAction>("ImportSitemapAddress")->trigger();
    ASSERT_EQ(platform.captions(), QStringList({"Sitemap not read"}));
    EXPECT_EQ(urls(), QStringList({"http://a.example/", "http://b.example/"}));
}

TEST_F(Urls, EnableAllTouchesOnlyThisProject)
{
    window().urlTable().importFile(1, [this] {
        qctest::writeFile(base.file("l.txt"), "one\ntwo\n");
        return base.file("l.txt");
    }());
    window().urlTable().importFile(2, base.file("l.txt"));
    window().saveProject();
    find<QPushButton>("EnableAllURLsBitBtn")->click();
    EXPECT_FALSE(window().isModified());
    for (qint64 row : window().urlTable().rowIds())
        EXPECT_EQ(window().urlTable().flag(row, "E30"), std::optional<bool>(true));
    window().urlTable().setFilter(2);
    for (qint64 row : window().urlTable().rowIds())
        EXPECT_EQ(window().urlTable().flag(row, "E30"), std::optional<bool>(false));
}

class UrlList : public WindowTest
{
};

TEST_F(UrlList, AListThatCannotBeReadChangesNothingAndIsReported)
{
    qctest::writeFile(base.file("site.qlc"), "[Setup]\r\nProject ID=4\r\n");
    {
        start();
        window().urlTable().addUrl(4, "http://old.example/");
    }
    start({"/load", "site.qlc", "/urllist", "nothing.txt"});
    window().FormActivate();
    EXPECT_EQ(window().projectId(), 4);
    ASSERT_FALSE(platform.ofKind("message").isEmpty());
    const auto box = platform.ofKind("message").last();
    EXPECT_EQ(box.caption, QStringLiteral("URL List not found"));
    EXPECT_TRUE(box.text.startsWith("Cannot open the URL list \"" + base.file("nothing.txt") + "\": "))
        << box.text.toStdString();
    EXPECT_EQ(box.icon, Platform::Icon::Stop);
    EXPECT_EQ(window().urlTable().rowCount(), 1);
}

TEST_F(UrlList, ReplacedUrlsAreEnabledForEveryEngine)
{
    qctest::writeFile(base.file("site.qlc"), "[Setup]\r\nProject ID=4\r\n");
    qctest::writeFile(base.file("urls.txt"), "http://a.example/\nhttp://b.example/\nnot a url\n");
    start({"/load", "site.qlc", "/urllist", "urls.txt"});
    window().FormActivate();
    EXPECT_TRUE(platform.ofKind("message").isEmpty());
    ASSERT_EQ(window().urlTable().rowCount(), 2);
    const auto *log = find<StatusLog>("SubmitStatusRichEdit");
    ASSERT_EQ(log->lineCount(), 1) << "opening the project does not wipe what the import told";
    EXPECT_EQ(log->lineText(0),
              QStringLiteral("urls.txt, line 3: not an http:// or https:// URL: \"not a url\" (skipped)"));
    EXPECT_EQ(window().urlTable().flag(window().urlTable().rowIds().last(), "E17"), std::optional<bool>(true));
    EXPECT_FALSE(window().isModified());
}

TEST_F(UrlList, KeyStepsRunInTheWindowAndAFailedStepEndsTheSteps)
{
    QDir().mkpath(base.file("root"));
    const struct
    {
        QByteArray key;
        QStringList steps;
        QString caption; // "" when every step runs
    } cases[] = {{"", {"/newkey", "/keyfile", "root"}, ""},
                 {"bad key", {"/newkey", "/run"}, "IndexNow key not made"},
                 {"", {"/keyfile", "root", "/run"}, "Key file not written"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.steps.join(' ').toStdString());
        // No download: a run that should not start would otherwise fetch the publisher's lists.
        qctest::writeFile(base.file("site.qlc"), "[Setup]\r\nProject ID=4\r\n[Submit]\r\nDownload Engines=0\r\n"
                                                 "[IndexNow]\r\nKey=" +
                                                     c.key + "\r\n");
        platform.shown.clear();
        start(QStringList{"/load", "site.qlc"} + c.steps);
        window().FormActivate();
        const QString key = ProjectSettings::load(base.file("site.qlc")).indexNowKey;
        if (!c.caption.isEmpty()) {
            EXPECT_EQ(platform.captions(), QStringList{c.caption}) << "the steps after the failed one do not run";
            EXPECT_EQ(key, QString::fromUtf8(c.key));
            continue;
        }
        EXPECT_TRUE(platform.captions().isEmpty());
        EXPECT_TRUE(ProjectSettings::isValidIndexNowKey(key)) << key.toStdString();
        EXPECT_EQ(find<QLineEdit>("SettingsIndexNowKeyEdit")->text(), key);
        EXPECT_FALSE(window().isModified()) << "the key is saved already";
        EXPECT_EQ(qctest::readFile(base.file("root/" + key + ".txt")), key.toUtf8());
    }
}

TEST_F(UrlList, CommandLineMistakesAreToldAndPassedOver)
{
    start({"/load", "/run"});
    window().FormActivate();
    EXPECT_TRUE(platform.ofKind("message").isEmpty());
    EXPECT_EQ(window().projectId(), 0);
    const auto *log = find<StatusLog>("SubmitStatusRichEdit");
    ASSERT_EQ(log->lineCount(), 2);
    EXPECT_EQ(log->lineText(0), QStringLiteral("Command line: \"/load\" needs a file name after it"));
    EXPECT_EQ(log->lineText(1), QStringLiteral("Command line: \"/run\" needs a project named by \"/load\""));
    EXPECT_TRUE(log->lineStyle(0).underline);
    // Later activations do not repeat the start-up actions, and Open asks.
    window().FormActivate();
    EXPECT_EQ(log->lineCount(), 2);
    window().openProject();
    EXPECT_EQ(platform.ofKind("open").size(), 1);

    // A project that opens later leaves them in view.
    qctest::writeFile(base.file("p.qlc"), "[Setup]\r\nProject ID=4\r\n");
    platform.fileAnswers.enqueue(base.file("p.qlc"));
    window().openProject();
    ASSERT_EQ(window().projectId(), 4);
    EXPECT_EQ(log->lineCount(), 2);
    EXPECT_EQ(log->lineText(1), QStringLiteral("Command line: \"/run\" needs a project named by \"/load\""));
}

TEST_F(UrlList, LoadingANameThatIsNoProjectReportsIt)
{
    start({"/load", "missing.qlc"});
    window().FormActivate();
    ASSERT_FALSE(platform.ofKind("message").isEmpty());
    EXPECT_EQ(platform.ofKind("message").last().caption, QStringLiteral("Cannot open project"));
    EXPECT_EQ(platform.ofKind("message").last().text, base.file("missing.qlc"));
    EXPECT_EQ(window().projectId(), 0);
}

} // namespace
