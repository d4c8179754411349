#include "project/session/projectsettings.h"

#include "project/session/profilefile.h"
#include "project/session/settingskeys.h"

#include <QRandomGenerator>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <limits>

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

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

QString emailKey(qsizetype line)
{
    return QString::fromLatin1(Keys::EmailKeyFormat).arg(line);
}

// The ID when text is decimal digits alone (blanks around them aside) naming
// 1 to 2147483647: an int, and so a REAL of the URL table, holds it exactly.
int projectIdOf(const QString &text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 16)
        return 0;
    qint64 value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return 0;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value <= std::numeric_limits<int>::max() ? int(value) : 0;
}

// The addresses of the Emails section in the order of their numbers. A file
// edited by hand may skip numbers; every address is kept all the same.
QStringList emailsOf(const ProfileFile &project)
{
    const QString prefix = QString::fromLatin1(Keys::EmailKeyFormat).section(QLatin1Char('%'), 0, 0);
    QList<QPair<qint64, QString>> numbered;
    QSet<QString> seen; // a key written twice is read once
    for (const auto &[name, value] : project.keyValues(QLatin1String(Keys::EmailsSection))) {
        if (!name.startsWith(prefix, Qt::CaseInsensitive) || name.size() == prefix.size() || value.isEmpty() ||
            seen.contains(name.toLower()))
            continue;
        seen.insert(name.toLower());
        bool digits = false;
        const qint64 number = QStringView(name).mid(prefix.size()).toLongLong(&digits);
        if (digits && number >= 0 && name.at(prefix.size()).isDigit())
            numbered.append({number, value});
    }
    std::stable_sort(numbered.begin(), numbered.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList emails;
    for (const auto &entry : numbered)
        emails.append(entry.second);
    return emails;
}

} // namespace

int leadingInteger(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        negative = text.at(i++) == QLatin1Char('-');
    qint64 value = 0;
    for (; i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128; ++i)
        value = qMin<qint64>(value * 10 + text.at(i).digitValue(), std::numeric_limits<int>::max());
    return int(negative ? -value : value);
}

ProjectSettings ProjectSettings::load(const QString &path)
{
    const ProfileFile project(path);
    ProjectSettings settings;
    settings.projectIdText =
        project.readString(QLatin1String(Keys::ProjectID.section), QLatin1String(Keys::ProjectID.key), QString());
    settings.projectId = projectIdOf(settings.projectIdText);
    const int source =
        project.readInteger(QLatin1String(Keys::EngineList.section), QLatin1String(Keys::EngineList.key), 0);
    settings.listSource = source == DefaultSource ? DefaultSource : source == TypedSource ? TypedSource : NoSource;
    settings.autoListAddress = readKey(project, Keys::AutoList);
    settings.manualListAddress = readKey(project, Keys::ManualList);
    settings.downloadEngines = readBoolKey(project, Keys::DownloadEngines);
    settings.timeoutText = readKey(project, Keys::Timeout);
    // Written by hand beyond the box's range, it would turn into the box's last value;
    // without a number the box shows what a run waits, the default.
    const int seconds = leadingInteger(settings.timeoutText);
    settings.timeoutText = seconds == 0 ? QLatin1String(Keys::Timeout.defaultValue)
                                        : QString::number(qBound(MinTimeoutSeconds, seconds, MaxTimeoutSeconds));
    settings.statusLog = readBoolKey(project, Keys::StatusLog);
    settings.firstName = readKey(project, Keys::FirstName);
    settings.middleInitial = readKey(project, Keys::MiddleInitial);
    settings.lastName = readKey(project, Keys::LastName);
    settings.emails = emailsOf(project);
    settings.exciteLanguage = readKey(project, Keys::ExciteLanguage);
    settings.exciteLocation = readKey(project, Keys::ExciteLocation);
    settings.exciteCategory = readKey(project, Keys::ExciteCategory);
    settings.indexNowKey = readKey(project, Keys::IndexNowKey);
    settings.googleKeyFile = readKey(project, Keys::GoogleKeyFile);
    settings.googleProperty = readKey(project, Keys::GoogleProperty);
    settings.bingKeyFile = readKey(project, Keys::BingKeyFile);
    settings.bingSite = readKey(project, Keys::BingSite);
    settings.checkPages = readBoolKey(project, Keys::CheckPages);
    settings.checkPerHost = qBound(1, leadingInteger(readKey(project, Keys::CheckPerHost)), 16);
    settings.checkMainContent =
        readKey(project, Keys::CheckContent).trimmed().compare(u"main", Qt::CaseInsensitive) == 0;
    const QString chosen = QLatin1String(Keys::SearchEnginesSection);
    for (const auto &[name, value] : project.keyValues(chosen))
        if (leadingInteger(value) != 0 && !settings.chosenEngines.contains(name))
            settings.chosenEngines.insert(name);
    return settings;
}

