#include "app/runwatcher.h"

#include "app/hiddenpage.h"
#include "app/submitpage.h"
#include "platform/platform.h"
#include "project/projectsession.h"
#include "runs/ui/paintthrottle.h"
#include "runs/ui/statuslog.h"

#include <QSaveFile>

namespace {

// How often a run lets the window paint: often enough to look live, and
// rarely enough that painting the window costs little beside the requests.
constexpr int PaintIntervalMs = 100;

// Why a file cannot be written, found without leaving anything behind.
QString whyNotWritable(const QString &path)
{
    QSaveFile probe(path);
    const QString reason = probe.open(QIODevice::WriteOnly) ? QString() : probe.errorString();
    probe.cancelWriting();
    return reason;
}

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
    refuse(field.isEmpty() ? QStringLiteral("Required Fields:\nFirst,Last Name\nEmail\nBrowser")
                           : QStringLiteral("Required field missing: ") + field,
           QStringLiteral("Required Fields Missing"), false);
}

void RunWatcher::runFailed(const QString &text)
{
    refuse(text, QStringLiteral("Error"), true);
}

void RunWatcher::nothingChosen()
{
    refuse(QStringLiteral("No engine of the engine list is chosen for this project: tick the engines to submit to "
                          "on the page \"Settings for search engines\"."),
           QStringLiteral("No engine chosen"), false);
}

void RunWatcher::engineListMissing(const QString &path)
{
    refuse(QStringLiteral("There is no engine list to work with: ") + path +
               QStringLiteral(" has no engines, and none could be downloaded."),
           QStringLiteral("No engine list"), true);
}

void RunWatcher::reportNotCreated()
{
    const QString path = m_session.reportPath();
    const QString reason = whyNotWritable(path);
    refuse(QStringLiteral("Unable to create Status Log %1%2")
               .arg(path, reason.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + reason),
           QStringLiteral("Error"), true);
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

void RunWatcher::refuse(const QString &text, const QString &caption, bool asError)
{
    m_refused = true;
    m_platform.messageBox(m_window, text, caption, Platform::Ok,
                          asError ? Platform::Icon::Error : Platform::Icon::None);
}
