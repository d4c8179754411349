#include "app/submitpage.h"

#include "app/hints.h"
#include "runs/ui/gauge.h"
#include "runs/ui/statuslog.h"
#include "runs/ui/timeoutmeter.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

template <typename Widget, typename... Args>
static Widget *make(QWidget *parent, const QString &objectName, Args &&...args)
{
    auto *widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(objectName);
    return widget;
}

void SubmitPage::build(QWidget *sheet)
{
    StatusTabSheet = sheet;
    sheet->setObjectName(QStringLiteral("StatusTabSheet"));

    SubmitBitBtn = make<QPushButton>(sheet, QStringLiteral("SubmitBitBtn"), QStringLiteral("Submit URL's now"));
    SetHint(SubmitBitBtn, QStringLiteral("Submit URL's|Send the listed URL's to the search engines you chose"));
    ViewReportBitBtn = make<QPushButton>(sheet, QStringLiteral("ViewReportBitBtn"), QStringLiteral("View Submit Report"));
    SetHint(ViewReportBitBtn, QStringLiteral("View Report|View a report generated after the submission"));
    SearchURLsBitBtn = make<QPushButton>(sheet, QStringLiteral("SearchURLsBitBtn"), QStringLiteral("Search URL's"));
    StatusLogCheckBox = make<QCheckBox>(sheet, QStringLiteral("StatusLogCheckBox"), QStringLiteral("Status Log"));
    SubmitDLEnginesCheckBox = make<QCheckBox>(sheet, QStringLiteral("SubmitDLEnginesCheckBox"),
                                              QStringLiteral("Always download new search engine information"));
    SubmitDLEnginesCheckBox->setChecked(true);
    SetHint(SubmitDLEnginesCheckBox,
            QStringLiteral("Download engines|Download the latest search engine configuration file"));

    SingleGauge = make<Gauge>(sheet, QStringLiteral("SingleGauge"));
    SingleGauge->setRange(0, 100);
    SingleGauge->setValue(0);
    SetHint(SingleGauge, QStringLiteral("Single progress|Progress bar for current submission"));
    FullGauge = make<Gauge>(sheet, QStringLiteral("FullGauge"));
    FullGauge->setRange(0, 100);
    FullGauge->setValue(0);
    SetHint(FullGauge, QStringLiteral("Full progress|Progress bar for full submission project"));

    SubmitTimeoutMeter = make<TimeoutMeter>(sheet, QStringLiteral("SubmitTimeoutMeter"));
    SetHint(SubmitTimeoutMeter, QStringLiteral("Submit timeout|Timeout meter for link submission"));
    TimeoutSlideBar = make<QSlider>(sheet, QStringLiteral("TimeoutSlideBar"), Qt::Horizontal);
    TimeoutSlideBar->setRange(5, 120);
    TimeoutSlideBar->setSingleStep(5);
    TimeoutSlideBar->setPageStep(5);
    TimeoutSlideBar->setTickInterval(5);
    TimeoutSlideBar->setTickPosition(QSlider::TicksBelow);
    TimeoutSlideBar->setValue(15);
    SetHint(TimeoutSlideBar, QStringLiteral("Timout slider|Slide this bar to set the timeout"));
    SubmitTimeoutEdit = make<QLineEdit>(sheet, QStringLiteral("SubmitTimeoutEdit"), QStringLiteral("15"));
    SubmitTimeoutEdit->setReadOnly(true);
    SubmitTimeoutEdit->setFixedWidth(40);
    SetHint(SubmitTimeoutEdit, QStringLiteral("Timeout|How many seconds should we wait for a response"));

    SkipURLBitBtn = make<QPushButton>(sheet, QStringLiteral("SkipURLBitBtn"), QStringLiteral("Skip URL"));
    SetHint(SkipURLBitBtn, QStringLiteral("Skip URL|Skip the current URL and go to the next one"));
    SkipEngineBitBtn = make<QPushButton>(sheet, QStringLiteral("SkipEngineBitBtn"), QStringLiteral("Skip Engine"));
    SetHint(SkipEngineBitBtn, QStringLiteral("Skip engine|Skip all the URL's in this search engine"));
    StopBitBtn = make<QPushButton>(sheet, QStringLiteral("StopBitBtn"), QStringLiteral("Stop"));
    SetHint(StopBitBtn, QStringLiteral("Stop submission|Stop the submission project"));

    SubmitStatusRichEdit = make<StatusLog>(sheet, QStringLiteral("SubmitStatusRichEdit"));
    SetHint(SubmitStatusRichEdit, QStringLiteral("Submit status|Submission status window"));

    auto *grid = new QGridLayout;
    grid->addWidget(SubmitBitBtn, 0, 0);
    grid->addWidget(ViewReportBitBtn, 0, 1);
    grid->addWidget(SearchURLsBitBtn, 0, 2);
    grid->addWidget(StatusLogCheckBox, 1, 0);
    grid->addWidget(SubmitDLEnginesCheckBox, 1, 1, 1, 2);
    grid->addWidget(SingleGauge, 2, 0, 1, 3);
    grid->addWidget(FullGauge, 3, 0, 1, 3);
    grid->addWidget(SubmitTimeoutMeter, 0, 3, 4, 1);

    auto *timeout = new QHBoxLayout;
    timeout->addWidget(new QLabel(QStringLiteral("Timeout"), sheet));
    timeout->addWidget(TimeoutSlideBar, 1);
    timeout->addWidget(SubmitTimeoutEdit);
    timeout->addSpacing(8);
    timeout->addWidget(SkipURLBitBtn);
    timeout->addWidget(SkipEngineBitBtn);
    timeout->addWidget(StopBitBtn);

    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(grid);
    layout->addLayout(timeout);
    layout->addWidget(SubmitStatusRichEdit, 1);
}
