#pragma once

#include "engines/enginelist.h"
#include "net/urlcodec.h"
#include "runs/outcome.h"
#include "runs/placeholders.h"
#include "runs/requeststep.h"
#include "runs/engineform.h"
#include "runs/enginetally.h"
#include "runs/runsetup.h"

#include <QList>
#include <QString>
#include <functional>

class RunControl;
class RunObserver;
class THTTPClient;
class UrlTable;

// What the submission run and the search share: the start (old answers gone,
// the sender checked, the engine lists fetched when the project asks for it),
// the walk over the engines, the form values, progress and diagnostics.
class Run
{
public:
    Run(const RunSetup &setup, UrlTable &table, THTTPClient &http, RunControl &control, RunObserver &observer);
    virtual ~Run();
    Run(const Run &) = delete;
    Run &operator=(const Run &) = delete;

    // The whole run; returns when it is over. Never throws.
    void run();

    // The engines the run worked with: the setup's, or those of a list it downloaded or wrote.
    const EngineCatalogue &engines() const { return m_engines; }
    // Per engine of the engine list, in its order.
    const QList<EngineTally> &tally() const { return m_tally; }
    // What the run could not do that is no engine's fault (an IndexNow key
    // file not published, say), one line each, for the unattended summary.
    const QStringList &notices() const { return m_notices; }

protected:
    virtual QString answerPrefix() const = 0;
    virtual void body() = 0;

    // Every engine of the catalogue in order, with its section read afresh,
    // until a stop; the trouble of one engine never ends the run.
    void forEachEngine(const std::function<void(qsizetype index, const EngineSection &section)> &visit);
    bool isChosen(const QString &engine) const;
    PlaceholderValues values(const QString &engine, const QString &url, const QString &email) const;
    ValueEncoder encoder();
    // The diagnostic lines of the form readers: to the status log in debug mode, nowhere otherwise.
    RunLog debugLog();
    // The report's fixed values with the project file and the run's date and time.
    ReportContext reportContext() const;
    // Reopens the URL table so that its views show the flags as an engine left them.
    void refreshTable();
    // The address a request goes to: the action, or in test mode the form-echo
    // endpoint; a GET's filled template joins it after "?", or after "&" when the
    // address already has a query.
    QByteArray address(const QString &action, bool post, const QString &postData) const;
    // A chosen engine's section cannot be read as a form: it is passed over.
    virtual void engineSectionBroken(qsizetype index, const QString &problem);
    void status(const QString &text, StatusKind kind);
    void debugLine(const QString &text, StatusKind kind);
    // One URL-and-engine step is done.
    void advance();
    EngineTally &tallyOf(qsizetype engineIndex) { return m_tally[engineIndex]; }
    void count(EngineTally &tally, Outcome outcome);

    const RunSetup m_setup;
    EngineCatalogue m_engines; // the setup's, or the downloaded list's when one came
    UrlTable &m_table;
    THTTPClient &m_http;
    RunControl &m_control;
    RunObserver &m_observer;
    RequestStep m_step;
    TURLCodec m_codec;
    QString m_localHost;
    QStringList m_notices;
    int m_answerCounter = 0; // numbers the saved answers through the run
    int m_done = 0;
    int m_total = 1;

private:
    bool begin();
    void countSteps();
    void resetTally();
    // True when the automatic list was replaced.
    bool downloadEngineLists();

    QList<EngineTally> m_tally;
};
