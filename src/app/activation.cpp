// Activation of the main window and the unattended sequence: open the project,
// take its URL list, make and write its IndexNow key, submit, search, and end
// with a status that says how it went. Also the base directory shared with other
// programs: its lock, and what they changed while the window looked away.

#include "app/mainform.h"
#include "app/settingspage.h"
#include "app/submitpage.h"
#include "platform/platform.h"
#include "project/baselock.h"
#include "project/urltable.h"
#include "project/urltablemodel.h"
#include "runs/runsummary.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTimer>
#include <optional>

namespace {

enum ExitStatus { Success = 0, StepFailed = 1, RequestsFailed = 3 };

QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(&file);
    return hash.result();
}

} // namespace

bool TMainForm::unattended() const
{
    return Startup.ExitFlag || !m_platform.interactive();
}

void TMainForm::FormActivate()
{
    // The start-up actions run once, at the first activation: a box or dialog
    // closed later activates the window again and must not reopen the project
    // or start another run.
    if (!m_startupDone) {
        m_startupDone = true;
        // With a window, a mistake on the command line is told and passed over.
        for (const QString &error : Startup.UsageErrors)
            AddStatusLine(QStringLiteral("Command line: ") + error, StatusKind::Failure);
        const int status = StartupActions();
        // Without a display nobody could ever close the program: it ends when
        // its start-up actions are done, as if "/exit" had been given.
        if (unattended()) {
            if (status != Success)
                m_platform.report(unattendedSummary(status));
            // Queued, so that it ends the program's own loop even before that loop runs.
            QTimer::singleShot(0, qApp, [status] { QCoreApplication::exit(status); });
        }
    }
    LoadManualEngineList();
}

int TMainForm::StartupActions()
{
    if (!Startup.LoadFlag)
        return Success;
    m_stepFailed = false;
    // One piece of work from the import to the search: no other run slips in between.
    std::optional<WorkLock> lock;
    if (Startup.hasWork() && !lock.emplace(*this).held())
        return StepFailed;
    // Open takes the load argument instead of asking, during these actions only.
    m_inStartupActions = true;
    OpenProjectClick();
    m_inStartupActions = false;
    QApplication::processEvents();
    if (ProjectId == 0 || m_stepFailed)
        return StepFailed;
    if (Startup.NewKeyFlag && !makeIndexNowKey())
        return StepFailed;
    if (Startup.KeyFileFlag && !writeIndexNowKeyFile(Startup.KeyFileArgument))
        return StepFailed;
    if (Startup.RunFlag) {
        m_pageControl->setCurrentWidget(m_submitPage);
        SubmitBitBtnClick();
        m_submitTally = m_lastTally;
        QApplication::processEvents();
        if (m_stepFailed)
            return StepFailed;
    }
    if (Startup.SearchFlag) {
        m_pageControl->setCurrentWidget(m_submitPage);
        SearchURLsBitBtnClick();
        m_searchTally = m_lastTally;
        QApplication::processEvents();
        if (m_stepFailed)
            return StepFailed;
    }
    return anyRequestFailed(m_submitTally) || anyRequestFailed(m_searchTally) ? RequestsFailed : Success;
}

QString TMainForm::unattendedSummary(int status) const
{
    QString text = status == RequestsFailed
                       ? QStringLiteral("quillcast: the run finished, but some requests failed or timed out\n")
                       : QStringLiteral("quillcast: a step could not run (see above)\n");
    return text + RunSummary(m_submitTally, m_searchTally, m_runNotices);
}

void TMainForm::failStep(const QString &caption, const QString &text)
{
    m_stepFailed = true;
    m_platform.messageBox(this, text, caption, Platform::Ok, Platform::Icon::Error);
}

