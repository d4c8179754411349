// The URL commands of the main window: add one URL, import a file or a
// sitemap, replace the project's URLs from the URL-list argument, enable every
// URL, and write the site's IndexNow key file. An import that would leave the
// project without a single URL changes nothing and says why.

#include "app/mainform.h"
#include "app/settingspage.h"
#include "platform/platform.h"
#include "project/urllist.h"
#include "project/urltable.h"
#include "project/urltablemodel.h"
#include "runs/runservices.h"
#include "runs/sitemapimport.h"

#include <QDir>
#include <QFileInfo>

void TMainForm::applyUrlFilter()
{
    m_urlTable->setFilter(ProjectId);
    try {
        m_seenUrlTableVersion = urlTableVersion();
    } catch (const std::exception &) {
        m_seenUrlTableVersion = -1; // the next activation looks again
    }
}

void TMainForm::AddURL()
{
    try {
        // Stored exactly as typed: no trimming, no check of form or duplicates.
        m_urlTable->addUrl(ProjectId, m_settingsPage->newUrl());
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
    const WorkLock lock(*this);
    if (!lock.held())
        return;
    try {
        UrlList list;
        const int added = m_urlTable->importFile(ProjectId, chosen, &list);
        if (added > 0)
            URLTableAfterPost();
        reportUrlListWarnings(list);
        if (added < 0)
            m_platform.messageBox(this, list.errorText(), QStringLiteral("URL list not imported"), Platform::Ok,
                                  Platform::Icon::Stop);
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
    if (ReplaceURLsFromSitemap({chosen}))
        URLTableAfterPost();
    RefreshControls();
}

void TMainForm::ImportSitemapAddressClick()
{
    Platform::TextPrompt prompt;
    prompt.objectName = QStringLiteral("SitemapAddressDialog");
    prompt.title = QStringLiteral("Import a sitemap from an address");
    prompt.label = QStringLiteral("The sitemap's address (http:// or https://):");
    prompt.text = QStringLiteral("https://");
    const std::optional<QString> typed = m_platform.textInput(this, prompt);
    const QString address = typed.value_or(QString()).trimmed();
    if (address.isEmpty() || address == prompt.text)
        return;
    if (!SitemapImport::isUrl(address)) {
        m_platform.messageBox(this,
                              QStringLiteral("\"%1\" is not an http:// or https:// address. A sitemap file is "
                                             "imported with Data \u25B8 Import sitemap.")
                                  .arg(address),
                              QStringLiteral("Sitemap not read"), Platform::Ok, Platform::Icon::Stop);
        return;
    }
    if (ReplaceURLsFromSitemap({address}))
        URLTableAfterPost();
    RefreshControls();
}

bool TMainForm::ReplaceURLsFromSitemap(const QStringList &fileOrUrls)
{
    const WorkLock lock(*this);
    if (!lock.held())
        return false;
    SitemapImportResult result;
    try {
        SetBusyCursor(1);
        result = m_network->importSitemaps(*m_urlTable, ProjectId, fileOrUrls, BaseDir,
                                           qMax(currentSettings().timeoutSeconds(), 15));
        SetBusyCursor(0);
    } catch (const std::exception &failure) {
        SetBusyCursor(0);
        showFailure(failure);
        return false;
    }
    for (const SitemapWarning &warning : result.warnings)
        tellSkipped(warning.text() + QStringLiteral(" (skipped)"));
    if (result.skipped > result.warnings.size())
        tellSkipped(QStringLiteral("%1 more sitemap entries skipped").arg(result.skipped - result.warnings.size()));
    if (!result.lastmodNotice.isEmpty())
        tellSkipped(result.lastmodNotice);
    if (!result.readable()) {
        m_platform.messageBox(this, result.error, QStringLiteral("Sitemap not read"), Platform::Ok,
                              Platform::Icon::Stop);
        return false;
    }
    AddStatusLine(
        QStringLiteral("Sitemap: %1 pages from %2 sitemaps").arg(result.entries.size()).arg(result.sitemapsRead),
        StatusKind::Plain);
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
    AddStatusLine(text, StatusKind::Failure);
    if (unattended())
        m_platform.report(QStringLiteral("quillcast: ") + text);
}

bool TMainForm::ReplaceURLsFromFile()
{
    const WorkLock lock(*this);
    if (!lock.held())
        return false;
    // A relative name is taken from the base directory.
    const QString path = QDir(BaseDir).filePath(Startup.UrlListArgument);
    UrlList list;
    bool replaced = false;
    try {
        // A list that cannot be read, or yields no URL, changes nothing; URLs already submitted stay so.
        replaced = m_urlTable->replaceFromFile(ProjectId, path, &list);
    } catch (const std::exception &failure) {
        showFailure(failure);
        return false;
    }
    reportUrlListWarnings(list);
    if (!replaced) {
        m_platform.messageBox(this, list.errorText().isEmpty() ? Startup.UrlListArgument : list.errorText(),
                              list.status == UrlList::Status::NoUrl ? QStringLiteral("URL List not imported")
                                                                    : QStringLiteral("URL List not found"),
                              Platform::Ok, Platform::Icon::Stop);
        return false;
    }
    return true;
}

void TMainForm::EnableAllURLsBitBtnClick()
{
    try {
        m_urlTable->enableAll(ProjectId);
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
        m_platform.messageBox(this, ProjectSettings::indexNowKeyRule(), QStringLiteral("Invalid IndexNow key"),
                              Platform::Ok, Platform::Icon::Error);
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
    const QString error = ProjectSettings::writeIndexNowKeyFile(chosen, key);
    if (!error.isEmpty())
        m_platform.messageBox(this, error, QStringLiteral("Key file not written"), Platform::Ok, Platform::Icon::Error);
}
