#include "app/manualpage.h"

#include "app/hints.h"
#include "app/panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

void ManualPage::build(QWidget *sheet)
{
    ManualSubmitTabSheet = sheet;
    sheet->setObjectName(QStringLiteral("ManualSubmitTabSheet"));
    auto *layout = new QHBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ManualLeftPanel = new Panel(QStringLiteral("ManualLeftPanel"), sheet);
    ManualLeftPanel->setFixedWidth(130);
    layout->addWidget(ManualLeftPanel);
    Place<QLabel>(ManualLeftPanel, QStringLiteral("ManualEnginesLabel"), 4, 2, 120, 16, QStringLiteral("Search Engines"));
    ManualEnginesListBox = Place<QListWidget>(ManualLeftPanel, QStringLiteral("ManualEnginesListBox"), 2, 20, 126, 100);
    SetHint(ManualEnginesListBox, QStringLiteral("Search engines|Find information about each search engine"));
    ManualRefreshBitBtn = Place<QPushButton>(ManualLeftPanel, QStringLiteral("ManualRefreshBitBtn"), 4, 0, 122, 26,
                                             QStringLiteral("Refresh Engine Info"));
    SetHint(ManualRefreshBitBtn, QStringLiteral("Refresh info|Download the latest information"));
    ManualLeftPanel->setResizeRule([this](int, int h) {
        ManualRefreshBitBtn->move(4, h - 31);
        ManualEnginesListBox->resize(126, qMax(0, h - 60));
    });

    ManualRightPanel = new Panel(QStringLiteral("ManualRightPanel"), sheet);
    layout->addWidget(ManualRightPanel, 1);
    QWidget *p = ManualRightPanel;
    const auto field = [p](const QString &name, const QString &label, int y, const QString &hint) {
        Place<QLabel>(p, name + QStringLiteral("Label"), 4, y + 2, 96, 18, label);
        auto *edit = Place<QLineEdit>(p, name, 100, y, 206, 22);
        edit->setReadOnly(true);
        SetHint(edit, hint);
        return edit;
    };
    const auto goButton = [p](const QString &name, int y, const QString &hint) {
        auto *button = Place<QPushButton>(p, name, 310, y - 1, 40, 24, QStringLiteral("Go"));
        SetHint(button, hint);
        return button;
    };
    ManualEngineNameEdit = field(QStringLiteral("ManualEngineNameEdit"), QStringLiteral("Engine Name:"), 4,
                                 QStringLiteral("Engine name|Name of the current search engine"));
    ManualHomeURLEdit = field(QStringLiteral("ManualHomeURLEdit"), QStringLiteral("Home URL:"), 30,
                              QStringLiteral("Home URL|Home page for this search engine"));
    ManualHomeURLBitBtn = goButton(QStringLiteral("ManualHomeURLBitBtn"), 30,
                                   QStringLiteral("Go Home|Go to the home page of this search engine"));
    ManualAddURLEdit = field(QStringLiteral("ManualAddURLEdit"), QStringLiteral("Add URL:"), 56,
                             QStringLiteral("Add URL|The URL of the Add a Link area for this search engine"));
    ManualAddURLBitBtn = goButton(QStringLiteral("ManualAddURLBitBtn"), 56,
                                  QStringLiteral("Go Add|Go to the Add a Link page of this search engine"));
    ManualEngineModeEdit =
        field(QStringLiteral("ManualEngineModeEdit"), QStringLiteral("Automatic:"), 82,
              QStringLiteral("Automatic mode|Lets you know if this engine supports automated submissions"));
    ManualResponseTimeEdit = field(
        QStringLiteral("ManualResponseTimeEdit"), QStringLiteral("Response Time:"), 108,
        QStringLiteral("Response time|How long you need to wait before the engine recognizes your submission request"));

    const auto memo = [p](const QString &name, const QString &label, int y, const QString &hint) {
        Place<QLabel>(p, name + QStringLiteral("Label"), 4, y, 88, 18, label);
        auto *edit = Place<QPlainTextEdit>(p, name, 92, y, 200, 40);
        edit->setReadOnly(true);
        SetHint(edit, hint);
        return edit;
    };
    ManualLikesMemo = memo(QStringLiteral("ManualLikesMemo"), QStringLiteral("Likes:"), 134,
                           QStringLiteral("Likes|Things that this search engine likes"));
    ManualDisLikesMemo = memo(QStringLiteral("ManualDisLikesMemo"), QStringLiteral("Dislikes:"), 178,
                              QStringLiteral("Dislikes|Things that this search engine dislikes"));
    ManualCommentsMemo = memo(QStringLiteral("ManualCommentsMemo"), QStringLiteral("Comments:"), 222,
                              QStringLiteral("Comments|Just some comments about this search engine"));
    ManualRightPanel->setResizeRule([this](int w, int) {
        for (QPlainTextEdit *edit : {ManualLikesMemo, ManualDisLikesMemo, ManualCommentsMemo})
            edit->resize(qMax(0, w - 95), edit->height());
    });
}
