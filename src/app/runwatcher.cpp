#include "app/runwatcher.h"

#include "app/hiddenpage.h"
#include "app/submitpage.h"
#include "platform/platform.h"
#include "project/session/projectsession.h"
#include "runs/runrefusal.h"
#include "runs/ui/paintthrottle.h"
#include "runs/ui/statuslog.h"

namespace {

// How often a run lets the window paint: often enough to look live, and
// rarely enough that painting the window costs little beside the requests.
constexpr int PaintIntervalMs = 100;

} // namespace

RunWatcher::RunWatcher(Platform &platform, QWidget *window, SubmitPage &submitPage, HiddenPage &hiddenPage,
                       const ProjectSession &session, QObject *parent)
    : QObject(parent), m_platform(platform), m_window(window), m_submitPage(submitPage), m_hiddenPage(hiddenPage),
      m_session(session), m_paintThrottle(new PaintThrottle(window, PaintIntervalMs, this))
{}

void RunWatcher::statusLine(const QString &text, StatusKind kind)
{
    m_submitPage.log().AddStatusLine(text, kind);
}

void RunWatcher::requestProgress(int percent)
{
    m_submitPage.showRequestProgress(percent);
}

void RunWatcher::runProgress(int done, int total)
{
    m_submitPage.showRunProgress(done, total);
}

void RunWatcher::timeoutTick(int seconds, int)
{
    m_submitPage.showTimeoutTick(seconds);
}

void RunWatcher::answerShown(const QString &piece)
{
    m_hiddenPage.appendAnswer(piece);
}

void RunWatcher::answerCleared()
{
    m_hiddenPage.clearAnswer();
}

void RunWatcher::searchAnswerShown(const QString &answer)
{
    m_platform.messageBox(m_window, answer, QStringLiteral("SubmitStatusText"), Platform::Ok);
}

void RunWatcher::senderMissing(const QString &field)
{
    emit senderPageWanted();
    refuse(RunRefusal::senderMissing(field), false);
}

void RunWatcher::runFailed(const QString &text)
{
    refuse({QStringLiteral("Error"), text}, true);
}

void RunWatcher::nothingChosen()
{
    refuse(RunRefusal::nothingChosen(), false);
}

void RunWatcher::engineListMissing(const QString &path)
{
    refuse(RunRefusal::engineListMissing(path), true);
}

void RunWatcher::reportNotCreated()
{
    refuse(RunRefusal::reportNotCreated(m_session.reportPath()), true);
}

void RunWatcher::runStateChanged(bool inProgress)
{
    if (inProgress)
        m_paintThrottle->engage();
    m_submitPage.setRunInProgress(inProgress);
    if (inProgress)
        answerCleared();
    else
        m_paintThrottle->release();
    emit stateChanged(inProgress);
}

void RunWatcher::refuse(const RunRefusal &refusal, bool asError)
{
    m_refused = true;
    m_platform.messageBox(m_window, refusal.text, refusal.caption, Platform::Ok,
                          asError ? Platform::Icon::Error : Platform::Icon::None);
}
