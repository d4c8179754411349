#include "app/settingsbinding.h"

#include "app/infopage.h"
#include "app/settingspage.h"
#include "app/submitpage.h"
#include "project/session/projectsession.h"

SettingsBinding::SettingsBinding(ProjectSession &session, InfoPage &info, SettingsPage &settings, SubmitPage &submit,
                                 QObject *parent)
    : QObject(parent), m_session(session), m_info(info), m_settings(settings), m_submit(submit)
{
    const auto edit = [this](void (SettingsBinding::*take)()) {
        return [this, take] {
            if (m_showing)
                return;
            (this->*take)();
            emit edited();
        };
    };
    connect(&m_info, &InfoPage::edited, this, edit(&SettingsBinding::takeInfo));
    connect(&m_settings, &SettingsPage::edited, this, edit(&SettingsBinding::takeSettings));
    connect(&m_submit, &SubmitPage::edited, this, edit(&SettingsBinding::takeSubmit));
    // A check the program sets (a refresh that unchecks an incomplete Excite) is
    // part of the value too, but no edit of the user's.
    connect(&m_settings, &SettingsPage::checksChanged, this, [this] {
        if (!m_showing)
            takeSettings();
    });
}

template <typename Change> void SettingsBinding::quietly(Change change)
{
    m_showing = true;
    change();
    m_showing = false;
    takeInfo();
    takeSettings();
    takeSubmit();
}

void SettingsBinding::show(const ProjectSettings &settings)
{
    // The value first: the Excite values and the ID are no page's.
    m_session.setSettings(settings);
    quietly([&] {
        m_info.showSettings(settings);
        m_settings.showSettings(settings);
        m_submit.showSettings(settings);
    });
}

void SettingsBinding::showChosenEngines()
{
    quietly([this] { m_settings.setChosenEngines(m_session.settings().chosenEngines); });
}

void SettingsBinding::showIndexNowKey(const QString &key)
{
    quietly([&] { m_settings.setIndexNowKey(key); });
}

void SettingsBinding::clearNames()
{
    quietly([this] { m_info.clearNames(); });
}

void SettingsBinding::takeInfo()
{
    ProjectSettings settings = m_session.settings();
    m_info.fillSettings(settings);
    m_session.setSettings(settings);
}

void SettingsBinding::takeSettings()
{
    ProjectSettings settings = m_session.settings();
    m_settings.fillSettings(settings);
    m_session.setSettings(settings);
}

void SettingsBinding::takeSubmit()
{
    ProjectSettings settings = m_session.settings();
    m_submit.fillSettings(settings);
    m_session.setSettings(settings);
}
