#pragma once

#include "runs/pagecheckpass.h"
#include "runs/run.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <optional>

// The submission run: every URL of the project to every chosen engine, one
// request each, with the outcome in the status log, the report and the URL
// table's engine columns. A URL is marked done for an engine only once the
// engine has accepted it, so a run that is interrupted, fails or is killed at
// any moment leaves every URL the engine did not accept to a later run.
//
// With page checks on (RunSetup::checkPages) every page is fetched first and
// the engines get only what changed and may be indexed; the pages that went
// away are announced to the bulk IndexNow engines (see PageCheckPass).
class SubmissionRun : public Run
{
public:
    using Run::Run;

protected:
    QString answerPrefix() const override { return QStringLiteral("PR_"); }
    QString senderTemplate(const EngineSection &section) const override;
    void body() override;
    void engineSectionBroken(qsizetype index, const QString &problem) override;
    void writeNotice(const QString &text) override;
    void writeEntry(const OutcomeLines &lines, const RequestResult &result, const OutcomeSubject &subject) override;

private:
    void submitToEngine(qsizetype index, const EngineSection &section);
    // An engine of the form kind: one request per URL.
    void submitForm(qsizetype index, const EngineSection &section, bool indexNow);
    // An engine of the bulk IndexNow form: one JSON request per host.
    void submitIndexNow(qsizetype index, const EngineSection &section);
    // Before the engines, when the run checks pages: every page fetched and judged.
    void checkPages();
    // After the engines: what became of the pages that went away, under their own heading.
    void tellDepartedPages();
    // An engine that asked in an earlier run not to be asked before a time still
    // to come: its URLs wait (told once, no failure). True when it waits.
    bool waitsForRetryAfter(qsizetype index, const QStringList &authorities, const QHash<QString, QStringList> &urlsOf,
                            const QSet<QString> &deletions);
    // An answer whose Retry-After gave until (valid) keeps the engine away until then, in this
    // run and the next ones (EngineState::setNotBefore()). True when it does.
    bool keepsAway(const QString &engine, const QDateTime &until);
    // After an engine: the URLs that wait for its quota are kept with the date each began to
    // wait, and those waiting for more than BacklogDays make a fault.
    void checkBacklog(const QString &engine);
    static constexpr int BacklogDays = 7;
    // Before the first IndexNow engine: which hosts publish the project's key.
    void checkIndexNowKeys();
    // KeyMissing, with why, when the URL may not go to an IndexNow engine.
    std::optional<RequestResult> keyMissing(const QString &url) const;
    bool openReport();
    // Throws RunWriteError when the report does not take the piece.
    void writeReport(int kind, const QString &text);
    void writeFooter();
    // After a failure that ends the run: the report says why and gets its summary, if it still can.
    void closeReportAfter(const QString &failure);
    // Commits the flags an engine changed and lets the views show them; throws UrlTableError
    // when they cannot be written.
    void engineDone();
    QString reportWriteError() const;

    bool m_keysChecked = false;
    bool m_keyValid = false;
    QHash<QString, QString> m_unpublished; // authority -> why its key file does not count
    QFile m_report;
    ReportContext m_reportContext;
};
