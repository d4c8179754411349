#include "runs/searchrun.h"

#include "runs/engineform.h"
#include "runs/runfiles.h"
#include "runs/runobserver.h"
#include "runs/webmasterengines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

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
    const auto closeLog = qScopeGuard([this] { m_log.close(); });
    if (!openLog(m_log, engine) || !isChosen(engine))
        return;
    status(QStringLiteral("Searching for URLs in ") + engine, StatusKind::Heading);
    m_report.engine(engine);
    checkReport();
    if (const WebmasterKind kind = searchKind(section); kind != WebmasterKind::None) {
        WebmasterEngines(*this).search(index, section, kind);
        return;
    }

    const RunLog debug = debugLog();
    const ValueEncoder encode = encoder();
    const QString email = m_setup.settings.pickSenderEmail();
    QString none;         // the engine's "not listed" text as the engine list writes it
    QByteArray notListed; // and decoded, as the answer holds it
    const auto prepare = [&](const QString &url) {
        UrlRequest prepared;
        const SearchForm form = ReadSearchForm(section, values(engine, url, email), encode, debug);
        prepared.method = form.method;
        if (form.action == QLatin1String("NONE")) {
            prepared.refusal = RequestResult(Outcome::Unsearchable);
            return prepared;
        }
        status(url, StatusKind::Url);
        debugLine(QStringLiteral("URLPostData: ") + form.postData, StatusKind::Heading);
        const bool post = form.method == QLatin1String("post");
        if (!post && form.method != QLatin1String("get")) {
            prepared.refusal = RequestResult(Outcome::UnknownMethod);
            return prepared;
        }
        none = form.none;
        m_codec.setInputString(none.toUtf8());
        notListed = m_codec.Decode();
        m_matcher.reset(notListed);
        prepared.matcher = &m_matcher;
        prepared.request.post = post;
        prepared.request.url = address(form.action, post, form.postData);
        prepared.request.postData = post ? form.postData.toUtf8() : QByteArray();
        prepared.request.localFile = m_setup.projectDir + QLatin1Char('/') + SearchResponseFileNameFor(m_answerCounter);
        return prepared;
    };
    const auto answered = [&](RequestResult &result) {
        // Where the engine sends the question is no answer to it.
        if (result.outcome == Outcome::Redirected)
            result.outcome = Outcome::Moved;
        if (result.outcome != Outcome::Accepted)
            return;
        debugLine(QStringLiteral("ATmpSearchNone: ") + none + QLatin1Char(' '), StatusKind::Plain);
        if (m_setup.debug) {
            status(QStringLiteral("DecodedSearchNone: ") + QString::fromUtf8(notListed) + QLatin1Char(' '),
                   StatusKind::Plain);
            status(QStringLiteral("SearchNoneStringExists: ") + QString::number(m_matcher.found() ? 1 : 0),
                   StatusKind::Plain);
            m_observer.searchAnswerShown(m_step.shownAnswer());
        }
        result.outcome = m_matcher.found() ? Outcome::NotListed : Outcome::Listed;
    };
    walkEngine(index, {Telling::Search, false, prepare, answered});
}

void SearchRun::writeEntry(const OutcomeLines &lines, const RequestResult &result, const OutcomeSubject &subject)
{
    switch (lines.searchEntry) {
    case SearchEntry::None:
        break;
    case SearchEntry::Listed:
        m_report.listed(subject.url, result.answerFile, result.answerCut, result.detail);
        break;
    case SearchEntry::NotListed: {
        const QByteArray line = subject.url.toUtf8() + "\r\n";
        if (m_log.write(line) != line.size() || !m_log.flush())
            throw RunWriteError(QStringLiteral("Cannot write the search log of %1, %2: %3")
                                    .arg(subject.engine, m_log.fileName(), m_log.errorString()));
        m_report.notListed(subject.url, result.answerFile, result.answerCut, result.detail);
        break;
    }
    case SearchEntry::NotAsked:
        m_report.notAsked(subject.url, lines.searchReason, result.answerFile, result.answerCut);
        break;
    case SearchEntry::EngineNotAsked:
        m_report.engineNotAsked(subject.engine, lines.searchReason);
        break;
    case SearchEntry::Stopped:
        m_report.stopped();
        break;
    }
}
