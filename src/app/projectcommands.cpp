// The project commands of the main window: New, Open, Save, Close, Delete and
// Exit, and reading and writing the project file.

#include "app/constants.h"
#include "app/mainform.h"
#include "app/memolines.h"
#include "app/platform.h"
#include "engines/ui/enginechecklist.h"
#include "project/profilefile.h"
#include "project/settingskeys.h"
#include "project/urltable.h"
#include "runs/ui/statuslog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

#include <cstdlib>

using namespace Quillcast;
namespace Keys = SettingsKeys;

namespace {

QString readKey(const ProfileFile &file, const Keys::Key &key)
{
    return file.readString(QLatin1String(key.section), QLatin1String(key.key), QLatin1String(key.defaultValue));
}

bool readBoolKey(const ProfileFile &file, const Keys::Key &key)
{
    return file.readBool(QLatin1String(key.section), QLatin1String(key.key), QByteArray(key.defaultValue) != "0");
}

void writeKey(ProfileFile &file, const Keys::Key &key, const QString &value)
{
    file.writeString(QLatin1String(key.section), QLatin1String(key.key), value);
}

QString emailKey(int line)
{
    return QString::fromLatin1(Keys::EmailKeyFormat).arg(line);
}

} // namespace

void TMainForm::LoadProjectSettings()
{
    // 1. The automatic engines, all unchecked.
    ProcessEngines(2);
    const ProfileFile project(ProjectFile);
    // 2. An ID below 1 is no valid project ID.
    ProjectId = qMax(0, project.readInteger(QLatin1String(Keys::ProjectID.section), QLatin1String(Keys::ProjectID.key), 0));
    // 3. Where the engine lists come from.
    const int source =
        project.readInteger(QLatin1String(Keys::EngineList.section), QLatin1String(Keys::EngineList.key), 0);
    if (QAbstractButton *button = Settings.SettingsEngineListButtons->button(source)) {
        button->setChecked(true);
    } else {
        // Neither item: the boxes decide, as with "Load".
        Settings.SettingsEngineListButtons->setExclusive(false);
        for (QAbstractButton *item : Settings.SettingsEngineListButtons->buttons())
            item->setChecked(false);
        Settings.SettingsEngineListButtons->setExclusive(true);
    }
    Settings.SettingsEngineAutoEdit->setText(readKey(project, Keys::AutoList));
    Settings.SettingsEngineManualEdit->setText(readKey(project, Keys::ManualList));
    // 4. Run options.
    Submit.SubmitDLEnginesCheckBox->setChecked(readBoolKey(project, Keys::DownloadEngines));
    Submit.SubmitTimeoutEdit->setText(readKey(project, Keys::Timeout));
    Submit.StatusLogCheckBox->setChecked(readBoolKey(project, Keys::StatusLog));
    // 5. The sender.
    Info.InfoFirstNameEdit->setText(readKey(project, Keys::FirstName));
    Info.InfoMIEdit->setText(readKey(project, Keys::MiddleInitial));
    Info.InfoLastNameEdit->setText(readKey(project, Keys::LastName));
    // 6. E-mail lines: as many keys are read as the section holds, by number,
    // so a gap in the numbering loses the lines after it.
    const QString emails = QLatin1String(Keys::EmailsSection);
    const qsizetype count = project.keyNames(emails).size();
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        const QString line = project.readString(emails, emailKey(i), QString());
        if (!line.isEmpty())
            lines.append(line);
    }
    SetMemoLines(Info.InfoEmailMemo, lines);
    // 7.
    ExciteLanguage = readKey(project, Keys::ExciteLanguage);
    ExciteLocation = readKey(project, Keys::ExciteLocation);
    ExciteCategory = readKey(project, Keys::ExciteCategory);
    // 8. Engine names match exactly; keys naming no listed engine are ignored.
    const QString chosen = QLatin1String(Keys::SearchEnginesSection);
    const QStringList keys = project.keyNames(chosen);
    EngineCheckList *engines = Settings.SettingsSearchEnginesCheckList;
    for (int i = 0; i < engines->count(); ++i)
        for (const QString &key : keys)
            if (engines->text(i) == key)
                engines->setChecked(i, project.readBool(chosen, key, false));
    // 9.
    Modified = false;
}

