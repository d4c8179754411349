#pragma once

#include "runs/run.h"

#include <QFile>

// The submission run: every URL of the project to every chosen engine, one
// request each, with the outcome in the status log, the report and the URL
// table's engine columns. A URL is marked done for an engine only once the
// engine has accepted it, so a run that is interrupted, fails or is killed at
// any moment leaves every URL the engine did not accept to a later run.
class SubmissionRun : public Run
{
public:
    using Run::Run;

protected:
    QString answerPrefix() const override { return QStringLiteral("PR_"); }
    void body() override;
    void engineSectionBroken(qsizetype index, const QString &problem) override;

private:
    void submitToEngine(qsizetype index, const EngineSection &section);
    // Writes the outcome's status line and report row and counts it.
    void record(EngineTally &tally, const RequestResult &result, const QString &engine, const QString &url,
                const QString &method);
    bool openReport();
    void writeReport(int kind, const QString &text);

    QFile m_report;
    ReportContext m_reportContext;
};
