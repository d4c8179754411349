#include "support/runs/farmrun.h"

#include "runs/searchrun.h"
#include "runs/submissionrun.h"

namespace qctest {

void FarmRunTest::SetUp()
{
    ASSERT_TRUE(farm.start()) << farm.lastError().toStdString();
    table = std::make_unique<UrlTable>(base.path());
    table->setFilter(ProjectId);
    http.setSocketLayerLoaded(true);
    http.setUserAgent("Quillcast"); // as the window sets it

    ProjectSettings &settings = setup.settings;
    settings.projectId = ProjectId;
    settings.firstName = QStringLiteral("Ann");
    settings.lastName = QStringLiteral("Lee");
    settings.emails = {QStringLiteral("ann@lee.example")};
    settings.timeoutText = QStringLiteral("5");
    settings.downloadEngines = false;
    settings.statusLog = true;
    setup.projectFile = base.file(QStringLiteral("site.qlc"));
    setup.projectDir = base.file(QStringLiteral("Projects/1"));
    setup.reportPath = setup.projectDir + QStringLiteral("/StatusLog.htm");
    setup.autoListPath = base.file(QStringLiteral("engines205.txt"));
    setup.manualListPath = base.file(QStringLiteral("manual_engines205.txt"));
    setup.report.AppTitle = QStringLiteral("Quillcast");
    setup.report.ReportImageFile = QStringLiteral("quillcast.jpg");
}

void FarmRunTest::prepare(const QList<RunEngine> &engines, const QStringList &urls)
{
    QByteArray list;
    for (const RunEngine &e : engines) {
        list += engineSection(e.name, e.engine);
        if (e.chosen)
            setup.settings.chosenEngines.insert(QString::fromUtf8(e.name));
    }
    writeFile(setup.autoListPath, list);
    setup.engines = EngineCatalogue::load(setup.autoListPath);
    for (const QString &url : urls)
        table->addUrl(ProjectId, url);
}

FarmEngine FarmRunTest::engine(const QByteArray &script, const QByteArray &column) const
{
    FarmEngine made;
    made.action = farm.script(script);
    made.column = column;
    return made;
}

QList<EngineTally> FarmRunTest::submit()
{
    SubmissionRun run(setup, *table, http, control, observer);
    run.run();
    return run.tally();
}

QList<EngineTally> FarmRunTest::search()
{
    SearchRun run(setup, *table, http, control, observer);
    run.run();
    return run.tally();
}

void FarmRunTest::whenReceived(int count, const std::function<void()> &action)
{
    auto poll = std::make_unique<QTimer>();
    poll->setInterval(20);
    QTimer *timer = poll.get();
    QObject::connect(timer, &QTimer::timeout, timer, [this, timer, count, action] {
        if (farm.received().size() < count)
            return;
        timer->stop();
        action();
    });
    timer->start();
    m_polls.push_back(std::move(poll));
}

QList<bool> FarmRunTest::flags(const QString &column)
{
    QList<bool> values;
    for (const qint64 row : table->rowIds())
        values << table->flag(row, column).value_or(false);
    return values;
}

QByteArray FarmRunTest::reportRows() const
{
    const QByteArray report = readFile(setup.reportPath);
    const QByteArray start = "</tr></thead>\r\n\r\n";
    const QByteArray end = "</table>\r\n\r\n";
    EXPECT_TRUE(report.contains("<title>" + setup.projectFile.toUtf8() + "</title>"));
    EXPECT_TRUE(report.endsWith("</body>\r\n</html>\r\n\r\n")) << report.toStdString();
    const qsizetype from = report.indexOf(start);
    const qsizetype to = from < 0 ? -1 : report.indexOf(end, from);
    if (to < 0)
        return report;
    return report.mid(from + start.size(), to - from - start.size());
}

QByteArray reportHeading(const QByteArray &engine)
{
    return "<tr><th colspan=2>" + engine + "</th></tr>\r\n\r\n";
}

QByteArray reportUrlRow(const QByteArray &url, int answer)
{
    return "<tr>\r\n<td>\r\n\t<a href=\"" + QByteArray(url).replace(" ", "%20") + "\" target=newbie>" + url +
           "</a>\r\n</td>\r\n\r\n<td>\r\n\t<a href=\"PR_" + QByteArray::number(answer) +
           ".htm\" target=newbie>View Server Response</a>\r\n</td>\r\n</tr>\r\n\r\n";
}

QByteArray reportWideRow(const QByteArray &text)
{
    return "<tr>\r\n<td colspan=2>\r\n\t" + text + "\r\n</td>\r\n</tr>\r\n\r\n";
}

} // namespace qctest
