#pragma once

class Panel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// "Manual Submit": the engines that must be visited by hand and their details.
struct ManualPage
{
    QWidget *ManualSubmitTabSheet = nullptr;
    Panel *ManualLeftPanel = nullptr;
    QListWidget *ManualEnginesListBox = nullptr;
    QPushButton *ManualRefreshBitBtn = nullptr;
    Panel *ManualRightPanel = nullptr;
    QLineEdit *ManualEngineNameEdit = nullptr;
    QLineEdit *ManualHomeURLEdit = nullptr;
    QPushButton *ManualHomeURLBitBtn = nullptr;
    QLineEdit *ManualAddURLEdit = nullptr;
    QPushButton *ManualAddURLBitBtn = nullptr;
    QLineEdit *ManualEngineModeEdit = nullptr;
    QLineEdit *ManualResponseTimeEdit = nullptr;
    QPlainTextEdit *ManualLikesMemo = nullptr;
    QPlainTextEdit *ManualDisLikesMemo = nullptr;
    QPlainTextEdit *ManualCommentsMemo = nullptr;

    void build(QWidget *sheet);
};
