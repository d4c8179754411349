#include "runs/searchrun.h"

#include "net/httpclient.h"
#include "project/urlpass.h"
#include "runs/engineform.h"
#include "runs/runcontrol.h"
#include "runs/runfiles.h"
#include "runs/runobserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void SearchRun::body()
{
    // The search logs are what a search must leave; without its report it still runs.
    if (!m_report.open(QFileInfo(m_setup.reportPath).dir().filePath(QStringLiteral("SearchLog.htm")),
                       reportContext()))
        status(QStringLiteral("Cannot create the search report in ") + m_setup.projectDir, StatusKind::Failure);
    status(QStringLiteral("Searching for URLs"), StatusKind::Phase);
    forEachEngine([this](qsizetype i, const EngineSection &section) { searchEngine(i, section); });
    m_report.finish(tally());
    status(QStringLiteral("Done searching for URLs."), StatusKind::Phase);
    status(QStringLiteral("Done searching the selected search engines"), StatusKind::Heading);
}

void SearchRun::searchEngine(qsizetype index, const EngineSection &section)
{
    const QString &engine = m_engines.at(index).name;
    // The log is made (or emptied) for every engine of the list.
    const QString logPath = m_setup.projectDir + QLatin1Char('/') + SearchLogFileName(engine);
    QFile log(logPath);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        status(QStringLiteral("Cannot open search log for ") + engine + QStringLiteral(": ") + logPath +
                   QLatin1Char('.'),
               StatusKind::Plain);
        return;
    }
    if (!isChosen(engine))
        return;
    EngineTally &tally = tallyOf(index);
    m_control.clearSkipEngine();
    status(QStringLiteral("Searching for URLs in ") + engine, StatusKind::Heading);
    m_report.engine(engine);

    const RunLog debug = debugLog();
    const ValueEncoder encode = encoder();
    const QString email = m_setup.settings.pickSenderEmail();
    bool unsearchable = false;
    UrlPass pass(m_table, QString());
    for (qsizetype j = 0; j < pass.size(); ++j, ++m_answerCounter) {
        m_observer.requestProgress(0);
        const QString url = pass.at(j).url;
        // A stop taken between two requests sends nothing more.
        if (m_control.stopRequested()) {
            status(searchOutcomeLines(Outcome::Stopped, engine, url).statusLine, StatusKind::Plain);
            m_report.stopped();
            return;
        }
        if (unsearchable || m_control.skipEngineRequested()) {
            advance();
            continue;
        }
        const SearchForm form = ReadSearchForm(section, values(engine, url, email), encode, debug);
        if (form.action == QLatin1String("NONE")) {
            unsearchable = tally.unsearchable = true;
            m_report.engineNotAsked(engine, QStringLiteral("its engine list entry has no search form"));
            status(QStringLiteral("URL searching for this engine will be skipped until further notice."),
                   StatusKind::Heading);
            advance();
            continue;
        }
        status(url, StatusKind::Url);
        debugLine(QStringLiteral("URLPostData: ") + form.postData, StatusKind::Heading);

        const bool post = form.method == QLatin1String("post");
        if (!post && form.method != QLatin1String("get")) {
            m_report.notAsked(url, QStringLiteral("the method \"%1\" is neither post nor get").arg(form.method));
            advance(); // nothing is sent, so nothing can count as not listed
            continue;
        }
        m_codec.setInputString(form.none.toUtf8());
        const QByteArray notListed = m_codec.Decode();
        m_matcher.reset(notListed);
        RequestStep::Request request;
        request.post = post;
        request.url = address(form.action, post, form.postData);
        request.postData = post ? form.postData.toUtf8() : QByteArray();
        request.localFile = m_setup.projectDir + QLatin1Char('/') + SearchResponseFileNameFor(m_answerCounter);
        request.timeoutSeconds = m_setup.timeoutSeconds();
        ++tally.sent;
        const RequestResult result = m_step.send(request, &m_matcher);

        if (result.outcome == Outcome::Accepted) {
            debugLine(QStringLiteral("ATmpSearchNone: ") + form.none + QLatin1Char(' '), StatusKind::Plain);
            if (m_setup.debug) {
                const QString decoded = QString::fromUtf8(notListed);
                status(QStringLiteral("DecodedSearchNone: ") + decoded + QLatin1Char(' '), StatusKind::Plain);
                status(QStringLiteral("SearchNoneStringExists: ") + QString::number(m_matcher.found() ? 1 : 0),
                       StatusKind::Plain);
                m_observer.searchAnswerShown(m_step.shownAnswer());
            }
            if (m_matcher.found()) {
                ++tally.notListed;
                status(QStringLiteral("Not found: ") + url + QLatin1Char(' '), StatusKind::Plain);
                log.write(url.toUtf8() + "\r\n");
                m_report.notListed(url, result.answerFile, result.answerCut);
            } else {
                m_report.listed(url, result.answerFile, result.answerCut);
            }
        } else if (result.outcome == Outcome::Stopped) {
            m_report.stopped();
        } else if (result.outcome == Outcome::SkippedEngine) {
            m_report.engineNotAsked(engine, QStringLiteral("skipped by the user"));
        } else {
            const QString reason = result.outcome == Outcome::TimedOut     ? QStringLiteral("timed out")
                                   : result.outcome == Outcome::SkippedUrl ? QStringLiteral("skipped by the user")
                                   : result.outcome == Outcome::Redirected
                                       ? QStringLiteral("redirected to ") + result.location
                                       : result.reason;
            m_report.notAsked(url, reason, result.answerFile, result.answerCut);
        }
        if (result.outcome == Outcome::Failed) {
            debugLine(QStringLiteral("Error: ") + QString::fromUtf8(m_step.statusLine()), StatusKind::Plain);
            debugLine(QStringLiteral("HeaderField: ") + m_step.lastHeaderField(), StatusKind::Plain);
            debugLine(QStringLiteral("HeaderValue: ") + m_step.lastHeaderValue(), StatusKind::Plain);
        }
        const OutcomeLines lines = searchOutcomeLines(result, engine, url);
        if (!lines.statusLine.isEmpty())
            status(lines.statusLine, lines.kind);
        count(tally, result.outcome);
        if (result.outcome == Outcome::SkippedUrl)
            m_control.clearSkipUrl();
        debugLine(QStringLiteral("HTTPClient->URL: ") + QString::fromUtf8(request.url), StatusKind::Heading);
        debugLine(QStringLiteral("Acutal submitted URLPostData: ") +
                      (post ? form.postData : QString::fromUtf8(request.url)),
                  StatusKind::Heading);
        if (m_control.stopRequested()) {
            if (result.outcome != Outcome::Stopped) {
                status(searchOutcomeLines(Outcome::Stopped, engine, url).statusLine, StatusKind::Plain);
                m_report.stopped();
            }
            return;
        }
        advance();
        m_http.setAction(httpResetHeaders);
    }
}
