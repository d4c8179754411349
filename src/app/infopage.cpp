#include "app/infopage.h"

#include "app/hints.h"
#include "app/memolines.h"
#include "app/named.h"
#include "project/session/projectsettings.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

InfoPage::InfoPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("InfoTabSheet"));
    m_firstName = Named<QLineEdit>(QStringLiteral("InfoFirstNameEdit"));
    SetHint(m_firstName, QStringLiteral("First name|First name"));
    m_middleInitial = Named<QLineEdit>(QStringLiteral("InfoMIEdit"));
    SetHint(m_middleInitial, QStringLiteral("Middle initial|Middle initial"));
    // Room for an initial or two, no more.
    m_middleInitial->setFixedWidth(m_middleInitial->fontMetrics().horizontalAdvance(QStringLiteral("MMM")) + 12);
    m_lastName = Named<QLineEdit>(QStringLiteral("InfoLastNameEdit"));
    SetHint(m_lastName, QStringLiteral("Last name|Last name"));
    m_emails = Named<QPlainTextEdit>(QStringLiteral("InfoEmailMemo"));
    m_emails->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_emails->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_emails->setMinimumHeight(m_emails->fontMetrics().lineSpacing() * 3 + 8);
    SetHint(m_emails, QStringLiteral("Emails|Email Addresses one per line"));

    auto *logoPanel = Named<QFrame>(QStringLiteral("InfoLogoPanel"));
    logoPanel->setAutoFillBackground(true);
    QPalette white = logoPanel->palette();
    white.setColor(QPalette::Window, Qt::white);
    logoPanel->setPalette(white);
    logoPanel->setFixedSize(208, 128);
    m_logo = Named<QLabel>(QStringLiteral("LogoImage"));
    m_logo->setCursor(Qt::PointingHandCursor);
    m_logo->setAlignment(Qt::AlignCenter);
    m_logo->installEventFilter(this);
    auto *logoLayout = new QVBoxLayout(logoPanel);
    logoLayout->setContentsMargins(4, 4, 4, 4);
    logoLayout->addWidget(m_logo);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(8, 6, 8, 8);
    grid->setVerticalSpacing(2);
    grid->addWidget(Named<QLabel>(QStringLiteral("InfoFirstNameLabel"), QStringLiteral("First Name")), 0, 0);
    grid->addWidget(Named<QLabel>(QStringLiteral("InfoMILabel"), QStringLiteral("MI")), 0, 1);
    grid->addWidget(Named<QLabel>(QStringLiteral("InfoLastNameLabel"), QStringLiteral("Last Name")), 0, 2);
    grid->addWidget(m_firstName, 1, 0);
    grid->addWidget(m_middleInitial, 1, 1);
    grid->addWidget(m_lastName, 1, 2);
    grid->addItem(new QSpacerItem(0, 6), 2, 0);
    grid->addWidget(Named<QLabel>(QStringLiteral("InfoEmailLabel"), QStringLiteral("Email Addresses")), 3, 0, 1, 3);
    grid->addWidget(m_emails, 4, 0, 1, 3);
    grid->addWidget(logoPanel, 1, 3, 4, 1, Qt::AlignTop);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(4, 1);

    for (QLineEdit *edit : {m_firstName, m_middleInitial, m_lastName})
        connect(edit, &QLineEdit::textChanged, this, &InfoPage::edited);
    connect(m_emails, &QPlainTextEdit::textChanged, this, &InfoPage::edited);
}

void InfoPage::showSettings(const ProjectSettings &settings)
{
    m_firstName->setText(settings.firstName);
    m_middleInitial->setText(settings.middleInitial);
    m_lastName->setText(settings.lastName);
    SetMemoLines(m_emails, settings.emails);
}

void InfoPage::fillSettings(ProjectSettings &settings) const
{
    settings.firstName = m_firstName->text();
    settings.middleInitial = m_middleInitial->text();
    settings.lastName = m_lastName->text();
    settings.emails = MemoLines(m_emails);
}

void InfoPage::clearNames()
{
    for (QLineEdit *edit : {m_firstName, m_middleInitial, m_lastName})
        edit->clear();
}

void InfoPage::setLogo(const QPixmap &logo)
{
    m_logo->setPixmap(logo);
}

bool InfoPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_logo && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        emit logoClicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
