#pragma once

#include <QObject>

class InfoPage;
class ProjectSession;
class SettingsPage;
class SubmitPage;
struct ProjectSettings;

// The open project's settings as the pages show and edit them. The value lives
// in the session (ProjectSession::settings()): each page's edit writes that
// page's part into it at once, so whoever runs, saves or downloads reads the
// value and never the widgets.
class SettingsBinding : public QObject
{
    Q_OBJECT

public:
    // The session and the pages must outlive the binding.
    SettingsBinding(ProjectSession &session, InfoPage &info, SettingsPage &settings, SubmitPage &submit,
                    QObject *parent = nullptr);

    // The pages show settings and the session takes them as the pages hold them
    // (a timeout out of range as its bound, e-mail lines closed up). Not an edit.
    void show(const ProjectSettings &settings);
    // The engine check list shows the value's choice again (after the list was
    // reloaded). Not an edit.
    void showChosenEngines();
    // A key the program made and saved already: shown, and not an edit.
    void showIndexNowKey(const QString &key);
    // Empties the sender's names (a closed project). Not an edit.
    void clearNames();

signals:
    // The user (or the program on the user's behalf) changed a setting on a page.
    void edited();

private:
    void takeInfo();
    void takeSettings();
    void takeSubmit();
    // Runs change with the pages' edits passed over, then takes every page's part.
    template <typename Change> void quietly(Change change);

    ProjectSession &m_session;
    InfoPage &m_info;
    SettingsPage &m_settings;
    SubmitPage &m_submit;
    bool m_showing = false;
};
