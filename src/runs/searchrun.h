#pragma once

#include "runs/answermatcher.h"
#include "runs/run.h"
#include "runs/searchreport.h"

#include <QFile>

// The URL search: every URL of the project asked of every chosen engine; the
// URLs an engine answers as not listed go to that engine's search log
// ("None_" + engine + ".txt" in the project's directory). Only an accepted
// answer is tested, as it arrives, so an answer of any size costs the same memory.
// A redirection is no answer about the URL: the engine could not be asked about it.
// A search log or the search report that cannot be written ends the search.
class SearchRun : public Run
{
public:
    using Run::Run;

protected:
    QString answerPrefix() const override { return QStringLiteral("SRCH_"); }
    QString senderTemplate(const EngineSection &section) const override;
    void body() override;
    void engineSectionBroken(qsizetype index, const QString &problem) override;
    void writeEntry(const OutcomeLines &lines, const RequestResult &result, const OutcomeSubject &subject) override;

private:
    void searchEngine(qsizetype index, const EngineSection &section);
    // Creates or empties the engine's search log. When it cannot, throws RunWriteError
    // for a chosen engine, and says so and returns false for another.
    bool openLog(QFile &log, const QString &engine);
    // Throws RunWriteError once the search report has failed to take a piece.
    void checkReport() const;

    AnswerMatcher m_matcher;
    QFile m_log;           // the search log of the engine being searched
    SearchReport m_report; // SearchLog.htm beside the submission report
};
