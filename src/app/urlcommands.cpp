// The URL commands of the main window: add one URL, import a file, replace the
// project's URLs from the URL-list argument, and enable every URL.

#include "app/mainform.h"
#include "app/platform.h"
#include "project/urltable.h"
#include "project/urltablemodel.h"

#include <QDir>
#include <QLineEdit>

void TMainForm::applyUrlFilter()
{
    m_urlTable->setFilter(ProjectId);
    m_urlModel->refresh();
}

void TMainForm::AddURL()
{
    try {
        m_urlTable->reopen();
        // Stored exactly as typed: no trimming, no check of form or duplicates.
        m_urlTable->addUrl(ProjectId, Settings.SettingsURLAddEdit->text());
        m_urlModel->refresh();
        URLTableAfterPost();
    } catch (const std::exception &failure) {
        showFailure(failure);
        return;
    }
    Settings.SettingsURLAddEdit->clear();
    Settings.SettingsURLAddEdit->setFocus();
}

void TMainForm::ImportfromfileClick()
{
    Platform::FileDialog dialog;
    dialog.objectName = QStringLiteral("DataOpenDialog");
    dialog.title = QStringLiteral("Import data from a text file");
    dialog.directory = BaseDir;
    dialog.filter = QStringLiteral("Text file (*.txt)|*.txt");
    dialog.defaultSuffix = QStringLiteral("txt");
    const QString chosen = m_platform.openFileName(this, dialog);
    if (chosen.isEmpty())
        return;
    try {
        m_urlTable->reopen();
        // A file that cannot be opened is passed over silently.
        if (m_urlTable->importFile(ProjectId, chosen) > 0) {
            m_urlModel->refresh();
            URLTableAfterPost();
        }
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
    RefreshControls();
}

bool TMainForm::ReplaceURLsFromFile()
{
    // A relative name is taken from the base directory.
    const QString path = QDir(BaseDir).filePath(Startup.UrlListArgument);
    bool replaced = false;
    try {
        // The project's rows are gone even when the file then cannot be read.
        replaced = m_urlTable->replaceFromFile(ProjectId, path);
        m_urlModel->refresh();
    } catch (const std::exception &failure) {
        showFailure(failure);
        return false;
    }
    if (!replaced)
        m_platform.messageBox(this, Startup.UrlListArgument, QStringLiteral("URL List not found"), Platform::Ok,
                              Platform::Icon::Stop);
    return replaced;
}

void TMainForm::EnableAllURLsBitBtnClick()
{
    try {
        m_urlTable->enableAll(ProjectId);
        m_urlModel->refresh();
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
    RefreshControls();
}

void TMainForm::URLTableAfterPost()
{
    MarkModified();
}

void TMainForm::URLTableAfterDelete()
{
    MarkModified();
}
