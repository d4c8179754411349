#include "app/submitpage.h"

#include "app/hints.h"
#include "app/named.h"
#include "project/session/projectsettings.h"
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

namespace {

QPushButton *button(const QString &objectName, const QString &text, const QString &hint)
{
    auto *made = Named<QPushButton>(objectName, text);
    SetHint(made, hint);
    return made;
}

Gauge *gauge(const QString &objectName, const QString &hint)
{
    auto *made = Named<Gauge>(objectName);
    made->setRange(0, 100);
    made->setValue(0);
    SetHint(made, hint);
    return made;
}

} // namespace

SubmitPage::SubmitPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatusTabSheet"));
    m_submit = button(QStringLiteral("SubmitBitBtn"), QStringLiteral("Submit URL's now"),
                      QStringLiteral("Submit URL's|Send the listed URL's to the search engines you chose"));
    m_viewReport = button(QStringLiteral("ViewReportBitBtn"), QStringLiteral("View Submit Report"),
                          QStringLiteral("View Report|View a report generated after the submission"));
    m_search = Named<QPushButton>(QStringLiteral("SearchURLsBitBtn"), QStringLiteral("Search URL's"));
    m_statusLog = Named<QCheckBox>(QStringLiteral("StatusLogCheckBox"), QStringLiteral("Status Log"));
    m_downloadEngines = Named<QCheckBox>(QStringLiteral("SubmitDLEnginesCheckBox"),
                                         QStringLiteral("Always download new search engine information"));
    m_downloadEngines->setChecked(true);
    SetHint(m_downloadEngines, QStringLiteral("Download engines|Download the latest search engine configuration file"));
    m_single =
        gauge(QStringLiteral("SingleGauge"), QStringLiteral("Single progress|Progress bar for current submission"));
    m_full =
        gauge(QStringLiteral("FullGauge"), QStringLiteral("Full progress|Progress bar for full submission project"));

    m_meter = Named<TimeoutMeter>(QStringLiteral("SubmitTimeoutMeter"));
    SetHint(m_meter, QStringLiteral("Submit timeout|Timeout meter for link submission"));
    m_slider = Named<QSlider>(QStringLiteral("TimeoutSlideBar"), Qt::Horizontal);
    m_slider->setRange(ProjectSettings::MinTimeoutSeconds, ProjectSettings::MaxTimeoutSeconds);
    m_slider->setSingleStep(5);
    m_slider->setPageStep(5);
    m_slider->setTickInterval(5);
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setValue(15);
    SetHint(m_slider, QStringLiteral("Timout slider|Slide this bar to set the timeout"));
    m_timeout = Named<QLineEdit>(QStringLiteral("SubmitTimeoutEdit"), QStringLiteral("15"));
    m_timeout->setReadOnly(true);
    m_timeout->setFixedWidth(m_timeout->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    SetHint(m_timeout, QStringLiteral("Timeout|How many seconds should we wait for a response"));

    m_skipUrl = button(QStringLiteral("SkipURLBitBtn"), QStringLiteral("Skip URL"),
                       QStringLiteral("Skip URL|Skip the current URL and go to the next one"));
    m_skipEngine = button(QStringLiteral("SkipEngineBitBtn"), QStringLiteral("Skip Engine"),
                          QStringLiteral("Skip engine|Skip all the URL's in this search engine"));
    m_stop = button(QStringLiteral("StopBitBtn"), QStringLiteral("Stop"),
                    QStringLiteral("Stop submission|Stop the submission project"));
    m_log = Named<StatusLog>(QStringLiteral("SubmitStatusRichEdit"));
    SetHint(m_log, QStringLiteral("Submit status|Submission status window"));

    auto *grid = new QGridLayout;
    grid->addWidget(m_submit, 0, 0);
    grid->addWidget(m_viewReport, 0, 1);
    grid->addWidget(m_search, 0, 2);
    grid->addWidget(m_statusLog, 1, 0);
    grid->addWidget(m_downloadEngines, 1, 1, 1, 2);
    grid->addWidget(m_single, 2, 0, 1, 3);
    grid->addWidget(m_full, 3, 0, 1, 3);
    grid->addWidget(m_meter, 0, 3, 4, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);

    auto *timeout = new QHBoxLayout;
    timeout->addWidget(Named<QLabel>(QStringLiteral("SubmitTimeoutLabel"), QStringLiteral("Timeout")));
    timeout->addWidget(m_slider, 1);
    timeout->addWidget(m_timeout);
    timeout->addSpacing(8);
    timeout->addWidget(m_skipUrl);
    timeout->addWidget(m_skipEngine);
    timeout->addWidget(m_stop);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(grid);
    layout->addLayout(timeout);
    layout->addWidget(m_log, 1);
    setRunInProgress(false);
    m_viewReport->setEnabled(m_statusLog->isChecked());

    connect(m_submit, &QPushButton::clicked, this, &SubmitPage::submitClicked);
    connect(m_search, &QPushButton::clicked, this, &SubmitPage::searchClicked);
    connect(m_viewReport, &QPushButton::clicked, this, &SubmitPage::viewReportClicked);
    connect(m_skipUrl, &QPushButton::clicked, this, &SubmitPage::skipUrlClicked);
    connect(m_skipEngine, &QPushButton::clicked, this, &SubmitPage::skipEngineClicked);
    connect(m_stop, &QPushButton::clicked, this, &SubmitPage::stopClicked);
    connect(m_downloadEngines, &QCheckBox::toggled, this, &SubmitPage::edited);
    connect(m_statusLog, &QCheckBox::toggled, this, [this](bool on) {
        m_viewReport->setEnabled(on);
        emit edited();
    });
    connect(m_timeout, &QLineEdit::textChanged, this, &SubmitPage::timeoutTyped);
    connect(m_slider, &QSlider::valueChanged, this, &SubmitPage::timeoutSlid);
}

