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

QString SearchRun::senderTemplate(const EngineSection &section) const
{
    return engineField(section, EngineField::SearchPostData);
}

void SearchRun::body()
{
    const QString reportPath = QFileInfo(m_setup.reportPath).dir().filePath(QStringLiteral("SearchLog.htm"));
    if (!m_report.open(reportPath, reportContext()))
        throw RunWriteError(m_report.error());
    checkReport();
    status(QStringLiteral("Searching for URLs"), StatusKind::Phase);
    forEachEngine([this](qsizetype i, const EngineSection &section) { searchEngine(i, section); });
    m_report.finish(tally());
    checkReport();
    status(QStringLiteral("Done searching for URLs."), StatusKind::Phase);
    status(QStringLiteral("Done searching the selected search engines"), StatusKind::Heading);
}

void SearchRun::checkReport() const
{
    if (!m_report.error().isEmpty())
        throw RunWriteError(m_report.error());
}

bool SearchRun::openLog(QFile &log, const QString &engine)
{
    log.setFileName(m_setup.projectDir + QLatin1Char('/') + SearchLogFileName(engine));
    if (log.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    const QString text =
        QStringLiteral("Cannot write the search log of %1, %2: %3").arg(engine, log.fileName(), log.errorString());
    // Only the log of an engine the project chose is a result of this search.
    if (isChosen(engine))
        throw RunWriteError(text);
    status(text, StatusKind::Plain);
    return false;
}

void SearchRun::engineSectionBroken(qsizetype index, const QString &problem)
{
    // Its log is emptied as every engine's is: last run's lines would read as this run's.
    QFile log;
    openLog(log, m_engines.at(index).name);
    m_report.engineNotAsked(m_engines.at(index).name, problem);
    checkReport();
    Run::engineSectionBroken(index, problem);
}

void SearchRun::searchEngine(qsizetype index, const EngineSection &section)
{
    const QString &engine = m_engines.at(index).name;
    // The log is made (or emptied) for every engine of the list.
    QFile log;
    if (!openLog(log, engine) || !isChosen(engine))
        return;
    EngineTally &tally = tallyOf(index);
    m_control.clearSkipEngine();
    status(QStringLiteral("Searching for URLs in ") + engine, StatusKind::Heading);
    m_report.engine(engine);
    checkReport();

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
        RequestResult result = m_step.send(request, &m_matcher);
        if (result.outcome == Outcome::Redirected) {
            // Where the engine sends the question is no answer to it.
            result.outcome = Outcome::Failed;
            result.reason = QStringLiteral("redirected to ") + result.location;
        }

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
                const QByteArray line = url.toUtf8() + "\r\n";
                if (log.write(line) != line.size() || !log.flush())
                    throw RunWriteError(QStringLiteral("Cannot write the search log of %1, %2: %3")
                                            .arg(engine, log.fileName(), log.errorString()));
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
        count(tally, result);
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