bool TMainForm::makeIndexNowKey()
{
    const QString caption = QStringLiteral("IndexNow key not made");
    const QString existing = m_settingsPage->indexNowKey();
    if (ProjectSettings::isValidIndexNowKey(existing))
        return true; // the site may publish it already
    if (!existing.isEmpty()) {
        failStep(caption, QStringLiteral("The IndexNow key \"%1\" of %2 is not valid, and is kept: correct it or "
                                         "remove it. %3")
                              .arg(existing, ProjectFile, ProjectSettings::indexNowKeyRule()));
        return false;
    }
    const QString key = ProjectSettings::generateIndexNowKey();
    try {
        ProjectSettings::saveIndexNowKey(ProjectFile, key);
    } catch (const std::exception &failure) {
        failStep(caption, QString::fromUtf8(failure.what()));
        return false;
    }
    // Saved already: the window holds no change of its own because of it.
    const bool modified = Modified;
    m_settingsPage->setIndexNowKey(key);
    Modified = modified;
    if (!Modified)
        rememberProjectFile();
    RefreshControls();
    return true;
}

bool TMainForm::writeIndexNowKeyFile(const QString &directory)
{
    const QString caption = QStringLiteral("Key file not written");
    const QString key = m_settingsPage->indexNowKey();
    if (key.isEmpty()) {
        failStep(caption, QStringLiteral("The project %1 has no IndexNow key: make one with /newkey, or with Generate "
                                         "on the page \"Settings for search engines\".")
                              .arg(ProjectFile));
        return false;
    }
    if (!ProjectSettings::isValidIndexNowKey(key)) {
        failStep(caption, QStringLiteral("The IndexNow key \"%1\" of %2 is not valid. %3")
                              .arg(key, ProjectFile, ProjectSettings::indexNowKeyRule()));
        return false;
    }
    // A relative directory is taken from the base directory.
    const QString path = QDir(QDir(BaseDir).filePath(directory)).filePath(key + QStringLiteral(".txt"));
    const QString error = ProjectSettings::writeIndexNowKeyFile(path, key);
    if (!error.isEmpty()) {
        failStep(caption, error);
        return false;
    }
    return true;
}

bool TMainForm::lockBase()
{
    if (m_lockDepth > 0) {
        ++m_lockDepth;
        return true;
    }
    const BaseLock::Outcome outcome = m_baseLock->tryAcquire();
    if (outcome == BaseLock::Outcome::Acquired) {
        m_lockDepth = 1;
        return true;
    }
    const QString text = outcome == BaseLock::Outcome::Held
                             ? QStringLiteral("The directory %1 is in use by another Quillcast%2.")
                                   .arg(BaseDir, m_baseLock->holderPid() > 0
                                                     ? QStringLiteral(" (process %1)").arg(m_baseLock->holderPid())
                                                     : QString())
                             : QStringLiteral("The directory %1 cannot be locked for Quillcast: %2")
                                   .arg(BaseDir, m_baseLock->errorText());
    m_stepFailed = true;
    if (unattended())
        m_platform.report(QStringLiteral("quillcast: ") + text);
    else
        m_platform.messageBox(this, text, QStringLiteral("Quillcast"), Platform::Ok, Platform::Icon::Stop);
    return false;
}

void TMainForm::unlockBase()
{
    if (m_lockDepth > 0 && --m_lockDepth == 0)
        m_baseLock->release();
}

void TMainForm::rememberProjectFile()
{
    m_projectFileHash = fileHash(ProjectFile);
}

qint64 TMainForm::urlTableVersion()
{
    QSqlQuery &query = m_urlTable->query().select(QStringLiteral("pragma data_version"));
    const qint64 version = query.next() ? query.value(0).toLongLong() : -1;
    // A statement left open would keep reading the snapshot it began with.
    query.finish();
    return version;
}

void TMainForm::showChangesMadeElsewhere()
{
    if (!m_startupDone || ProjectId == 0 || RunInProgress() || m_lockDepth > 0)
        return;
    // A row being edited in the grid is the user's: the view waits for it.
    if (m_urlModel->state() == UrlTableModel::State::Browse) {
        try {
            const qint64 version = urlTableVersion();
            if (version != m_seenUrlTableVersion) {
                m_urlModel->refresh();
                m_seenUrlTableVersion = version;
            }
        } catch (const std::exception &) {
            // A table that cannot be read now keeps showing what it showed.
        }
    }
    // Changes of the window's own are kept; the user decides at the next save.
    if (!Modified && fileHash(ProjectFile) != m_projectFileHash) {
        const ProjectSettings settings = ProjectSettings::load(ProjectFile);
        if (settings.projectId == ProjectId) {
            showSettings(settings);
            Modified = false;
        }
        rememberProjectFile();
    }
    RefreshControls();
}
