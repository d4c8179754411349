// The run controls of the "Submit URL's" page and what the submission run and
// the URL search share: the start and end of a run, the timeout timer, the
// report file and the request itself.

#include "app/constants.h"
#include "app/mainform.h"
#include "app/memolines.h"
#include "app/pictures.h"
#include "app/platform.h"
#include "engines/ui/enginechecklist.h"
#include "net/httpclient.h"
#include "net/urlcodec.h"
#include "project/profilefile.h"
#include "project/settingskeys.h"
#include "project/urltable.h"
#include "runs/placeholders.h"
#include "runs/report.h"
#include "runs/runfiles.h"
#include "runs/ui/gauge.h"
#include "runs/ui/paintthrottle.h"
#include "runs/ui/statuslog.h"
#include "runs/ui/timeoutmeter.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTime>
#include <QTimer>

using namespace Quillcast;

namespace {

// How often a run lets the window paint: often enough to look live, and
// rarely enough that painting the window costs little beside the requests.
constexpr int PaintIntervalMs = 100;

} // namespace

struct TMainForm::RunReport
{
    QFile file;
    ReportContext context;
};

void TMainForm::connectRunControls()
{
    SubmitTimer = new QTimer(this);
    SubmitTimer->setObjectName(QStringLiteral("SubmitTimer"));
    SubmitTimer->setInterval(1000);
    connect(SubmitTimer, &QTimer::timeout, this, &TMainForm::SubmitTimerTimer);
    m_paintThrottle = new PaintThrottle(this, PaintIntervalMs, this);
    connectHttpEvents();
    // A redirection is known by its Location header wherever it stands among the
    // answer's headers, not only when it happens to be the last one.
    m_http->OnHeader = [this, handler = m_http->OnHeader](QObject *sender, const QByteArray &field,
                                                          const QByteArray &value) {
        if (field.compare("Location", Qt::CaseInsensitive) == 0)
            m_answerLocation = QString::fromUtf8(value);
        if (handler)
            handler(sender, field, value);
    };
    connect(Submit.SubmitBitBtn, &QPushButton::clicked, this, &TMainForm::SubmitBitBtnClick);
    connect(Submit.SearchURLsBitBtn, &QPushButton::clicked, this, &TMainForm::SearchURLsBitBtnClick);
    connect(Submit.ViewReportBitBtn, &QPushButton::clicked, this, &TMainForm::ViewReportBitBtnClick);
    connect(Submit.SkipURLBitBtn, &QPushButton::clicked, this, &TMainForm::SkipURLBitBtnClick);
    connect(Submit.SkipEngineBitBtn, &QPushButton::clicked, this, &TMainForm::SkipEngineBitBtnClick);
    connect(Submit.StopBitBtn, &QPushButton::clicked, this, &TMainForm::StopBitBtnClick);
}

void TMainForm::ViewReportBitBtnClick()
{
    m_platform.openInShell(ReportPath);
}

void TMainForm::SkipURLBitBtnClick()
{
    SkipURLFlag = true;
}

void TMainForm::SkipEngineBitBtnClick()
{
    SkipEngineFlag = true;
}

void TMainForm::StopBitBtnClick()
{
    StopFlag = true;
}

void TMainForm::SubmitTimerTimer()
{
    if (SkipURLFlag)
        interruptRequest();
    if (SkipEngineFlag)
        interruptRequest();
    if (StopFlag)
        interruptRequest();
    if (TimeoutCount < TimeoutSeconds) {
        ++TimeoutCount;
        Submit.SubmitTimeoutMeter->setValue(TimeoutCount);
    } else {
        interruptRequest();
        TimedOutFlag = true;
    }
}

void TMainForm::interruptRequest()
{
    m_http->setAction(httpIdle);
    TimeoutCount = 0;
    SubmitTimer->stop();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (m_runInProgress) {
        StopFlag = true;
        m_closedDuringRun = true;
    }
    QMainWindow::closeEvent(event);
}

bool TMainForm::startRun(const QString &answerPrefix)
{
    // Without a project there is nothing to run, and no directory whose old answers could go.
    if (ProjectId == 0 || ProjectDir.isEmpty())
        return false;
    m_runInProgress = true;
    m_runProjectId = ProjectId;
    m_paintThrottle->engage();
    Submit.SubmitStatusRichEdit->setGathering(true);
    Submit.SubmitBitBtn->setEnabled(false);
    Submit.SearchURLsBitBtn->setEnabled(false);

    // 1. A timer or a flag left over from an earlier run must not touch this one.
    SkipURLFlag = SkipEngineFlag = StopFlag = TimedOutFlag = false;
    SubmitTimer->stop();
    TimeoutCount = 0;
    Submit.FullGauge->setValue(0);
    Submit.SubmitTimeoutMeter->setFaceColor(Qt::white);
    SingleProgress = 0;
    FullProgress = 0;
    ResponseFileCounter = 0;
    Submit.SubmitStatusRichEdit->clear();
    ClearAnswerBuffer();
    // 2. The answers of the previous run.
    DeleteRunFiles(ProjectDir, answerPrefix);
    // 3.
    const EngineCheckList *engines = Settings.SettingsSearchEnginesCheckList;
    int checked = 0;
    for (int i = 0; i < engines->count(); ++i)
        checked += engines->isChecked(i) ? 1 : 0;
    const int steps = m_urlTable->rowCount() * checked;
    // An empty range would turn the bar into a busy indicator.
    Submit.FullGauge->setRange(0, qMax(1, steps));
    // 4. Required fields.
    if (Info.InfoFirstNameEdit->text().isEmpty() || Info.InfoLastNameEdit->text().isEmpty() ||
        MemoLines(Info.InfoEmailMemo).value(0).isEmpty()) {
        m_pageControl->setCurrentWidget(Info.InfoTabSheet);
        m_platform.messageBox(this, QStringLiteral("Required Fields:\nFirst,Last Name\nEmail\nBrowser"),
                              QStringLiteral("Required Fields Missing"), Platform::Ok);
        Submit.SubmitTimeoutMeter->setFaceColor(QColor(0, 0, 255));
        return false;
    }
    // 5.
    if (Submit.SubmitDLEnginesCheckBox->isChecked())
        DownloadEngineLists();
    const SettingsKeys::Key &server = SettingsKeys::TestServer;
    m_testServer =
        ProfileFile(AppIniPath)
            .readString(QLatin1String(server.section), QLatin1String(server.key), QLatin1String(server.defaultValue));
    QDir().mkpath(ProjectDir);
    return true;
}

