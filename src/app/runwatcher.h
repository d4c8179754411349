#pragma once

#include "runs/runobserver.h"

#include <QObject>

class HiddenPage;
class PaintThrottle;
class Platform;
struct RunRefusal;
class ProjectSession;
class SubmitPage;
class QWidget;

// The window's observer of a run: what a run reports lands in the status log,
// the gauges and the timeout meter of the Submit page and on the working page;
// what keeps a run from starting or going on is told in a box. While a run is
// in progress the window paints at most ten times a second.
class RunWatcher : public QObject, public RunObserver
{
    Q_OBJECT

public:
    // Boxes are shown over window through platform; the report path named in a
    // box is the session's. All must outlive the watcher.
    RunWatcher(Platform &platform, QWidget *window, SubmitPage &submitPage, HiddenPage &hiddenPage,
               const ProjectSession &session, QObject *parent = nullptr);

    // Forgets what the last run refused; called before each run.
    void begin() { m_refused = false; }
    // Since begin(): a box said that the run could not start (a sender field,
    // no engine list, no engine chosen, no report) or could not write its files.
    bool refused() const { return m_refused; }

    void statusLine(const QString &text, StatusKind kind) override;
    void requestProgress(int percent) override;
    void runProgress(int done, int total) override;
    void timeoutTick(int seconds, int limit) override;
    void answerShown(const QString &piece) override;
    void answerCleared() override;
    void searchAnswerShown(const QString &answer) override;
    void senderMissing(const QString &field) override;
    void runFailed(const QString &text) override;
    void reportNotCreated() override;
    void engineListMissing(const QString &path) override;
    void nothingChosen() override;
    void runStateChanged(bool inProgress) override;

signals:
    // A sender field is missing: the sender page comes to the front before the box.
    void senderPageWanted();
    // A run began or ended: what the window enables changes.
    void stateChanged(bool inProgress);

private:
    void refuse(const RunRefusal &refusal, bool asError);

    Platform &m_platform;
    QWidget *m_window;
    SubmitPage &m_submitPage;
    HiddenPage &m_hiddenPage;
    const ProjectSession &m_session;
    PaintThrottle *m_paintThrottle;
    bool m_refused = false;
};
