#pragma once

#include <QWidget>

class Gauge;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QSlider;
class StatusLog;
class TimeoutMeter;
struct ProjectSettings;

// "Submit URL's": the run buttons and options, progress, the timeout and the status log.
class SubmitPage : public QWidget
{
    Q_OBJECT

public:
    explicit SubmitPage(QWidget *parent = nullptr);

    // The run options: download the lists first, the timeout, the report.
    void showSettings(const ProjectSettings &settings);
    void fillSettings(ProjectSettings &settings) const;

    // Submit and Search act between runs; Skip URL, Skip Engine and Stop only during one.
    void setRunInProgress(bool inProgress);
    StatusLog &log() const { return *m_log; }
    void showRequestProgress(int percent);
    void showRunProgress(int done, int total);
    void showTimeoutTick(int seconds);

signals:
    // An option changed.
    void edited();
    void submitClicked();
    void searchClicked();
    void viewReportClicked();
    void skipUrlClicked();
    void skipEngineClicked();
    void stopClicked();

private:
    // The box and the slider show one value; a box that does not start with a
    // number the slider takes turns back into the slider's value.
    void timeoutTyped();
    void timeoutSlid(int value);
    void showTimeoutScale();

    QPushButton *m_submit;
    QPushButton *m_viewReport;
    QPushButton *m_search;
    QCheckBox *m_statusLog;
    QCheckBox *m_downloadEngines;
    Gauge *m_single;
    Gauge *m_full;
    TimeoutMeter *m_meter;
    QSlider *m_slider;
    QLineEdit *m_timeout;
    QPushButton *m_skipUrl;
    QPushButton *m_skipEngine;
    QPushButton *m_stop;
    StatusLog *m_log;
};
