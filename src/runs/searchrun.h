#pragma once

#include "runs/answermatcher.h"
#include "runs/run.h"
#include "runs/searchreport.h"

// The URL search: every URL of the project asked of every chosen engine; the
// URLs an engine answers as not listed go to that engine's search log
// ("None_" + engine + ".txt" in the project's directory). Only an accepted
// answer is tested, as it arrives, so an answer of any size costs the same memory.
class SearchRun : public Run
{
public:
    using Run::Run;

protected:
    QString answerPrefix() const override { return QStringLiteral("SRCH_"); }
    void body() override;

private:
    void searchEngine(qsizetype index, const EngineSection &section);

    AnswerMatcher m_matcher;
    SearchReport m_report; // SearchLog.htm beside the submission report
};
