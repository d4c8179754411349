// The URL commands of the main window: add one URL, import a file, replace the
// project's URLs from the URL-list argument, enable every URL, and write the
// site's IndexNow key file.

#include "app/mainform.h"
#include "app/platform.h"
#include "app/settingspage.h"
#include "project/urllist.h"
#include "project/urltable.h"
#include "project/urltablemodel.h"
#include "runs/sitemapimport.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

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
        m_urlTable->addUrl(ProjectId, m_settingsPage->newUrl());
        m_urlModel->refresh();
        URLTableAfterPost();
    } catch (const std::exception &failure) {
        showFailure(failure);
        return;
    }
    m_settingsPage->takeNewUrl();
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

void TMainForm::ImportSitemapClick()
{
    Platform::FileDialog dialog;
    dialog.objectName = QStringLiteral("DataOpenDialog");
    dialog.title = QStringLiteral("Import a sitemap");
    dialog.directory = BaseDir;
    dialog.filter = QStringLiteral("Sitemap (*.xml *.xml.gz *.gz)|*.xml *.xml.gz *.gz");
    const QString chosen = m_platform.openFileName(this, dialog);
    if (chosen.isEmpty())
        return;
    if (ReplaceURLsFromSitemap(chosen))
        URLTableAfterPost();
    RefreshControls();
}

bool TMainForm::ReplaceURLsFromSitemap(const QString &fileOrUrl)
{
    SitemapImportResult result;
    try {
        SetBusyCursor(1);
        SitemapImport import(*m_http, BaseDir, qMax(currentSettings().timeoutSeconds(), 15));
        result = import.importInto(*m_urlTable, ProjectId, fileOrUrl);
        SetBusyCursor(0);
        m_urlModel->refresh();
    } catch (const std::exception &failure) {
        SetBusyCursor(0);
        showFailure(failure);
        return false;
    }
    for (const SitemapWarning &warning : result.warnings)
        tellSkipped(warning.text() + QStringLiteral(" (skipped)"));
    if (result.skipped > result.warnings.size())
        tellSkipped(QStringLiteral("%1 more sitemap entries skipped").arg(result.skipped - result.warnings.size()));
    if (!result.readable()) {
        m_platform.messageBox(this, result.error, QStringLiteral("Sitemap not read"), Platform::Ok,
                              Platform::Icon::Stop);
        return false;
    }
    AddStatusLine(QStringLiteral("Sitemap: %1 pages from %2 sitemaps").arg(result.entries.size()).arg(result.sitemapsRead),
                  int(StatusKind::Plain));
    return true;
}

void TMainForm::reportUrlListWarnings(const UrlList &list)
{
    const QString name = QFileInfo(list.path).fileName();
    for (const UrlListWarning &warning : list.warnings)
        tellSkipped(name + QStringLiteral(", ") + warning.text() + QStringLiteral(" (skipped)"));
    const qint64 untold = list.skippedLines - list.warnings.size();
    if (untold > 0)
        tellSkipped(name + QStringLiteral(": %1 more lines skipped").arg(untold));
}

void TMainForm::tellSkipped(const QString &text)
{
    AddStatusLine(text, int(StatusKind::Failure));
    if (unattended())
        m_platform.report(QStringLiteral("quillcast: ") + text);
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

void TMainForm::SettingsIndexNowKeyFileBitBtnClick()
{
    const QString key = m_settingsPage->indexNowKey();
    if (!ProjectSettings::isValidIndexNowKey(key)) {
        m_platform.messageBox(this,
                              QStringLiteral("An IndexNow key is 8 to 128 characters long and holds only the letters "
                                             "a-z and A-Z, the digits 0-9 and \"-\"."),
                              QStringLiteral("Invalid IndexNow key"), Platform::Ok, Platform::Icon::Error);
        return;
    }
    Platform::FileDialog dialog;
    dialog.objectName = QStringLiteral("KeyFileSaveDialog");
    dialog.title = QStringLiteral("Write the IndexNow key file");
    dialog.directory = BaseDir;
    dialog.fileName = key + QStringLiteral(".txt");
    dialog.filter = QStringLiteral("Text file (*.txt)|*.txt");
    dialog.defaultSuffix = QStringLiteral("txt");
    dialog.promptOverwrite = true;
    const QString chosen = m_platform.saveFileName(this, dialog);
    if (chosen.isEmpty())
        return;
    // The engines read the file's whole content as the key: no line break after it.
    QSaveFile file(chosen);
    if (!file.open(QIODevice::WriteOnly) || file.write(key.toLatin1()) != key.size() || !file.commit())
        m_platform.messageBox(this,
                              QStringLiteral("Cannot write ") + chosen + QStringLiteral(": ") + file.errorString(),
                              QStringLiteral("Key file not written"), Platform::Ok, Platform::Icon::Error);
}
