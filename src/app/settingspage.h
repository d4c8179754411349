#pragma once

class EngineCheckList;
class Panel;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QWidget;
class URLDBNavigator;

// "Settings for search engines": the engine check list on the left, the engine
// list source and the URL table on the right.
struct SettingsPage
{
    QWidget *SettingsTabSheet = nullptr;
    Panel *SettingsEnginePanel = nullptr;
    EngineCheckList *SettingsSearchEnginesCheckList = nullptr;
    QPushButton *SettingsEnableAllSearchEnginesBitBtn = nullptr;
    QPushButton *SettingsDisableAllSearchEnginesBitBtn = nullptr;
    QPushButton *SettingsEngineAdvancedBitBtn = nullptr;

    Panel *SettingsURLPanel = nullptr;
    QGroupBox *SettingsEngineListRadioGroup = nullptr;
    QButtonGroup *SettingsEngineListButtons = nullptr; // ids: 0 "Default", 1 "Load"
    QPushButton *DownloadEnginesNowBitBtn = nullptr;
    QLabel *SettingsEngineAutoLabel = nullptr;
    QLabel *SettingsEngineManualLabel = nullptr;
    QLineEdit *SettingsEngineAutoEdit = nullptr;
    QLineEdit *SettingsEngineManualEdit = nullptr;
    QLineEdit *SettingsURLAddEdit = nullptr;
    QPushButton *SettingsURLAddBitBtn = nullptr;
    QLineEdit *URLCountEdit = nullptr;
    URLDBNavigator *URLDBNavigatorWidget = nullptr;
    QPushButton *EnableAllURLsBitBtn = nullptr;
    QTableView *SettingsURLDBGrid = nullptr;

    // Lays the page out on sheet; the navigator is made by the caller, which
    // owns the URL table it works on, and placed here.
    void build(QWidget *sheet, URLDBNavigator *navigator, QTableView *grid);
};