void SubmitPage::showSettings(const ProjectSettings &settings)
{
    m_downloadEngines->setChecked(settings.downloadEngines);
    m_timeout->setText(settings.timeoutText);
    m_statusLog->setChecked(settings.statusLog);
    m_viewReport->setEnabled(settings.statusLog);
}

void SubmitPage::fillSettings(ProjectSettings &settings) const
{
    settings.downloadEngines = m_downloadEngines->isChecked();
    settings.timeoutText = m_timeout->text();
    settings.statusLog = m_statusLog->isChecked();
}

void SubmitPage::timeoutTyped()
{
    const int value = leadingInteger(m_timeout->text());
    if (value != m_slider->value()) {
        // The slider takes only its own range and otherwise keeps its position.
        if (value >= m_slider->minimum() && value <= m_slider->maximum())
            m_slider->setValue(value);
        // Taken or not, the slider's own value goes back into the box.
        const QString own = QString::number(m_slider->value());
        if (m_timeout->text() != own)
            m_timeout->setText(own);
    }
    showTimeoutScale();
    emit edited();
}

void SubmitPage::timeoutSlid(int value)
{
    const QString text = QString::number(value);
    if (m_timeout->text() != text)
        m_timeout->setText(text);
    showTimeoutScale();
    emit edited();
}

void SubmitPage::showTimeoutScale()
{
    const int timeout = leadingInteger(m_timeout->text());
    if (timeout <= 0)
        return;
    m_meter->setMaximum(timeout);
    m_meter->setAlertMark(timeout - timeout / 4);
}

void SubmitPage::setRunInProgress(bool inProgress)
{
    for (QPushButton *control : {m_submit, m_search})
        control->setEnabled(!inProgress);
    for (QPushButton *control : {m_skipUrl, m_skipEngine, m_stop})
        control->setEnabled(inProgress);
    if (inProgress) {
        m_log->setGathering(true);
        m_log->clear();
        m_full->setValue(0);
        m_meter->setFaceColor(Qt::white);
    } else {
        m_log->setGathering(false);
        m_meter->setValue(0);
        m_meter->setFaceColor(QColor(0, 0, 255));
    }
}

void SubmitPage::showRequestProgress(int percent)
{
    m_single->setValue(qBound(0, percent, m_single->maximum()));
}

void SubmitPage::showRunProgress(int done, int total)
{
    if (m_full->maximum() != total)
        m_full->setRange(0, total);
    m_full->setValue(done);
}

void SubmitPage::showTimeoutTick(int seconds)
{
    m_meter->setValue(seconds);
}
