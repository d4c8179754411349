#include "app/settingspage.h"

#include "app/constants.h"
#include "app/hints.h"
#include "app/named.h"
#include "engines/ui/enginechecklist.h"
#include "project/session/projectsettings.h"
#include "project/store/urltablemodel.h"
#include "project/ui/urlnavigator.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

using namespace Quillcast;

namespace {

QPushButton *button(const QString &objectName, const QString &text, const QString &hint = {})
{
    auto *made = Named<QPushButton>(objectName, text);
    if (!hint.isEmpty())
        SetHint(made, hint);
    return made;
}

QFrame *line()
{
    auto *bevel = Named<QFrame>(QStringLiteral("SettingsURLBevel"));
    bevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    return bevel;
}

} // namespace

SettingsPage::SettingsPage(Platform &platform, UrlTableModel *urls, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SettingsTabSheet"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildEngineColumn());
    layout->addWidget(buildUrlColumn(platform, urls), 1);
}

QWidget *SettingsPage::buildEngineColumn()
{
    auto *panel = Named<QFrame>(QStringLiteral("SettingsEnginePanel"));
    m_engines = Named<EngineCheckList>(QStringLiteral("SettingsSearchEnginesCheckList"));
    SetHint(m_engines, QStringLiteral("Search engines|List of available automated search engines"));
    // The column is as wide as its buttons; the window's extra room goes to the URLs.
    m_engines->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    auto *enableAll = button(QStringLiteral("SettingsEnableAllSearchEnginesBitBtn"), QStringLiteral("Enable All"),
                             QStringLiteral("Enable all|Enable submit to all search engines"));
    auto *disableAll = button(QStringLiteral("SettingsDisableAllSearchEnginesBitBtn"), QStringLiteral("Disable All"),
                              QStringLiteral("Disable all|Disable submit to all search engines"));
    m_advanced = button(QStringLiteral("SettingsEngineAdvancedBitBtn"), QStringLiteral("Advanced Settings"));
    m_advanced->setEnabled(false);

    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);
    column->addWidget(Named<QLabel>(QStringLiteral("SettingsSearchEnginesLabel"), QStringLiteral("Search Engines")));
    column->addWidget(m_engines, 1);
    for (QPushButton *control : {enableAll, disableAll, m_advanced})
        column->addWidget(control);

    connect(m_engines, &EngineCheckList::checkChanging, this, &SettingsPage::edited);
    connect(m_engines, &EngineCheckList::listClicked, this, &SettingsPage::edited);
    connect(m_engines->model(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                if (roles.isEmpty() || roles.contains(Qt::CheckStateRole))
                    emit checksChanged();
            });
    connect(enableAll, &QPushButton::clicked, this, &SettingsPage::enableAllEnginesClicked);
    connect(disableAll, &QPushButton::clicked, this, &SettingsPage::disableAllEnginesClicked);
    connect(m_advanced, &QPushButton::clicked, this, &SettingsPage::advancedClicked);
    return panel;
}

