#include "app/infopage.h"

#include "app/hints.h"
#include "app/panel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

void InfoPage::build(QWidget *sheet)
{
    InfoTabSheet = sheet;
    sheet->setObjectName(QStringLiteral("InfoTabSheet"));

    Place<QLabel>(sheet, QStringLiteral("InfoFirstNameLabel"), 8, 6, 120, 16, QStringLiteral("First Name"));
    InfoFirstNameEdit = Place<QLineEdit>(sheet, QStringLiteral("InfoFirstNameEdit"), 8, 22, 122, 22);
    SetHint(InfoFirstNameEdit, QStringLiteral("First name|First name"));

    Place<QLabel>(sheet, QStringLiteral("InfoMILabel"), 136, 6, 30, 16, QStringLiteral("MI"));
    InfoMIEdit = Place<QLineEdit>(sheet, QStringLiteral("InfoMIEdit"), 136, 22, 30, 22);
    SetHint(InfoMIEdit, QStringLiteral("Middle initial|Middle initial"));

    Place<QLabel>(sheet, QStringLiteral("InfoLastNameLabel"), 172, 6, 136, 16, QStringLiteral("Last Name"));
    InfoLastNameEdit = Place<QLineEdit>(sheet, QStringLiteral("InfoLastNameEdit"), 172, 22, 136, 22);
    SetHint(InfoLastNameEdit, QStringLiteral("Last name|Last name"));

    Place<QLabel>(sheet, QStringLiteral("InfoEmailLabel"), 8, 52, 200, 16, QStringLiteral("Email Addresses"));
    InfoEmailMemo = Place<QPlainTextEdit>(sheet, QStringLiteral("InfoEmailMemo"), 8, 68, 300, 170);
    InfoEmailMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    InfoEmailMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    SetHint(InfoEmailMemo, QStringLiteral("Emails|Email Addresses one per line"));

    auto *logoPanel = Place<QFrame>(sheet, QStringLiteral("InfoLogoPanel"), 316, 22, 208, 128);
    logoPanel->setAutoFillBackground(true);
    QPalette white = logoPanel->palette();
    white.setColor(QPalette::Window, Qt::white);
    logoPanel->setPalette(white);
    LogoImage = Place<QLabel>(logoPanel, QStringLiteral("LogoImage"), 4, 4, 200, 120);
    LogoImage->setCursor(Qt::PointingHandCursor);
}
