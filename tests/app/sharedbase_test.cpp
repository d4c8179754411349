// The window beside the cron job in one base directory: nothing the window does
// between the job's starts may cost the job's work or the window's.

#include "app/projectdialogs.h"
#include "platform/desktopplatform.h"
#include "project/store/urltable.h"
#include "support/enginefarm.h"
#include "support/gui/windowfixture.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

using qctest::WindowTest;

namespace {

class SharedBase : public WindowTest
{
protected:
    qctest::EngineFarm farm;

    void SetUp() override
    {
        ASSERT_TRUE(farm.start()) << farm.lastError().toStdString();
        qctest::FarmEngine alpha;
        alpha.action = farm.script("accept.cgi");
        alpha.column = "E1";
        qctest::writeFile(base.file("engines205.txt"), qctest::engineSection("Alpha", alpha));
        qctest::writeFile(base.file("p.qlc"), "[Setup]\r\nProject ID=1\r\n[Search Engine Settings]\r\nEngine List=1\r\n"
                                              "[Submit]\r\nDownload Engines=0\r\nTimeout=5\r\n"
                                              "[Info]\r\nFirst Name=Ann\r\nLast Name=Lee\r\n"
                                              "[Emails]\r\nEmail0=ann@lee.example\r\n[Search Engines]\r\nAlpha=1\r\n");
        qctest::writeFile(base.file("x.txt"), "http://a.example/\nhttp://b.example/\n");
    }

    // The unattended program in the base directory, as cron starts it; its exit status.
    int cron(const QStringList &arguments)
    {
        QProcess process;
        process.setWorkingDirectory(base.path());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(qEnvironmentVariable("QC_BINARY_DIR") + QStringLiteral("/quillcast"), arguments);
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished(5000);
            return -1;
        }
        return process.exitCode();
    }

    // The desktop's own file dialog over the base directory, cancelled once it
    // lists the table's write-ahead log: by then it has looked at every file there.
    bool showAndCancelFileDialog()
    {
        DesktopPlatform desktop(DesktopPlatform::Display::Shown);
        Platform::FileDialog dialog = ProjectFileDialog(base.path(), QStringLiteral("Open"));
        dialog.filter = QStringLiteral("All files (*)|*");
        bool listed = false;
        int looks = 0;
        std::function<void()> cancelWhenListed = [&] {
            auto *shown = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            const auto *model = shown ? shown->findChild<QFileSystemModel *>() : nullptr;
            listed = model && model->index(base.file("urls2.db-wal")).isValid() &&
                     model->index(base.file("urls2.db-shm")).isValid();
            if (shown && (listed || ++looks > 2000))
                shown->reject();
            else
                QTimer::singleShot(5, cancelWhenListed);
        };
        QTimer::singleShot(0, cancelWhenListed);
        EXPECT_EQ(desktop.openFileName(&window(), dialog), QString());
        return listed;
    }
};

TEST_F(SharedBase, AFileDialogBesideTheOpenTableCostsNoRowAndNoFlag)
{
    start();
    platform.fileAnswers.enqueue(base.file("p.qlc"));
    window().openProject();
    ASSERT_EQ(window().projectId(), 1);
    ASSERT_EQ(window().urlTable().rowCount(), 0);
    ASSERT_TRUE(showAndCancelFileDialog());

    ASSERT_EQ(cron({"/load", "p.qlc", "/urllist", "x.txt", "/exit"}), 0);
    find<QLineEdit>("SettingsURLAddEdit")->setText("http://window.example/");
    find<QPushButton>("SettingsURLAddBitBtn")->click();
    ASSERT_EQ(cron({"/load", "p.qlc", "/run", "/exit"}), 0);
    EXPECT_EQ(farm.received().size(), 3) << "the run saw the window's row";
    finish();

    UrlTable table(base.path());
    table.setFilter(1);
    QStringList stillToSend;
    for (const qint64 row : table.rowIds())
        if (table.flag(row, QStringLiteral("E1")).value_or(true))
            stillToSend << table.url(row);
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_EQ(stillToSend.join(u' ').toStdString(), "") << "every URL was sent once";
}

} // namespace
