#include "runs/run.h"

#include "engines/builtinlists.h"
#include "net/httpclient.h"
#include "project/store/projectquery.h"
#include "project/store/urlpass.h"
#include "project/store/urltable.h"
#include "runs/pagecheckpass.h"
#include "runs/runcontrol.h"
#include "runs/runfiles.h"
#include "runs/runobserver.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>
#include <QTime>

#include <algorithm>

namespace {

const QString ExciteEngine = QStringLiteral("Excite");

// An engine list asking for a longer pause would hold the run for good.
constexpr int MaxPauseSeconds = 300;

// Why a pause ended early.
Outcome pauseOutcome(const RunControl &control)
{
    if (control.stopRequested())
        return Outcome::Stopped;
    if (control.skipEngineRequested())
        return Outcome::SkippedEngine;
    return Outcome::SkippedUrl;
}

} // namespace

Run::Run(const RunSetup &setup, UrlTable &table, THTTPClient &http, RunControl &control, RunObserver &observer)
    : m_setup(setup), m_engines(setup.engines), m_table(table), m_http(http), m_control(control), m_observer(observer),
      m_step(http, control, observer, setup.debug)
{
    resetTally();
}

void Run::resetTally()
{
    m_tally.clear();
    for (const EngineCatalogue::Engine &engine : m_engines.engines())
        m_tally.append({engine.name, isChosen(engine.name)});
}

Run::~Run() = default;

void Run::run()
{
    if (m_control.inProgress())
        return;
    m_control.reset();
    m_control.setObserver(&m_observer);
    m_control.setInProgress(true);
    m_observer.runStateChanged(true);
    const auto end = qScopeGuard([this] {
        m_control.reset();
        m_control.setInProgress(false);
        m_control.setObserver(nullptr);
        m_observer.runStateChanged(false);
    });
    try {
        if (begin())
            body();
    } catch (const UrlTableError &failure) {
        fail(QString::fromUtf8(failure.what()));
    } catch (const RunWriteError &failure) {
        fail(QString::fromUtf8(failure.what()));
    } catch (const std::exception &failure) {
        // Any other failure outside a request ends the run with its text.
        status(QString::fromUtf8(failure.what()), StatusKind::Failure);
    }
}

void Run::fail(const QString &text)
{
    if (!m_fatalError.isEmpty())
        return;
    m_fatalError = text;
    status(text, StatusKind::Failure);
    m_observer.runFailed(text);
}

bool Run::begin()
{
    m_answerCounter = 0;
    m_done = 0;
    m_fatalError.clear();
    m_faults.clear();
    countSteps();
    // A run works with the list it downloads: a fresh directory gets its engines so.
    bool builtIn = false;
    if (m_setup.settings.downloadEngines) {
        const EngineListRefresh refresh = downloadEngineLists();
        builtIn = refresh.builtInWritten;
        if (refresh.automatic.replaced()) {
            m_engines = EngineCatalogue::load(m_setup.autoListPath);
            resetTally();
            countSteps();
        }
    } else if (m_engines.isEmpty()) {
        builtIn = BuiltInLists::writeWhereMissing(m_setup.autoListPath, m_setup.manualListPath);
    }
    // Without any list the program's own take its place: engines that exist.
    if (builtIn) {
        status(QStringLiteral("No engine list could be had: the built-in lists are written to ") +
                   QFileInfo(m_setup.autoListPath).absolutePath() + QStringLiteral(" and used."),
               StatusKind::Phase);
        m_engines = EngineCatalogue::load(m_setup.autoListPath);
        resetTally();
        countSteps();
    }
    if (m_engines.isEmpty()) {
        m_observer.engineListMissing(m_setup.autoListPath);
        return false;
    }
    findUnknownEngines();
    if (std::none_of(m_tally.cbegin(), m_tally.cend(), [](const EngineTally &t) { return t.chosen; })) {
        m_observer.nothingChosen();
        return false;
    }
    const QString missing = missingSenderField();
    if (!missing.isEmpty()) {
        m_observer.senderMissing(missing);
        return false;
    }
    // Only a run that goes ahead replaces the old answers: a refused one leaves the
    // last report with every answer it links.
    DeleteRunFiles(m_setup.projectDir, answerPrefix());
    m_localHost = QString::fromUtf8(m_http.LocalHost());
    QDir().mkpath(m_setup.projectDir);
    return true;
}

