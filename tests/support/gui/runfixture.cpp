#include "support/gui/runfixture.h"

#include "engines/ui/enginechecklist.h"
#include "project/store/urltable.h"
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
    find<QLineEdit>("InfoFirstNameEdit")->setText("Ann");
    find<QLineEdit>("InfoLastNameEdit")->setText("Lee");
    find<QPlainTextEdit>("InfoEmailMemo")->setPlainText("ann@lee.example");
    find<QCheckBox>("SubmitDLEnginesCheckBox")->setChecked(false);
    find<QLineEdit>("SubmitTimeoutEdit")->setText("5");
    auto *checks = find<EngineCheckList>("SettingsSearchEnginesCheckList");
    for (const RunEngine &e : engines)
        checks->setChecked(checks->indexOf(QString::fromUtf8(e.name)), e.chosen);
    for (const QString &url : urls)
        form.urlTable().addUrl(form.projectId(), url);
    form.RefreshControls();
    return form;
}

FarmEngine RunTest::engine(const QByteArray &script, const QByteArray &column) const
{
    FarmEngine made;
    made.action = farm.script(script);
    made.column = column;
    return made;
}

QStringList RunTest::status()
{
    QStringList lines;
    const auto *log = find<StatusLog>("SubmitStatusRichEdit");
    for (int i = 0; i < log->lineCount(); ++i)
        lines << log->lineText(i);
    return lines;
}

} // namespace qctest
