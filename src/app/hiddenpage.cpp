#include "app/hiddenpage.h"

#include "app/named.h"

#include <QGridLayout>
#include <QPlainTextEdit>
#include <QTextDocument>

HiddenPage::HiddenPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("HiddenTabSheet"));
    const auto memo = [](const QString &name) {
        auto *edit = Named<QPlainTextEdit>(name);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setMinimumSize(40, 40);
        return edit;
    };
    m_answer = memo(QStringLiteral("SubmitStatusMemo"));
    m_userAgent = memo(QStringLiteral("UserAgentMemo"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->addWidget(memo(QStringLiteral("HiddenNameMemo")), 0, 0);
    grid->addWidget(memo(QStringLiteral("HiddenValueMemo")), 0, 1);
    grid->addWidget(m_answer, 1, 0);
    grid->addWidget(m_userAgent, 1, 1);
}

void HiddenPage::setUserAgent(const QString &userAgent)
{
    m_userAgent->setPlainText(userAgent);
}

void HiddenPage::appendAnswer(const QString &piece)
{
    m_answer->appendPlainText(piece);
}

void HiddenPage::clearAnswer()
{
    // Emptying an empty memo still rebuilds its document.
    if (!m_answer->document()->isEmpty())
        m_answer->clear();
}