void Run::findUnknownEngines()
{
    QStringList known, unknown;
    for (const EngineCatalogue::Engine &engine : m_engines.engines())
        known << engine.name;
    for (const QString &name : m_setup.settings.chosenEngines)
        if (!known.contains(name))
            unknown << name;
    unknown.sort();
    // A misspelt name would otherwise leave an engine unasked, run after run, without a word.
    for (const QString &name : std::as_const(unknown)) {
        const QString text = QStringLiteral("The project chooses \"%1\" under [Search Engines], but no engine list "
                                            "holds an engine of that name; the engines are: %2")
                                 .arg(name, known.join(QStringLiteral(", ")));
        status(text, StatusKind::Failure);
        m_faults << text;
    }
}

QString Run::missingSenderField() const
{
    const ProjectSettings &s = m_setup.settings;
    bool first = false, last = false, email = false;
    for (const EngineCatalogue::Engine &engine : m_engines.engines()) {
        if (!isChosen(engine.name))
            continue;
        const EngineSection section = readEngineSection(m_setup.autoListPath, engine.name);
        const QString form = senderTemplate(section);
        const auto uses = [&form](const char *placeholder) { return form.contains(QLatin1String(placeholder)); };
        // $CONTACT is first name, middle initial and last name; the initial is never required.
        first = first || uses("$FNAME") || uses("$CONTACT");
        last = last || uses("$LNAME") || uses("$CONTACT");
        email = email || uses("$EMAIL");
    }
    if (first && s.firstName.isEmpty())
        return QStringLiteral("First Name");
    if (last && s.lastName.isEmpty())
        return QStringLiteral("Last Name");
    if (email && s.emails.value(0).isEmpty())
        return QStringLiteral("Email");
    return {};
}

void Run::countSteps()
{
    qsizetype chosen = 0;
    for (const EngineCatalogue::Engine &engine : m_engines.engines())
        chosen += isChosen(engine.name) ? 1 : 0;
    // An empty range would turn the bar into a busy indicator.
    m_total = int(qMax<qsizetype>(1, m_table.rowCount() * chosen));
    m_observer.runProgress(0, m_total);
}

EngineListRefresh Run::downloadEngineLists()
{
    status(QStringLiteral("Downloading search engine configuration"), StatusKind::Phase);
    const EngineListSources sources{m_setup.autoListUrl, m_setup.autoListPath, m_setup.manualListUrl,
                                    m_setup.manualListPath};
    const EngineListRefresh refresh = RefreshEngineLists(m_http, sources, m_setup.timeoutSeconds());
    for (const QString &problem : refresh.problems(sources))
        status(QStringLiteral("Engine list not updated from ") + problem + QStringLiteral("; the local list is kept."),
               StatusKind::Plain);
    return refresh;
}

void Run::forEachEngine(const std::function<void(qsizetype, const EngineSection &)> &visit)
{
    m_observer.requestProgress(0);
    m_observer.runProgress(0, m_total);
    for (qsizetype i = 0; i < m_engines.size(); ++i) {
        if (m_control.stopRequested()) {
            m_observer.requestProgress(0);
            m_observer.runProgress(0, m_total);
            break;
        }
        const QString &name = m_engines.at(i).name;
        // A Skip Engine is for the engine it was given during.
        m_control.clearSkipEngine();
        status(QStringLiteral("Processing: ") + name, StatusKind::Phase);
        try {
            const EngineSection section = readEngineSection(m_setup.autoListPath, name);
            const QString problem = isChosen(name) ? engineSectionProblem(section) : QString();
            if (!problem.isEmpty()) {
                // Said where it is, instead of failing every URL with a row that points elsewhere.
                engineSectionBroken(i, QFileInfo(m_setup.autoListPath).fileName() + QStringLiteral(", section [") +
                                           name + QStringLiteral("]: ") + problem);
                continue;
            }
            visit(i, section);
        } catch (const UrlTableError &) {
            throw;
        } catch (const RunWriteError &) {
            throw;
        } catch (const std::exception &failure) {
            status(name + QStringLiteral(": ") + QString::fromUtf8(failure.what()), StatusKind::Failure);
        }
    }
}

