#pragma once

#include <QSet>
#include <QWidget>

class EngineCheckList;
class Platform;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class UrlTableModel;
struct ProjectSettings;

// "Settings for search engines": the automatic engines on the left; where the
// engine lists come from, the IndexNow key and the project's URLs on the right.
class SettingsPage : public QWidget
{
    Q_OBJECT

public:
    // urls is the open project's URL table; it and platform must outlive the page.
    SettingsPage(Platform &platform, UrlTableModel *urls, QWidget *parent = nullptr);

    // Where the engine lists come from, the chosen engines and the IndexNow key.
    void showSettings(const ProjectSettings &settings);
    void fillSettings(ProjectSettings &settings) const;

    // Lists the engines, all unchecked.
    void setEngines(const QStringList &names);
    void setChosenEngines(const QSet<QString> &names);
    // Checks or unchecks every engine, disabled ones included.
    void setAllEnginesChecked(bool checked);
    // The highlighted engine; "" when none is.
    QString selectedEngine() const;

    // Derives what the page enables and shows from its boxes: the typed list
    // addresses give way to the publisher's when those are chosen, and Excite
    // can be chosen only once its three settings are given (exciteComplete).
    // idle: no run in progress, so the lists may be downloaded.
    void refresh(bool idle, bool exciteComplete);
    // "" when the count could not be read.
    void setUrlCount(const QString &count);
    QString newUrl() const;
    // Empties the New URL box and puts the cursor in it for the next one.
    void takeNewUrl();
    QString indexNowKey() const;
    // Shows a key the program made; like typing it, it counts as an edit.
    void setIndexNowKey(const QString &key);
    void setBusy(bool busy);

signals:
    // A setting of the page changed: a box, the list source, an engine's check.
    void edited();
    // An engine's check changed, whoever changed it (a user's toggle emits
    // edited() before the check flips, and this after).
    void checksChanged();
    void enableAllEnginesClicked();
    void disableAllEnginesClicked();
    void advancedClicked();
    void downloadClicked();
    void addUrlClicked();
    void enableAllUrlsClicked();
    void writeKeyFileClicked();

private:
    QWidget *buildEngineColumn();
    QWidget *buildUrlColumn(Platform &platform, UrlTableModel *urls);

    QWidget *m_urlPanel = nullptr;
    EngineCheckList *m_engines = nullptr;
    QPushButton *m_advanced = nullptr;
    QButtonGroup *m_listSource = nullptr; // ids: 0 "Default", 1 "Load"
    QPushButton *m_download = nullptr;
    QLabel *m_autoLabel = nullptr;
    QLabel *m_manualLabel = nullptr;
    QLineEdit *m_autoList = nullptr;
    QLineEdit *m_manualList = nullptr;
    QLineEdit *m_indexNowKey = nullptr;
    QLineEdit *m_newUrl = nullptr;
    QPushButton *m_addUrl = nullptr;
    QLineEdit *m_urlCount = nullptr;
    QTableView *m_grid = nullptr;
    QSet<QString> m_unlistedChoices; // chosen in the project, not named by the engine list
};
