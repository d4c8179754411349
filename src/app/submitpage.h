#pragma once

class QCheckBox;
class QLineEdit;
class Gauge;
class QPushButton;
class QSlider;
class QWidget;
class StatusLog;
class TimeoutMeter;

// "Submit URL's": the run buttons and options, progress, timeout and the status log.
struct SubmitPage
{
    QWidget *StatusTabSheet = nullptr;
    QPushButton *SubmitBitBtn = nullptr;
    QPushButton *ViewReportBitBtn = nullptr;
    QPushButton *SearchURLsBitBtn = nullptr;
    QCheckBox *StatusLogCheckBox = nullptr;
    QCheckBox *SubmitDLEnginesCheckBox = nullptr;
    Gauge *SingleGauge = nullptr;
    Gauge *FullGauge = nullptr;
    TimeoutMeter *SubmitTimeoutMeter = nullptr;
    QSlider *TimeoutSlideBar = nullptr;
    QLineEdit *SubmitTimeoutEdit = nullptr;
    QPushButton *SkipURLBitBtn = nullptr;
    QPushButton *SkipEngineBitBtn = nullptr;
    QPushButton *StopBitBtn = nullptr;
    StatusLog *SubmitStatusRichEdit = nullptr;

    void build(QWidget *sheet);
};
