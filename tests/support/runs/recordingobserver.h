#pragma once

#include "runs/runobserver.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace qctest {

// A run's observer that keeps everything the run reported, in order, and lets
// a test act from inside the run when a status line or a run step arrives.
class RecordingObserver : public RunObserver
{
public:
    struct Line
    {
        QString text;
        StatusKind kind;
    };

    QList<Line> lines;
    QStringList reportPieces;
    int lastRequestProgress = -1;
    QList<std::pair<int, int>> runSteps; // (done, total) as reported
    QList<int> ticks;                    // the seconds of every timeout tick
    QStringList answerPieces;            // since the last answerCleared()
    QStringList searchAnswers;
    int senderMissingCalls = 0;
    QStringList missingSenderFields;
    QStringList runFailures;
    int reportNotCreatedCalls = 0;
    QStringList missingEngineLists;
    int nothingChosenCount = 0;
    QList<bool> runStates;
    // Called after a status line or a run step is recorded.
    std::function<void(const QString &text, StatusKind kind)> onStatus;
    std::function<void(int done)> onRunProgress;

    // The texts of all status lines, or of those of one kind.
    QStringList texts() const;
    QStringList texts(StatusKind kind) const;

    void statusLine(const QString &text, StatusKind kind) override;
    void reportWritten(const QString &html) override { reportPieces.append(html); }
    void requestProgress(int percent) override { lastRequestProgress = percent; }
    void runProgress(int done, int total) override;
    void timeoutTick(int seconds, int) override { ticks.append(seconds); }
    void answerShown(const QString &piece) override { answerPieces.append(piece); }
    void answerCleared() override { answerPieces.clear(); }
    void searchAnswerShown(const QString &answer) override { searchAnswers.append(answer); }
    void senderMissing(const QString &field) override
    {
        ++senderMissingCalls;
        missingSenderFields.append(field);
    }
    void runFailed(const QString &text) override { runFailures.append(text); }
    void reportNotCreated() override { ++reportNotCreatedCalls; }
    void engineListMissing(const QString &path) override { missingEngineLists.append(path); }
    void nothingChosen() override { ++nothingChosenCount; }
    void runStateChanged(bool inProgress) override { runStates.append(inProgress); }
};

} // namespace qctest