bool Run::isChosen(const QString &engine) const
{
    if (!m_setup.settings.chosenEngines.contains(engine))
        return false;
    // Excite takes part only with all three of its advanced settings given.
    return engine != ExciteEngine || m_setup.settings.exciteComplete();
}

PlaceholderValues Run::values(const QString &engine, const QString &url, const QString &email) const
{
    const ProjectSettings &s = m_setup.settings;
    PlaceholderValues values;
    values.engine = engine;
    values.exciteLocation = s.exciteLocation;
    values.exciteCategory = s.exciteCategory;
    values.exciteLanguage = s.exciteLanguage;
    values.url = url;
    values.email = email;
    values.firstName = s.firstName;
    values.middleInitial = s.middleInitial;
    values.lastName = s.lastName;
    values.localHost = m_localHost;
    values.indexNowKey = s.indexNowKey;
    return values;
}

ValueEncoder Run::encoder()
{
    return [this](const QString &text) {
        m_codec.setInputString(text.toUtf8());
        const QString encoded = QString::fromLatin1(m_codec.Encode());
        if (m_setup.debug) {
            status(QStringLiteral("String before encode: ") + text, StatusKind::Heading);
            status(QStringLiteral("String after encode: ") + encoded, StatusKind::Heading);
        }
        return encoded;
    };
}

RunLog Run::debugLog()
{
    if (!m_setup.debug)
        return {};
    return [this](const QString &text, StatusKind kind) { status(text, kind); };
}

ReportContext Run::reportContext() const
{
    ReportContext context = m_setup.report;
    context.ProjectFile = m_setup.projectFile;
    const QLocale locale = QLocale::system();
    context.DateText = locale.toString(QDate::currentDate(), QLocale::ShortFormat);
    context.TimeText = locale.toString(QTime::currentTime(), QLocale::LongFormat);
    return context;
}

QByteArray Run::address(const QString &action, bool post, const QString &postData) const
{
    QString target = action;
    if (!m_setup.testServer.isEmpty())
        target =
            m_setup.testServer + (post ? QStringLiteral("/cgi-bin/post-query.cgi") : QStringLiteral("/cgi-bin/query"));
    if (post)
        return target.toUtf8();
    if (!target.contains(u'?'))
        target += u'?';
    else if (!target.endsWith(u'?') && !target.endsWith(u'&'))
        target += u'&';
    return (target + postData).toUtf8();
}

void Run::writeNotice(const QString &text)
{
    status(text, StatusKind::Plain);
}

void Run::engineSectionBroken(qsizetype index, const QString &problem)
{
    tallyOf(index).listProblem = problem;
    status(problem, StatusKind::Failure);
}

void Run::status(const QString &text, StatusKind kind)
{
    m_observer.statusLine(text, kind);
}

void Run::debugLine(const QString &text, StatusKind kind)
{
    if (m_setup.debug)
        m_observer.statusLine(text, kind);
}

void Run::advance()
{
    ++m_done;
    m_observer.runProgress(qMin(m_done, m_total), m_total);
    debugLine(QStringLiteral("iTmpFullPosition = ") + QString::number(m_done), StatusKind::Phase);
    // Between two requests the window may paint and take the user's clicks.
    QCoreApplication::processEvents();
}

