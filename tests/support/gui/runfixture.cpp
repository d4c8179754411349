#include "support/gui/runfixture.h"

#include "engines/ui/enginechecklist.h"
#include "project/urltable.h"
#include "runs/ui/statuslog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace qctest {

void RunTest::SetUp()
{
    ASSERT_TRUE(farm.start()) << farm.lastError().toStdString();
}

TMainForm &RunTest::open(const QList<RunEngine> &engines, const QStringList &urls, const QStringList &arguments)
{
    QByteArray list;
    for (const RunEngine &e : engines)
        list += engineSection(e.name, e.engine);
    writeFile(base.file("engines205.txt"), list);
    TMainForm &form = start(arguments);
    newProject();
    form.Info.InfoFirstNameEdit->setText("Ann");
    form.Info.InfoLastNameEdit->setText("Lee");
    form.Info.InfoEmailMemo->setPlainText("ann@lee.example");
    form.Submit.SubmitDLEnginesCheckBox->setChecked(false);
    form.Submit.SubmitTimeoutEdit->setText("5");
    EngineCheckList *checks = form.Settings.SettingsSearchEnginesCheckList;
    for (const RunEngine &e : engines)
        checks->setChecked(checks->indexOf(QString::fromUtf8(e.name)), e.checked);
    for (const QString &url : urls)
        form.urlTable().addUrl(form.ProjectId, url);
    form.RefreshControls();
    return form;
}

QStringList RunTest::status()
{
    QStringList lines;
    const StatusLog *log = window().Submit.SubmitStatusRichEdit;
    for (int i = 0; i < log->lineCount(); ++i)
        lines << log->lineText(i);
    return lines;
}

} // namespace qctest
