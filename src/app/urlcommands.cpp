#include "app/urlcommands.h"

#include "app/directorylock.h"
#include "app/settingspage.h"
#include "platform/platform.h"
#include "project/session/projectsession.h"
#include "project/store/urltable.h"
#include "runs/sitemapimport.h"
#include "runs/ui/statuslog.h"
#include "runs/urlimports.h"

UrlCommands::UrlCommands(Platform &platform, QWidget *parent, ProjectSession &session, UrlTable &table,
                         const RunServices &services, DirectoryLock &lock, SettingsPage &settingsPage, StatusLog &log)
    : QObject(parent), m_platform(platform), m_parent(parent), m_session(session), m_table(table), m_services(services),
      m_lock(lock), m_settingsPage(settingsPage), m_log(log)
{
    connect(&m_settingsPage, &SettingsPage::addUrlClicked, this, &UrlCommands::addUrl);
    connect(&m_settingsPage, &SettingsPage::enableAllUrlsClicked, this, &UrlCommands::enableAllUrls);
    connect(&m_settingsPage, &SettingsPage::writeKeyFileClicked, this, &UrlCommands::writeKeyFile);
}

void UrlCommands::addUrl()
{
    try {
        // Stored exactly as typed: no trimming, no check of form or duplicates.
        m_table.addUrl(m_session.id(), m_settingsPage.newUrl());
        emit urlsChanged();
    } catch (const std::exception &failure) {
        showFailure(failure);
        return;
    }
    m_settingsPage.takeNewUrl();
}

void UrlCommands::importUrlList()
{
    Platform::FileDialog dialog;
    dialog.objectName = QStringLiteral("DataOpenDialog");
    dialog.title = QStringLiteral("Import data from a text file");
    dialog.directory = m_session.baseDir();
    dialog.filter = QStringLiteral("Text file (*.txt)|*.txt");
    dialog.defaultSuffix = QStringLiteral("txt");
    const QString chosen = m_platform.openFileName(m_parent, dialog);
    if (chosen.isEmpty())
        return;
    const DirectoryLock::Scope lock(m_lock);
    if (!lock.held())
        return;
    try {
        const UrlImport import = AddUrlsFromList(m_table, m_session.id(), chosen);
        if (import.added > 0)
            emit urlsChanged();
        tell(import);
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
    emit changed();
}

void UrlCommands::importSitemapFile()
{
    Platform::FileDialog dialog;
    dialog.objectName = QStringLiteral("DataOpenDialog");
    dialog.title = QStringLiteral("Import a sitemap");
    dialog.directory = m_session.baseDir();
    dialog.filter = QStringLiteral("Sitemap (*.xml *.xml.gz *.gz)|*.xml *.xml.gz *.gz");
    const QString chosen = m_platform.openFileName(m_parent, dialog);
    if (chosen.isEmpty())
        return;
    if (replaceFromSitemaps({chosen}))
        emit urlsChanged();
    emit changed();
}

void UrlCommands::importSitemapAddress()
{
    Platform::TextPrompt prompt;
    prompt.objectName = QStringLiteral("SitemapAddressDialog");
    prompt.title = QStringLiteral("Import a sitemap from an address");
    prompt.label = QStringLiteral("The sitemap's address (http:// or https://):");
    prompt.text = QStringLiteral("https://");
    const QString address = m_platform.textInput(m_parent, prompt).value_or(QString()).trimmed();
    if (address.isEmpty() || address == prompt.text)
        return;
    if (!SitemapImport::isUrl(address)) {
        m_platform.messageBox(m_parent,
                              QStringLiteral("\"%1\" is not an http:// or https:// address. A sitemap file is "
                                             "imported with Data \u25B8 Import sitemap.")
                                  .arg(address),
                              QStringLiteral("Sitemap not read"), Platform::Ok, Platform::Icon::Stop);
        return;
    }
    if (replaceFromSitemaps({address}))
        emit urlsChanged();
    emit changed();
}

bool UrlCommands::replaceFromSitemaps(const QStringList &fileOrUrls)
{
    const DirectoryLock::Scope lock(m_lock);
    if (!lock.held())
        return false;
    UrlImport import;
    emit busy(true);
    try {
        import = ReplaceUrlsFromSitemaps(m_services, m_table, m_session.id(), fileOrUrls, m_session.baseDir(),
                                         m_session.settings().timeoutSeconds());
    } catch (const std::exception &failure) {
        emit busy(false);
        showFailure(failure);
        return false;
    }
    emit busy(false);
    if (!tell(import))
        return false;
    m_log.AddStatusLine(import.doneLine, StatusKind::Plain);
    return true;
}

void UrlCommands::enableAllUrls()
{
    try {
        m_table.enableAll(m_session.id());
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
    emit changed();
}

void UrlCommands::writeKeyFile()
{
    const QString key = m_session.settings().indexNowKey;
    if (!ProjectSettings::isValidIndexNowKey(key)) {
        m_platform.messageBox(m_parent, ProjectSettings::indexNowKeyRule(), QStringLiteral("Invalid IndexNow key"),
                              Platform::Ok, Platform::Icon::Error);
        return;
    }
    Platform::FileDialog dialog;
    dialog.objectName = QStringLiteral("KeyFileSaveDialog");
    dialog.title = QStringLiteral("Write the IndexNow key file");
    dialog.directory = m_session.baseDir();
    dialog.fileName = key + QStringLiteral(".txt");
    dialog.filter = QStringLiteral("Text file (*.txt)|*.txt");
    dialog.defaultSuffix = QStringLiteral("txt");
    dialog.promptOverwrite = true;
    const QString chosen = m_platform.saveFileName(m_parent, dialog);
    if (chosen.isEmpty())
        return;
    const QString error = ProjectSettings::writeIndexNowKeyFile(chosen, key);
    if (!error.isEmpty())
        m_platform.messageBox(m_parent, error, ProjectSession::KeyFileNotWrittenCaption, Platform::Ok,
                              Platform::Icon::Error);
}

bool UrlCommands::tell(const UrlImport &import)
{
    for (const QString &line : import.skipped)
        m_log.AddStatusLine(line, StatusKind::Failure);
    if (!import.imported)
        m_platform.messageBox(m_parent, import.failureText, import.failureCaption, Platform::Ok, Platform::Icon::Stop);
    return import.imported;
}

void UrlCommands::showFailure(const std::exception &failure)
{
    m_platform.showError(m_parent, QString::fromUtf8(failure.what()));
}