void Run::walkEngine(qsizetype index, const UrlWork &work)
{
    const QString &engine = m_engines.at(index).name;
    EngineTally &tally = tallyOf(index);
    int spent = 0;           // URLs the engine took, against its limit
    bool passedOver = false; // Skip Engine, or an outcome that ends the engine
    const int projectId = m_setup.settings.projectId;
    UrlPass pass(m_table, work.flagged ? m_engines.at(index).column : QString());
    const qsizetype size = work.urls ? work.urls->size() : pass.size();
    for (qsizetype row = 0; row < size; ++row, ++m_answerCounter) {
        m_observer.requestProgress(0);
        // A column that cannot be read leaves the URL disabled: nothing is sent that could not be recorded.
        const UrlTable::UrlAndFlag current = work.urls ? UrlTable::UrlAndFlag{work.urls->at(row), {}} : pass.at(row);
        OutcomeSubject subject{work.telling, engine, current.url};
        // A stop taken between two requests sends nothing more.
        if (m_control.stopRequested()) {
            record(tally, Outcome::Stopped, subject);
            return;
        }
        if (!passedOver && m_control.skipEngineRequested()) {
            record(tally, Outcome::SkippedEngine, subject);
            passedOver = true;
        }
        if (passedOver) {
            // The rest of the engine is passed over; it still counts as gone through.
            advance();
            continue;
        }
        UrlRequest prepared = work.prepare(current.url);
        subject.method = prepared.method;
        if (prepared.pauseSeconds > 0)
            status(QStringLiteral("Waiting: ") + QString::number(prepared.pauseSeconds) +
                       QStringLiteral(" seconds before submitting this URL."),
                   StatusKind::Plain);

        RequestResult result;
        if (work.flagged && !current.flag.value_or(false)) {
            result.outcome = Outcome::Disabled;
        } else if (prepared.refusal) {
            result = *prepared.refusal;
        } else if (spent >= prepared.limit) {
            result.outcome = Outcome::LimitReached;
        } else if (prepared.pauseSeconds > 0 && !m_control.pause(qMin(prepared.pauseSeconds, MaxPauseSeconds))) {
            result.outcome = pauseOutcome(m_control);
        } else {
            prepared.request.timeoutSeconds = m_setup.timeoutSeconds();
            ++tally.sent;
            result = prepared.call ? prepared.call() : m_step.send(prepared.request, prepared.matcher);
            if (work.answered)
                work.answered(result);
            if (isFailure(result.outcome) && !prepared.call) {
                debugLine(QStringLiteral("Error: ") + QString::fromUtf8(m_step.statusLine()), StatusKind::Plain);
                debugLine(QStringLiteral("HeaderField: ") + m_step.lastHeaderField(), StatusKind::Plain);
                debugLine(QStringLiteral("HeaderValue: ") + m_step.lastHeaderValue(), StatusKind::Plain);
            }
        }
        if (countsTowardLimit(result.outcome))
            ++spent;
        if (work.flagged && flagEffect(result.outcome) == FlagEffect::MarkDone)
            pass.setFlag(projectId, current.url, false);
        record(tally, result, subject);
        // A Skip URL is for the URL it was given during, however that URL ended.
        m_control.clearSkipUrl();
        const RequestStep::Request &request = prepared.request;
        if (!request.url.isEmpty()) {
            debugLine(QStringLiteral("HTTPClient->URL: ") + QString::fromUtf8(request.url), StatusKind::Heading);
            debugLine(QStringLiteral("Acutal submitted URLPostData: ") +
                          QString::fromUtf8(request.post ? request.postData : request.url),
                      StatusKind::Heading);
        }
        if (m_control.stopRequested()) {
            if (!endsRun(result.outcome))
                tell(Outcome::Stopped, subject);
            return;
        }
        passedOver = endsEngine(result.outcome);
        advance();
        m_http.setAction(httpResetHeaders);
    }
}

void Run::record(EngineTally &tally, const RequestResult &result, const OutcomeSubject &subject)
{
    if (result.outcome == Outcome::QuotaReached)
        m_waitingForQuota[subject.engine] += subject.urls.isEmpty() ? QStringList{subject.url} : subject.urls;
    tell(result, subject);
    countOutcome(tally, result, subject);
}

void Run::tell(const RequestResult &result, const OutcomeSubject &subject)
{
    const OutcomeLines lines = describeOutcome(result, subject);
    if (!lines.statusLine.isEmpty())
        status(lines.statusLine, lines.kind);
    writeEntry(lines, result, subject);
}
