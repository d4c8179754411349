#include "app/hiddenpage.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>

void HiddenPage::build(QWidget *sheet)
{
    HiddenTabSheet = sheet;
    sheet->setObjectName(QStringLiteral("HiddenTabSheet"));
    const auto memo = [sheet](const QString &name) {
        auto *edit = new QPlainTextEdit(sheet);
        edit->setObjectName(name);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        return edit;
    };
    HiddenNameMemo = memo(QStringLiteral("HiddenNameMemo"));
    HiddenValueMemo = memo(QStringLiteral("HiddenValueMemo"));
    SubmitStatusMemo = memo(QStringLiteral("SubmitStatusMemo"));
    UserAgentMemo = memo(QStringLiteral("UserAgentMemo"));

    auto *grid = new QGridLayout(sheet);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->addWidget(HiddenNameMemo, 0, 0);
    grid->addWidget(HiddenValueMemo, 0, 1);
    grid->addWidget(SubmitStatusMemo, 1, 0);
    grid->addWidget(UserAgentMemo, 1, 1);
}