QWidget *SettingsPage::buildUrlColumn(Platform &platform, UrlTableModel *urls)
{
    m_urlPanel = Named<QFrame>(QStringLiteral("SettingsURLPanel"));

    auto *sourceBox = Named<QGroupBox>(QStringLiteral("SettingsEngineListRadioGroup"), QStringLiteral("Engine Lists"));
    SetHint(sourceBox, QStringLiteral("Engine lists|Where will the engine lists come from?"));
    m_listSource = new QButtonGroup(sourceBox);
    auto *sourceRow = new QHBoxLayout(sourceBox);
    sourceRow->setContentsMargins(8, 2, 8, 2);
    int id = 0;
    for (const auto &[name, text] : {std::pair{QStringLiteral("SettingsEngineListDefault"), QStringLiteral("Default")},
                                     std::pair{QStringLiteral("SettingsEngineListLoad"), QStringLiteral("Load")}}) {
        auto *radio = Named<QRadioButton>(name, text);
        m_listSource->addButton(radio, id++);
        sourceRow->addWidget(radio);
    }
    m_download = button(QStringLiteral("DownloadEnginesNowBitBtn"), QStringLiteral("Download Engine Lists Now"),
                        QStringLiteral("Download engine lists|Download the engine lists below now."));
    auto *top = new QHBoxLayout;
    top->addWidget(sourceBox);
    top->addWidget(m_download, 0, Qt::AlignBottom);
    top->addStretch();

    m_autoLabel = Named<QLabel>(QStringLiteral("SettingsEngineAutoLabel"), QStringLiteral("Auto"));
    m_autoList = Named<QLineEdit>(QStringLiteral("SettingsEngineAutoEdit"));
    SetHint(m_autoList, QStringLiteral("Automatic engines|List of search engines that are automatic"));
    m_manualLabel = Named<QLabel>(QStringLiteral("SettingsEngineManualLabel"), QStringLiteral("Manual"));
    m_manualList = Named<QLineEdit>(QStringLiteral("SettingsEngineManualEdit"));
    SetHint(m_manualList, QStringLiteral("Manual engines|List of search engines that are manual"));
    m_indexNowKey = Named<QLineEdit>(QStringLiteral("SettingsIndexNowKeyEdit"));
    SetHint(m_indexNowKey,
            QStringLiteral("IndexNow key|The key that proves to IndexNow engines that the site is yours"));
    auto *generate = button(QStringLiteral("SettingsIndexNowGenerateBitBtn"), QStringLiteral("Generate"),
                            QStringLiteral("Generate key|Make a new random IndexNow key"));
    auto *keyFile = button(QStringLiteral("SettingsIndexNowKeyFileBitBtn"), QStringLiteral("Write Key File"),
                           QStringLiteral("Key file|Write the key file to put at the root of the site"));
    auto *keyRow = new QHBoxLayout;
    keyRow->addWidget(m_indexNowKey, 1);
    keyRow->addWidget(generate);
    keyRow->addWidget(keyFile);
    auto *lists = new QGridLayout;
    lists->addWidget(m_autoLabel, 0, 0);
    lists->addWidget(m_autoList, 0, 1);
    lists->addWidget(m_manualLabel, 1, 0);
    lists->addWidget(m_manualList, 1, 1);
    lists->addWidget(Named<QLabel>(QStringLiteral("SettingsIndexNowKeyLabel"), QStringLiteral("IndexNow key")), 2, 0);
    lists->addLayout(keyRow, 2, 1);

    m_newUrl = Named<QLineEdit>(QStringLiteral("SettingsURLAddEdit"));
    SetHint(m_newUrl, QStringLiteral("URL's to add|Place the full URL you wish to submit here"));
    m_addUrl = button(QStringLiteral("SettingsURLAddBitBtn"), QStringLiteral("Add URL"),
                      QStringLiteral("Add URL|Add the URL you entered to the database"));
    m_urlCount = Named<QLineEdit>(QStringLiteral("URLCountEdit"));
    m_urlCount->setReadOnly(true);
    m_urlCount->setFixedWidth(m_urlCount->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    m_grid = Named<QTableView>(QStringLiteral("SettingsURLDBGrid"));
    m_grid->setModel(urls);
    SetHint(m_grid, QStringLiteral("URL's to submit|URL's that will be sent to the search engines you chose"));
    m_grid->verticalHeader()->setDefaultSectionSize(20);
    // The URL takes the room the window gives; "Enabled" keeps its header whole.
    m_grid->horizontalHeader()->setSectionResizeMode(UrlTableModel::UrlColumn, QHeaderView::Stretch);
    m_grid->horizontalHeader()->setSectionResizeMode(UrlTableModel::FlagColumn, QHeaderView::ResizeToContents);
    m_grid->setMinimumHeight(m_grid->horizontalHeader()->sizeHint().height() + 3 * 20 + 4);
    auto *navigator = new URLDBNavigator(platform, m_grid, urls);
    navigator->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *enableAllUrls = button(QStringLiteral("EnableAllURLsBitBtn"), QStringLiteral("Enable All URLs"));
    auto *newUrlRow = new QHBoxLayout;
    newUrlRow->addWidget(Named<QLabel>(QStringLiteral("SettingsURLAddLabel"), QStringLiteral("New URL")));
    newUrlRow->addWidget(m_newUrl, 1);
    newUrlRow->addWidget(m_addUrl);
    newUrlRow->addSpacing(8);
    newUrlRow->addWidget(Named<QLabel>(QStringLiteral("URLCountLabel"), QStringLiteral("URL Count")));
    newUrlRow->addWidget(m_urlCount);
    auto *navigatorRow = new QHBoxLayout;
    navigatorRow->addWidget(navigator);
    navigatorRow->addWidget(enableAllUrls);
    navigatorRow->addStretch();

    auto *column = new QVBoxLayout(m_urlPanel);
    column->setContentsMargins(4, 2, 2, 2);
    column->setSpacing(4);
    column->addLayout(top);
    column->addLayout(lists);
    column->addWidget(line());
    column->addLayout(newUrlRow);
    column->addLayout(navigatorRow);
    column->addWidget(m_grid, 1);

    for (QLineEdit *edit : {m_autoList, m_manualList, m_indexNowKey, m_newUrl})
        connect(edit, &QLineEdit::textChanged, this, &SettingsPage::edited);
    connect(m_listSource, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            emit edited();
    });
    connect(m_download, &QPushButton::clicked, this, &SettingsPage::downloadClicked);
    connect(generate, &QPushButton::clicked, this,
            [this] { m_indexNowKey->setText(ProjectSettings::generateIndexNowKey()); });
    connect(keyFile, &QPushButton::clicked, this, &SettingsPage::writeKeyFileClicked);
    connect(m_addUrl, &QPushButton::clicked, this, &SettingsPage::addUrlClicked);
    connect(m_newUrl, &QLineEdit::returnPressed, this, [this] {
        if (!m_newUrl->text().isEmpty())
            emit addUrlClicked();
    });
    connect(enableAllUrls, &QPushButton::clicked, this, &SettingsPage::enableAllUrlsClicked);
    return m_urlPanel;
}

