// The run controls of the "Submit URL's" page.

#include "app/mainform.h"
#include "app/platform.h"

#include <QPushButton>
#include <QTimer>

void TMainForm::connectRunControls()
{
    SubmitTimer = new QTimer(this);
    SubmitTimer->setObjectName(QStringLiteral("SubmitTimer"));
    SubmitTimer->setInterval(1000);
    connectHttpEvents();
    connect(Submit.SubmitBitBtn, &QPushButton::clicked, this, &TMainForm::SubmitBitBtnClick);
    connect(Submit.SearchURLsBitBtn, &QPushButton::clicked, this, &TMainForm::SearchURLsBitBtnClick);
    connect(Submit.ViewReportBitBtn, &QPushButton::clicked, this, &TMainForm::ViewReportBitBtnClick);
    connect(Submit.SkipURLBitBtn, &QPushButton::clicked, this, [this] { SkipURLFlag = true; });
    connect(Submit.SkipEngineBitBtn, &QPushButton::clicked, this, [this] { SkipEngineFlag = true; });
    connect(Submit.StopBitBtn, &QPushButton::clicked, this, [this] { StopFlag = true; });
}

void TMainForm::ViewReportBitBtnClick()
{
    m_platform.openInShell(ReportPath);
}

void TMainForm::SubmitBitBtnClick()
{
    AddStatusLine(QStringLiteral("Submission runs are not available in this build yet."), 1);
}

void TMainForm::SearchURLsBitBtnClick()
{
    AddStatusLine(QStringLiteral("URL searches are not available in this build yet."), 1);
}

void TMainForm::SubmitEngines()
{
}

void TMainForm::SearchEngines()
{
}
