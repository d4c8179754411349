#include "project/session/projectsession.h"

#include "project/session/profilefile.h"
#include "project/session/settingskeys.h"
#include "project/store/urltable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Keys = SettingsKeys;

namespace {

// Makes path unless something of that name is there already; a directory that
// cannot be made shows up when the run writes into it.
void ensureDirectory(const QString &path)
{
    if (!QFileInfo::exists(path))
        QDir().mkdir(path);
}

// Plain files only: a directory that holds anything else stays.
void removeProjectDirectory(const QString &path)
{
    QDir directory(path);
    if (!directory.exists())
        return;
    for (const QString &name : directory.entryList(QDir::Files))
        directory.remove(name);
    QDir().rmdir(path);
}

} // namespace

ProjectSession::ProjectSession(const QString &baseDir, EngineLoader loader) : m_baseDir(baseDir), m_loader(loader)
{}

ProjectSession::~ProjectSession() = default;

UrlTable &ProjectSession::openTable()
{
    if (!m_table) {
        m_table = std::make_unique<UrlTable>(m_baseDir);
        ensureDirectory(listsDir());
    }
    return *m_table;
}

const EngineCatalogue &ProjectSession::loadEngines()
{
    m_engines = m_loader ? m_loader(autoListPath()) : EngineCatalogue();
    return m_engines;
}

QString ProjectSession::appIniPath() const
{
    return m_baseDir + QStringLiteral("/Quillcast.ini");
}

QString ProjectSession::projectsDir() const
{
    return m_baseDir + QStringLiteral("/Projects");
}

QString ProjectSession::listsDir() const
{
    return m_baseDir + QStringLiteral("/lists");
}

QString ProjectSession::autoListPath() const
{
    return m_baseDir + QStringLiteral("/engines205.txt");
}

QString ProjectSession::manualListPath() const
{
    return m_baseDir + QStringLiteral("/manual_engines205.txt");
}

QString ProjectSession::directory() const
{
    return id() > 0 ? projectsDir() + QLatin1Char('/') + QString::number(id()) : QString();
}

QString ProjectSession::reportPath() const
{
    return id() > 0 ? directory() + QStringLiteral("/StatusLog.htm") : QString();
}

void ProjectSession::setSettings(const ProjectSettings &settings)
{
    const int projectId = id();
    m_settings = settings;
    m_settings.projectId = projectId;
}

bool ProjectSession::open(const QString &path)
{
    m_file = QDir(m_baseDir).filePath(path);
    m_settings = ProjectSettings::load(m_file);
    m_idProblem = m_settings.projectIdProblem();
    return id() > 0;
}

void ProjectSession::save(const QStringList &listedEngines)
{
    m_settings.save(m_file, listedEngines);
}

int ProjectSession::create(const QString &path, const QStringList &listedEngines)
{
    open(path);
    save(listedEngines);
    ProfileFile ini(appIniPath());
    const QString section = QLatin1String(Keys::ProjectCounter.section);
    const QString key = QLatin1String(Keys::ProjectCounter.key);
    const int projectId = ini.readInteger(section, key, 0) + 1;
    ini.writeInteger(section, key, projectId);
    ProfileFile(m_file).writeInteger(QLatin1String(Keys::ProjectID.section), QLatin1String(Keys::ProjectID.key),
                                     projectId);
    m_settings.projectId = projectId;
    m_settings.projectIdText = QString::number(projectId);
    m_idProblem.clear();
    ensureDirectory(projectsDir());
    ensureDirectory(directory());
    return projectId;
}

bool ProjectSession::remove()
{
    bool deleted = false;
    try {
        // A file without a valid ID owns no rows and no directory.
        if (id() > 0) {
            openTable().deleteProject(id());
            removeProjectDirectory(directory());
        }
        deleted = QFile::remove(m_file);
    } catch (...) {
        close();
        throw;
    }
    close();
    return deleted;
}

void ProjectSession::close()
{
    m_file.clear();
    m_idProblem.clear();
    m_settings = ProjectSettings();
}

QString ProjectSession::makeIndexNowKey()
{
    const QString existing = m_settings.indexNowKey;
    if (ProjectSettings::isValidIndexNowKey(existing))
        return {};
    if (!existing.isEmpty())
        return QStringLiteral("The IndexNow key \"%1\" of %2 is not valid, and is kept: correct it or remove it. %3")
            .arg(existing, m_file, ProjectSettings::indexNowKeyRule());
    const QString key = ProjectSettings::generateIndexNowKey();
    try {
        ProjectSettings::saveIndexNowKey(m_file, key);
    } catch (const std::exception &failure) {
        return QString::fromUtf8(failure.what());
    }
    m_settings.indexNowKey = key;
    return {};
}

QString ProjectSession::writeIndexNowKeyFile(const QString &directory) const
{
    const QString key = m_settings.indexNowKey;
    if (key.isEmpty())
        return QStringLiteral("The project %1 has no IndexNow key: make one with /newkey, or with Generate on the "
                              "page \"Settings for search engines\".")
            .arg(m_file);
    if (!ProjectSettings::isValidIndexNowKey(key))
        return QStringLiteral("The IndexNow key \"%1\" of %2 is not valid. %3")
            .arg(key, m_file, ProjectSettings::indexNowKeyRule());
    const QString path = QDir(QDir(m_baseDir).filePath(directory)).filePath(key + QStringLiteral(".txt"));
    return ProjectSettings::writeIndexNowKeyFile(path, key);
}
