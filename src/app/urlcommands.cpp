// The URL commands of the main window: add one URL, import a file, replace the
// project's URLs from the URL-list argument, and enable every URL.

#include "app/mainform.h"
#include "app/platform.h"
#include "project/urllist.h"
#include "project/urltable.h"
#include "project/urltablemodel.h"

#include <QDir>
#include <QFileInfo>
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
        UrlList list;
        // A file that cannot be opened is passed over silently.
        if (m_urlTable->importFile(ProjectId, chosen, &list) > 0) {
            m_urlModel->refresh();
            URLTableAfterPost();
        }
        reportUrlListWarnings(list);
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
    RefreshControls();
}

void TMainForm::reportUrlListWarnings(const UrlList &list)
{
    const QString name = QFileInfo(list.path).fileName();
    for (const UrlListWarning &warning : list.warnings) {
        const QString text = name + QStringLiteral(", ") + warning.text() + QStringLiteral(" (skipped)");
        AddStatusLine(text, int(StatusKind::Failure));
        if (unattended())
            m_platform.report(QStringLiteral("quillcast: ") + text);
    }
    const qint64 untold = list.skippedLines - list.warnings.size();
    if (untold > 0) {
        const QString text = name + QStringLiteral(": %1 more lines skipped").arg(untold);
        AddStatusLine(text, int(StatusKind::Failure));
        if (unattended())
            m_platform.report(QStringLiteral("quillcast: ") + text);
    }
}

bool TMainForm::ReplaceURLsFromFile()
{
    // A relative name is taken from the base directory.
    const QString path = QDir(BaseDir).filePath(Startup.UrlListArgument);
    UrlList list;
    bool replaced = false;
    try {
        // A list that cannot be read changes nothing; URLs already submitted stay so.
        replaced = m_urlTable->replaceFromFile(ProjectId, path, &list);
        m_urlModel->refresh();
    } catch (const std::exception &failure) {
        showFailure(failure);
        return false;
    }
    if (!replaced) {
        m_platform.messageBox(this, list.errorText().isEmpty() ? Startup.UrlListArgument : list.errorText(),
                              QStringLiteral("URL List not found"), Platform::Ok, Platform::Icon::Stop);
        return false;
    }
    reportUrlListWarnings(list);
    return true;
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