void TMainForm::finishRun(const QString &doneLine)
{
    Submit.SubmitTimeoutMeter->setValue(0);
    Submit.SubmitTimeoutMeter->setFaceColor(QColor(0, 0, 255));
    AddStatusLine(doneLine, 1);
}

void TMainForm::endRun()
{
    Submit.SubmitStatusRichEdit->setGathering(false);
    m_paintThrottle->release();
    SubmitTimer->stop();
    TimeoutCount = 0;
    closeRunReport();
    m_runInProgress = false;
    Submit.SubmitBitBtn->setEnabled(true);
    Submit.SearchURLsBitBtn->setEnabled(true);
    if (m_closedDuringRun) {
        m_closedDuringRun = false;
        // Queued: the loop that ends the program may be further out than this call.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
}

bool TMainForm::runProjectGone()
{
    if (ProjectId == m_runProjectId)
        return false;
    // Closing or switching the project in the middle of a run ends the run.
    StopFlag = true;
    return true;
}

bool TMainForm::openRunReport()
{
    closeRunReport();
    QDir().mkpath(ProjectDir);
    // The report shows the picture from the base directory.
    EnsurePictureFile(BaseDir, ReportImageFile);
    auto report = std::make_unique<RunReport>();
    report->file.setFileName(ReportPath);
    if (!report->file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QLocale locale = QLocale::system();
    report->context.ProjectFile = ProjectFile;
    report->context.HomePageURL = HomePageURL;
    report->context.ReportImageFile = ReportImageFile;
    report->context.AppTitle = AppTitle;
    report->context.DateText = locale.toString(QDate::currentDate(), QLocale::ShortFormat);
    report->context.TimeText = locale.toString(QTime::currentTime(), QLocale::LongFormat);
    m_report = report.release();
    return true;
}

void TMainForm::closeRunReport()
{
    delete m_report;
    m_report = nullptr;
}

void TMainForm::writeRunReport(int kind, const QString &text)
{
    if (!m_report)
        return;
    m_report->context.ResponseFileName = ResponseFileName;
    WriteReport(m_report->file, kind, text, m_report->context);
}

QByteArray TMainForm::testEndpoint(bool post) const
{
    return (m_testServer + (post ? QStringLiteral("/cgi-bin/post-query.cgi") : QStringLiteral("/cgi-bin/query")))
        .toUtf8();
}

PlaceholderValues TMainForm::runValues() const
{
    PlaceholderValues values;
    values.engine = CurrentEngine;
    values.exciteLocation = ExciteLocation;
    values.exciteCategory = ExciteCategory;
    values.exciteLanguage = ExciteLanguage;
    values.url = CurrentURL;
    values.email = SenderEmail;
    values.firstName = Info.InfoFirstNameEdit->text();
    values.middleInitial = Info.InfoMIEdit->text();
    values.lastName = Info.InfoLastNameEdit->text();
    values.localHost = QString::fromUtf8(m_http->LocalHost());
    return values;
}

QString TMainForm::encodeForRun(const QString &text)
{
    m_codec->setInputString(text.toUtf8());
    const QString encoded = QString::fromLatin1(m_codec->Encode());
    if (DebugMode()) {
        AddStatusLine(QStringLiteral("String before encode: ") + text, 1);
        AddStatusLine(QStringLiteral("String after encode: ") + encoded, 1);
    }
    return encoded;
}

void TMainForm::debugLine(const QString &text, int kind)
{
    if (DebugMode())
        AddStatusLine(text, kind);
}

void TMainForm::sendRequest(bool post, QString &URLPostData)
{
    // A header of an earlier answer must never classify this one.
    LastHeaderField.clear();
    LastHeaderValue.clear();
    m_answerLocation.clear();
    // Nothing reads an answer after its URL: the buffer holds one answer at most.
    if (!AnswerBuffer.isEmpty())
        ClearAnswerBuffer();
    if (post) {
        if (TestMode())
            m_http->setURL(testEndpoint(true));
        m_http->setAction(httpPost);
        return;
    }
    if (TestMode())
        m_http->setURL(testEndpoint(false));
    URLPostData = QString::fromUtf8(m_http->URL()) + QLatin1Char('?') + URLPostData;
    m_http->setURL(URLPostData.toUtf8());
    m_http->setAction(httpGet);
}
