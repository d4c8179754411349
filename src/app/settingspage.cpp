#include "app/settingspage.h"

#include "app/hints.h"
#include "app/panel.h"
#include "engines/ui/enginechecklist.h"
#include "project/ui/urlnavigator.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

void SettingsPage::build(QWidget *sheet, URLDBNavigator *navigator, QTableView *grid)
{
    SettingsTabSheet = sheet;
    sheet->setObjectName(QStringLiteral("SettingsTabSheet"));
    auto *layout = new QHBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Left: the automatic engines.
    SettingsEnginePanel = new Panel(QStringLiteral("SettingsEnginePanel"), sheet);
    SettingsEnginePanel->setFixedWidth(113);
    layout->addWidget(SettingsEnginePanel);
    Place<QLabel>(SettingsEnginePanel, QStringLiteral("SettingsSearchEnginesLabel"), 4, 2, 105, 16,
                  QStringLiteral("Search Engines"));
    SettingsSearchEnginesCheckList = new EngineCheckList(SettingsEnginePanel);
    SettingsSearchEnginesCheckList->setObjectName(QStringLiteral("SettingsSearchEnginesCheckList"));
    SetHint(SettingsSearchEnginesCheckList,
            QStringLiteral("Search engines|List of available automated search engines"));
    SettingsEnableAllSearchEnginesBitBtn = Place<QPushButton>(
        SettingsEnginePanel, QStringLiteral("SettingsEnableAllSearchEnginesBitBtn"), 4, 0, 105, 25,
        QStringLiteral("Enable All"));
    SetHint(SettingsEnableAllSearchEnginesBitBtn, QStringLiteral("Enable all|Enable submit to all search engines"));
    SettingsDisableAllSearchEnginesBitBtn = Place<QPushButton>(
        SettingsEnginePanel, QStringLiteral("SettingsDisableAllSearchEnginesBitBtn"), 4, 0, 105, 25,
        QStringLiteral("Disable All"));
    SetHint(SettingsDisableAllSearchEnginesBitBtn,
            QStringLiteral("Disable all|Disable submit to all search engines"));
    SettingsEngineAdvancedBitBtn = Place<QPushButton>(SettingsEnginePanel,
                                                      QStringLiteral("SettingsEngineAdvancedBitBtn"), 4, 0, 105, 25,
                                                      QStringLiteral("Advanced Settings"));
    SettingsEngineAdvancedBitBtn->setEnabled(false);
    // The caption is wider than the panel at the default size.
    QFont narrow = SettingsEngineAdvancedBitBtn->font();
    narrow.setPointSizeF(narrow.pointSizeF() * 0.85);
    SettingsEngineAdvancedBitBtn->setFont(narrow);
    SettingsEnginePanel->setResizeRule([this](int, int h) {
        SettingsEnableAllSearchEnginesBitBtn->move(4, h - 82);
        SettingsDisableAllSearchEnginesBitBtn->move(4, h - 55);
        SettingsEngineAdvancedBitBtn->move(4, h - 28);
        SettingsSearchEnginesCheckList->setGeometry(2, 18, 109, qMax(0, h - 102));
    });

    // Right: where the engine lists come from, and the URLs.
    SettingsURLPanel = new Panel(QStringLiteral("SettingsURLPanel"), sheet);
    layout->addWidget(SettingsURLPanel, 1);
    QWidget *p = SettingsURLPanel;

    SettingsEngineListRadioGroup = Place<QGroupBox>(p, QStringLiteral("SettingsEngineListRadioGroup"), 4, 0, 170,
                                                    42, QStringLiteral("Engine Lists"));
    SetHint(SettingsEngineListRadioGroup, QStringLiteral("Engine lists|Where will the engine lists come from?"));
    SettingsEngineListButtons = new QButtonGroup(SettingsEngineListRadioGroup);
    auto *defaultButton = Place<QRadioButton>(SettingsEngineListRadioGroup, QStringLiteral("SettingsEngineListDefault"),
                                              8, 18, 75, 20, QStringLiteral("Default"));
    auto *loadButton = Place<QRadioButton>(SettingsEngineListRadioGroup, QStringLiteral("SettingsEngineListLoad"), 88,
                                           18, 75, 20, QStringLiteral("Load"));
    SettingsEngineListButtons->addButton(defaultButton, 0);
    SettingsEngineListButtons->addButton(loadButton, 1);

    DownloadEnginesNowBitBtn = Place<QPushButton>(p, QStringLiteral("DownloadEnginesNowBitBtn"), 180, 10, 190, 27,
                                                  QStringLiteral("Download Engine Lists Now"));
    SetHint(DownloadEnginesNowBitBtn, QStringLiteral("Download engine lists|Download the engine lists below now."));

    SettingsEngineAutoLabel = Place<QLabel>(p, QStringLiteral("SettingsEngineAutoLabel"), 4, 48, 50, 18,
                                            QStringLiteral("Auto"));
    SettingsEngineAutoEdit = Place<QLineEdit>(p, QStringLiteral("SettingsEngineAutoEdit"), 56, 46, 340, 22);
    SetHint(SettingsEngineAutoEdit, QStringLiteral("Automatic engines|List of search engines that are automatic"));
    SettingsEngineManualLabel = Place<QLabel>(p, QStringLiteral("SettingsEngineManualLabel"), 4, 72, 50, 18,
                                              QStringLiteral("Manual"));
    SettingsEngineManualEdit = Place<QLineEdit>(p, QStringLiteral("SettingsEngineManualEdit"), 56, 70, 340, 22);
    SetHint(SettingsEngineManualEdit, QStringLiteral("Manual engines|List of search engines that are manual"));

    auto *bevel = Place<QFrame>(p, QStringLiteral("SettingsURLBevel"), 2, 96, 396, 2);
    bevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    Place<QLabel>(p, QStringLiteral("SettingsURLAddLabel"), 4, 104, 55, 18, QStringLiteral("New URL"));
    SettingsURLAddEdit = Place<QLineEdit>(p, QStringLiteral("SettingsURLAddEdit"), 60, 102, 190, 22);
    SetHint(SettingsURLAddEdit, QStringLiteral("URL's to add|Place the full URL you wish to submit here"));
    SettingsURLAddBitBtn = Place<QPushButton>(p, QStringLiteral("SettingsURLAddBitBtn"), 254, 100, 70, 26,
                                              QStringLiteral("Add URL"));
    SetHint(SettingsURLAddBitBtn, QStringLiteral("Add URL|Add the URL you entered to the database"));
    Place<QLabel>(p, QStringLiteral("URLCountLabel"), 328, 104, 62, 18, QStringLiteral("URL Count"));
    URLCountEdit = Place<QLineEdit>(p, QStringLiteral("URLCountEdit"), 328, 124, 66, 22);
    URLCountEdit->setReadOnly(true);

    URLDBNavigatorWidget = navigator;
    navigator->setParent(p);
    navigator->setGeometry(4, 128, 200, 22);
    EnableAllURLsBitBtn = Place<QPushButton>(p, QStringLiteral("EnableAllURLsBitBtn"), 208, 126, 116, 26,
                                             QStringLiteral("Enable All URLs"));

    SettingsURLDBGrid = grid;
    grid->setParent(p);
    grid->setObjectName(QStringLiteral("SettingsURLDBGrid"));
    SetHint(grid, QStringLiteral("URL's to submit|URL's that will be sent to the search engines you chose"));
    grid->verticalHeader()->setDefaultSectionSize(20);
    SettingsURLPanel->setResizeRule([this](int w, int h) {
        SettingsURLDBGrid->setGeometry(1, 152, qMax(0, w - 2), qMax(0, h - 154));
    });
}