void ProjectSettings::save(const QString &path, const QStringList &listedEngines) const
{
    ProfileFile project(path);
    writeKey(project, Keys::EngineList, QString::number(int(listSource)));
    writeKey(project, Keys::AutoList, autoListAddress);
    writeKey(project, Keys::ManualList, manualListAddress);
    writeKey(project, Keys::DownloadEngines, flag(downloadEngines));
    writeKey(project, Keys::Timeout, timeoutText);
    writeKey(project, Keys::StatusLog, flag(statusLog));
    writeKey(project, Keys::FirstName, firstName);
    writeKey(project, Keys::MiddleInitial, middleInitial);
    writeKey(project, Keys::LastName, lastName);
    const QString emailSection = QLatin1String(Keys::EmailsSection);
    project.eraseSection(emailSection);
    for (qsizetype i = 0; i < emails.size(); ++i)
        project.writeString(emailSection, emailKey(i), emails.at(i));
    writeKey(project, Keys::ExciteLanguage, exciteLanguage);
    writeKey(project, Keys::ExciteLocation, exciteLocation);
    writeKey(project, Keys::ExciteCategory, exciteCategory);
    // A project without a key keeps its file as it was.
    if (!indexNowKey.isEmpty() ||
        !project.readString(QLatin1String(Keys::IndexNowKey.section), QLatin1String(Keys::IndexNowKey.key), QString())
             .isEmpty())
        writeKey(project, Keys::IndexNowKey, indexNowKey);
    const QString chosen = QLatin1String(Keys::SearchEnginesSection);
    for (const QString &engine : listedEngines) {
        if (chosenEngines.contains(engine))
            project.writeBool(chosen, engine, true);
        else
            project.deleteKey(chosen, engine);
    }
}

int ProjectSettings::timeoutSeconds() const
{
    return leadingInteger(timeoutText);
}

QString ProjectSettings::projectIdProblem() const
{
    if (projectIdText.isEmpty() || projectId > 0)
        return {};
    return QStringLiteral("the Project ID \"%1\" is not a whole number from 1 to %2")
        .arg(projectIdText)
        .arg(std::numeric_limits<int>::max());
}

QString ProjectSettings::autoListUrl(const QString &defaultUrl) const
{
    return listSource == DefaultSource ? defaultUrl : autoListAddress;
}

QString ProjectSettings::manualListUrl(const QString &defaultUrl) const
{
    return listSource == DefaultSource ? defaultUrl : manualListAddress;
}

bool ProjectSettings::senderComplete() const
{
    return !firstName.isEmpty() && !lastName.isEmpty() && !emails.value(0).isEmpty();
}

bool ProjectSettings::exciteComplete() const
{
    const QString nothing = QLatin1String(Keys::ExciteLanguage.defaultValue);
    return exciteLanguage != nothing && exciteLocation != nothing && exciteCategory != nothing;
}

bool ProjectSettings::isValidIndexNowKey(const QString &key)
{
    if (key.size() < 8 || key.size() > 128)
        return false;
    for (const QChar c : key)
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-'))
            return false;
    return true;
}

QString ProjectSettings::indexNowKeyRule()
{
    return QStringLiteral("An IndexNow key is 8 to 128 characters long and holds only the letters a-z and A-Z, the "
                          "digits 0-9 and \"-\".");
}

void ProjectSettings::saveIndexNowKey(const QString &path, const QString &key)
{
    ProfileFile project(path);
    writeKey(project, Keys::IndexNowKey, key);
}

QString ProjectSettings::writeIndexNowKeyFile(const QString &path, const QString &key)
{
    QSaveFile file(path);
    const QByteArray bytes = key.toLatin1();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return {};
    return QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + file.errorString();
}

QString ProjectSettings::generateIndexNowKey()
{
    QByteArray bytes(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return QString::fromLatin1(bytes.toHex());
}

QString ProjectSettings::pickSenderEmail() const
{
    if (emails.isEmpty())
        return {};
    // The system-seeded generator: each start picks its own sequence of senders.
    for (int attempt = 0; attempt < 1001; ++attempt) {
        const QString &line = emails.at(QRandomGenerator::global()->bounded(emails.size()));
        if (!line.isEmpty())
            return line;
    }
    return {};
}
