// The project commands of the main window: New, Open, Save, Close, Delete and
// Exit, and reading and writing the project file.

#include "app/constants.h"
#include "app/infopage.h"
#include "app/mainform.h"
#include "app/settingspage.h"
#include "app/submitpage.h"
#include "platform/platform.h"
#include "project/profilefile.h"
#include "project/settingskeys.h"
#include "project/urltable.h"
#include "runs/runcontrol.h"
#include "runs/ui/statuslog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTabWidget>

using namespace Quillcast;
namespace Keys = SettingsKeys;

void TMainForm::LoadProjectSettings()
{
    // The automatic engines, all unchecked, before the project's choice is applied.
    LoadEngineCheckList();
    const ProjectSettings settings = ProjectSettings::load(ProjectFile);
    ProjectId = settings.projectId;
    m_projectIdProblem = settings.projectIdProblem();
    showSettings(settings);
    Modified = false;
    rememberProjectFile();
}

void TMainForm::showSettings(const ProjectSettings &settings)
{
    // First: every box shown below runs a state pass, whose Excite rule must see this project's values.
    ExciteLanguage = settings.exciteLanguage;
    ExciteLocation = settings.exciteLocation;
    ExciteCategory = settings.exciteCategory;
    m_infoPage->showSettings(settings);
    m_settingsPage->showSettings(settings);
    m_submitPage->showSettings(settings);
}

ProjectSettings TMainForm::currentSettings() const
{
    ProjectSettings settings;
    settings.projectId = ProjectId;
    m_infoPage->fillSettings(settings);
    m_settingsPage->fillSettings(settings);
    m_submitPage->fillSettings(settings);
    settings.exciteLanguage = ExciteLanguage;
    settings.exciteLocation = ExciteLocation;
    settings.exciteCategory = ExciteCategory;
    return settings;
}

void TMainForm::SaveProjectSettings()
{
    currentSettings().save(ProjectFile, m_engines.names());
    rememberProjectFile();
}

void TMainForm::ShowProject()
{
    m_pageControl->setCurrentWidget(m_infoPage);
    m_submitPage->log().clear();
    StatusBarIdPanel->setText(QString::number(ProjectId));
    ProjectDir = BaseDir + QStringLiteral("/Projects/") + QString::number(ProjectId);
    ReportPath = ProjectDir + QStringLiteral("/StatusLog.htm");
    applyUrlFilter();
    setWindowTitle(AppTitle + QStringLiteral(" : ") + ProjectFile);
}