void SettingsPage::showSettings(const ProjectSettings &settings)
{
    if (QAbstractButton *chosen = m_listSource->button(int(settings.listSource))) {
        chosen->setChecked(true);
    } else {
        // Neither item: the boxes decide, as with "Load".
        m_listSource->setExclusive(false);
        for (QAbstractButton *item : m_listSource->buttons())
            item->setChecked(false);
        m_listSource->setExclusive(true);
    }
    m_autoList->setText(settings.autoListAddress);
    m_manualList->setText(settings.manualListAddress);
    m_indexNowKey->setText(settings.indexNowKey);
    setChosenEngines(settings.chosenEngines);
}

void SettingsPage::fillSettings(ProjectSettings &settings) const
{
    const int source = m_listSource->checkedId();
    settings.listSource = source == 0   ? ProjectSettings::DefaultSource
                          : source == 1 ? ProjectSettings::TypedSource
                                        : ProjectSettings::NoSource;
    settings.autoListAddress = m_autoList->text();
    settings.manualListAddress = m_manualList->text();
    settings.indexNowKey = m_indexNowKey->text();
    // Engines the list does not name (yet) stay chosen: the project file keeps them,
    // and a list downloaded or written later may name them.
    settings.chosenEngines = m_unlistedChoices;
    for (int i = 0; i < m_engines->count(); ++i)
        if (m_engines->isChecked(i))
            settings.chosenEngines.insert(m_engines->text(i));
}

void SettingsPage::setEngines(const QStringList &names)
{
    m_engines->setEngines(names);
}

void SettingsPage::setChosenEngines(const QSet<QString> &names)
{
    m_unlistedChoices = names;
    for (int i = 0; i < m_engines->count(); ++i) {
        m_engines->setChecked(i, names.contains(m_engines->text(i)));
        m_unlistedChoices.remove(m_engines->text(i));
    }
}

void SettingsPage::setAllEnginesChecked(bool checked)
{
    for (int i = 0; i < m_engines->count(); ++i)
        m_engines->setChecked(i, checked);
}

QString SettingsPage::selectedEngine() const
{
    return m_engines->text(m_engines->selectedIndex());
}

void SettingsPage::refresh(bool idle, bool exciteComplete)
{
    m_download->setEnabled(idle);
    m_addUrl->setEnabled(!m_newUrl->text().isEmpty());
    // "Load" (or nothing chosen) takes the boxes; "Default" shows the publisher's addresses.
    const bool typed = m_listSource->checkedId() != 0;
    for (QWidget *control : std::initializer_list<QWidget *>{m_autoLabel, m_manualLabel, m_autoList, m_manualList})
        control->setEnabled(typed);
    if (!typed) {
        m_autoList->setText(DefaultAutoListURL);
        m_manualList->setText(DefaultManualListURL);
    }
    m_advanced->setEnabled(selectedEngine() == ExciteEngine);
    for (int i = 0; i < m_engines->count(); ++i) {
        if (m_engines->text(i) != ExciteEngine)
            continue;
        m_engines->setItemEnabled(i, exciteComplete);
        if (!exciteComplete)
            m_engines->setChecked(i, false);
    }
}

void SettingsPage::setUrlCount(const QString &count)
{
    m_urlCount->setText(count);
}

QString SettingsPage::newUrl() const
{
    return m_newUrl->text();
}

void SettingsPage::takeNewUrl()
{
    m_newUrl->clear();
    m_newUrl->setFocus();
}

QString SettingsPage::indexNowKey() const
{
    return m_indexNowKey->text();
}

void SettingsPage::setIndexNowKey(const QString &key)
{
    m_indexNowKey->setText(key);
}

void SettingsPage::setBusy(bool busy)
{
    for (QWidget *widget : std::initializer_list<QWidget *>{m_download, m_urlPanel}) {
        if (busy)
            widget->setCursor(Qt::WaitCursor);
        else
            widget->unsetCursor();
    }
}