void TMainForm::SaveProjectSettings()
{
    ProfileFile project(ProjectFile);
    writeKey(project, Keys::EngineList, QString::number(Settings.SettingsEngineListButtons->checkedId()));
    writeKey(project, Keys::AutoList, Settings.SettingsEngineAutoEdit->text());
    writeKey(project, Keys::ManualList, Settings.SettingsEngineManualEdit->text());
    writeKey(project, Keys::DownloadEngines, Submit.SubmitDLEnginesCheckBox->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    writeKey(project, Keys::Timeout, Submit.SubmitTimeoutEdit->text());
    writeKey(project, Keys::StatusLog, Submit.StatusLogCheckBox->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    writeKey(project, Keys::FirstName, Info.InfoFirstNameEdit->text());
    writeKey(project, Keys::MiddleInitial, Info.InfoMIEdit->text());
    writeKey(project, Keys::LastName, Info.InfoLastNameEdit->text());
    const QString emails = QLatin1String(Keys::EmailsSection);
    project.eraseSection(emails);
    const QStringList lines = MemoLines(Info.InfoEmailMemo);
    for (int i = 0; i < lines.size(); ++i)
        project.writeString(emails, emailKey(i), lines.at(i));
    writeKey(project, Keys::ExciteLanguage, ExciteLanguage);
    writeKey(project, Keys::ExciteLocation, ExciteLocation);
    writeKey(project, Keys::ExciteCategory, ExciteCategory);
    // Keys of engines that are no longer listed stay as they are.
    const QString chosen = QLatin1String(Keys::SearchEnginesSection);
    const EngineCheckList *engines = Settings.SettingsSearchEnginesCheckList;
    for (int i = 0; i < engines->count(); ++i) {
        if (engines->isChecked(i))
            project.writeBool(chosen, engines->text(i), true);
        else
            project.deleteKey(chosen, engines->text(i));
    }
}

void TMainForm::ShowProject()
{
    m_pageControl->setCurrentWidget(Info.InfoTabSheet);
    ResponseFileCounter = 0;
    Submit.SubmitStatusRichEdit->clear();
    StatusBarIdPanel->setText(QString::number(ProjectId));
    URLFilter = QStringLiteral("Projectid = ") + StatusBarIdPanel->text();
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
        const int id = ini.readInteger(QLatin1String(Keys::ProjectCounter.section),
                                       QLatin1String(Keys::ProjectCounter.key), 0) + 1;
        ini.writeInteger(QLatin1String(Keys::ProjectCounter.section), QLatin1String(Keys::ProjectCounter.key), id);
        ProjectId = id;
        StatusBarIdPanel->setText(QString::number(ProjectId));
        ProfileFile(ProjectFile)
            .writeInteger(QLatin1String(Keys::ProjectID.section), QLatin1String(Keys::ProjectID.key), ProjectId);

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
            // The unattended open: the name is relative to the base directory.
            openProjectFile(BaseDir + QLatin1Char('/') + Startup.LoadArgument, true);
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
        showFailure(failure);
    }
    RefreshControls();
}

void TMainForm::openProjectFile(const QString &path, bool unattended)
{
    ProjectFile = path;
    LoadProjectSettings();
    if (unattended && Startup.UrlListFlag)
        ReplaceURLsFromFile();
    if (ProjectId == 0) {
        if (unattended)
            m_platform.messageBox(this, ProjectFile, QStringLiteral("Cannot open project"), Platform::Ok);
        else
            m_platform.messageBox(this, QStringLiteral("This project has an invalid ID"), QStringLiteral("Error"),
                                  Platform::Ok);
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
    ProjectId = 0;
    Info.InfoFirstNameEdit->clear();
    Info.InfoMIEdit->clear();
    Info.InfoLastNameEdit->clear();
    SenderEmail.clear();
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

void TMainForm::PickSenderEmail()
{
    const QStringList lines = MemoLines(Info.InfoEmailMemo);
    SenderEmail.clear();
    if (lines.isEmpty())
        return;
    // The standard generator, never seeded: each start yields the same sequence.
    for (int attempt = 0; attempt < 1001; ++attempt) {
        SenderEmail = lines.at((std::rand() % 32768) % lines.size());
        if (!SenderEmail.isEmpty())
            return;
    }
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
    StopFlag = true; // a run in progress stops at its next check
    QApplication::exit(0);
}