void TMainForm::NewProjectClick()
{
    try {
        if (!closeIfModified())
            return;
        Platform::FileDialog dialog;
        dialog.objectName = QStringLiteral("ProjSaveDialog");
        dialog.title = QStringLiteral("Give a name to this new project");
        dialog.directory = BaseDir;
        dialog.fileName = m_lastProjectName;
        dialog.filter = ProjectFilter;
        dialog.defaultSuffix = ProjectExtension;
        dialog.promptOverwrite = true;
        const QString chosen = m_platform.saveFileName(this, dialog);
        if (chosen.isEmpty()) {
            // An open, unchanged project stays open.
            Modified = false;
            RefreshControls();
            return;
        }
        m_lastProjectName = QFileInfo(chosen).fileName();
        ProjectFile = chosen;
        LoadProjectSettings();
        SaveProjectSettings();

        ProfileFile ini(AppIniPath);
        const int id =
            ini.readInteger(QLatin1String(Keys::ProjectCounter.section), QLatin1String(Keys::ProjectCounter.key), 0) +
            1;
        ini.writeInteger(QLatin1String(Keys::ProjectCounter.section), QLatin1String(Keys::ProjectCounter.key), id);
        ProjectId = id;
        StatusBarIdPanel->setText(QString::number(ProjectId));
        ProfileFile(ProjectFile)
            .writeInteger(QLatin1String(Keys::ProjectID.section), QLatin1String(Keys::ProjectID.key), ProjectId);
        rememberProjectFile();

        ShowProject();
        EnsureDirectory(BaseDir + QStringLiteral("/Projects"));
        EnsureDirectory(ProjectDir);
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
    RefreshControls();
}

void TMainForm::OpenProjectClick()
{
    try {
        if (!closeIfModified())
            return;
        if (Startup.LoadFlag && m_inStartupActions) {
            // The unattended open: a relative name is taken from the base directory.
            openProjectFile(QDir(BaseDir).filePath(Startup.LoadArgument), true);
        } else {
            Platform::FileDialog dialog;
            dialog.objectName = QStringLiteral("ProjOpenDialog");
            dialog.title = QStringLiteral("Open a ") + AppTitle + QStringLiteral(" Project");
            dialog.directory = BaseDir;
            dialog.filter = ProjectFilter;
            const QString chosen = m_platform.openFileName(this, dialog);
            if (!chosen.isEmpty())
                openProjectFile(chosen, false);
        }
    } catch (const std::exception &failure) {
        m_stepFailed = m_stepFailed || m_inStartupActions;
        showFailure(failure);
    }
    RefreshControls();
}

void TMainForm::openProjectFile(const QString &path, bool unattended)
{
    ProjectFile = path;
    LoadProjectSettings();
    // A project without a valid ID owns no URLs: the list is not imported into nowhere.
    if (unattended && Startup.UrlListFlag && ProjectId > 0 && !ReplaceURLsFromFile())
        m_stepFailed = true;
    if (unattended && Startup.SitemapFlag && ProjectId > 0 && !ReplaceURLsFromSitemap(Startup.SitemapArguments))
        m_stepFailed = true;
    if (ProjectId == 0) {
        // An ID the table cannot hold exactly would mix this project's URLs with another's.
        if (unattended)
            m_platform.messageBox(
                this,
                m_projectIdProblem.isEmpty() ? ProjectFile : ProjectFile + QStringLiteral(": ") + m_projectIdProblem,
                QStringLiteral("Cannot open project"), Platform::Ok);
        else
            m_platform.messageBox(this,
                                  m_projectIdProblem.isEmpty()
                                      ? QStringLiteral("This project has an invalid ID")
                                      : QStringLiteral("This project has an invalid ID: ") + m_projectIdProblem,
                                  QStringLiteral("Error"), Platform::Ok);
    }
    ShowProject();
    Modified = false;
}

bool TMainForm::closeIfModified()
{
    if (!Modified)
        return true;
    CloseProjectClick();
    if (!m_closeCancelled)
        return true;
    m_closeCancelled = false;
    return false;
}

void TMainForm::SaveProjectClick()
{
    try {
        SaveProjectSettings();
        Modified = false;
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
    RefreshControls();
}

void TMainForm::CloseProjectClick()
{
    if (Modified) {
        const Platform::Button answer =
            m_platform.messageBox(this, QStringLiteral("Do you want to save the current settings for this project?"),
                                  QStringLiteral("Confirm"), Platform::Yes | Platform::No | Platform::Cancel);
        if (answer == Platform::Cancel) {
            m_closeCancelled = true;
            return;
        }
        if (answer == Platform::Yes) {
            SaveProjectClick();
            // A save that failed keeps the project open rather than lose its changes.
            if (Modified) {
                m_closeCancelled = true;
                return;
            }
        }
    }
    // A run of this project ends with it.
    if (RunInProgress())
        runControl().stop();
    ProjectId = 0;
    m_infoPage->clearNames();
    Modified = false;
    setWindowTitle(AppTitle);
    RefreshControls();
}

void TMainForm::DeleteProjectClick()
{
    try {
        Platform::FileDialog dialog;
        dialog.objectName = QStringLiteral("ProjOpenDialog");
        dialog.title = QStringLiteral("Delete a project");
        dialog.directory = BaseDir;
        dialog.filter = ProjectFilter;
        const QString chosen = m_platform.openFileName(this, dialog);
        if (chosen.isEmpty())
            return;
        ProjectFile = chosen;
        LoadProjectSettings();
        const QString question = QStringLiteral("About to delete \"") + ProjectFile +
                                 QStringLiteral("\" permanently, press YES to do it and NO to keep it");
        if (m_platform.messageBox(this, question, QStringLiteral("Deleting Project"), Platform::Yes | Platform::No,
                                  Platform::Icon::Stop) != Platform::Yes) {
            Modified = false;
            CloseProjectClick();
            return;
        }
        // A run of another program may be writing the project's rows: the
        // project stays whole until it is over.
        const WorkLock lock(*this);
        if (!lock.held()) {
            Modified = false;
            CloseProjectClick();
            return;
        }
        // A file without a valid ID owns no rows and no directory.
        if (ProjectId > 0) {
            m_urlTable->deleteProject(ProjectId);
            RemoveProjectDirectory(BaseDir + QStringLiteral("/Projects/") + QString::number(ProjectId));
        }
        const bool deleted = QFile::remove(ProjectFile);
        if (deleted)
            m_platform.messageBox(this, QStringLiteral("Project has been deleted"), QStringLiteral("Finished"),
                                  Platform::Ok);
        Modified = false;
        CloseProjectClick();
        if (!deleted)
            m_platform.messageBox(this, QStringLiteral("Cannot delete the project, make sure it is not in use."),
                                  QStringLiteral("Error Deleting the Project"), Platform::Ok);
    } catch (const std::exception &failure) {
        Modified = false;
        CloseProjectClick();
        showFailure(failure);
    }
}

bool TMainForm::RemoveProjectDirectory(const QString &path)
{
    QDir directory(path);
    if (!directory.exists())
        return false;
    // Plain files only: a directory that holds anything else stays.
    for (const QString &name : directory.entryList(QDir::Files))
        directory.remove(name);
    QDir().rmdir(path);
    return true;
}

void TMainForm::ExitClick()
{
    if (!closeIfModified())
        return;
    try {
        SaveWindowPosition();
    } catch (const std::exception &failure) {
        showFailure(failure);
        return;
    }
    runControl().stop(); // a run in progress stops at its next check
    QApplication::exit(0);
}
