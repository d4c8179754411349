#include "app/manualpage.h"

#include "app/hints.h"
#include "app/named.h"
#include "engines/enginelist.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

ManualPage::ManualPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ManualSubmitTabSheet"));

    auto *left = Named<QFrame>(QStringLiteral("ManualLeftPanel"));
    m_engines = Named<QListWidget>(QStringLiteral("ManualEnginesListBox"));
    // The column is as wide as its button; the window's extra room goes to the details.
    m_engines->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    SetHint(m_engines, QStringLiteral("Search engines|Find information about each search engine"));
    m_refresh = Named<QPushButton>(QStringLiteral("ManualRefreshBitBtn"), QStringLiteral("Refresh Engine Info"));
    SetHint(m_refresh, QStringLiteral("Refresh info|Download the latest information"));
    auto *leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(2, 2, 2, 2);
    leftColumn->setSpacing(2);
    leftColumn->addWidget(Named<QLabel>(QStringLiteral("ManualEnginesLabel"), QStringLiteral("Search Engines")));
    leftColumn->addWidget(m_engines, 1);
    leftColumn->addWidget(m_refresh);

    m_right = Named<QFrame>(QStringLiteral("ManualRightPanel"));
    auto *grid = new QGridLayout(m_right);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setVerticalSpacing(4);
    int row = 0;
    const auto field = [&](const QString &name, const QString &label, const QString &hint) {
        auto *edit = Named<QLineEdit>(name);
        edit->setReadOnly(true);
        SetHint(edit, hint);
        grid->addWidget(Named<QLabel>(name + QStringLiteral("Label"), label), row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
        return edit;
    };
    const auto goButton = [&](const QString &name, const QString &hint) {
        auto *button = Named<QPushButton>(name, QStringLiteral("Go"));
        SetHint(button, hint);
        grid->addWidget(button, row - 1, 2);
        return button;
    };
    const auto memo = [&](const QString &name, const QString &label, const QString &hint) {
        auto *edit = Named<QPlainTextEdit>(name);
        edit->setReadOnly(true);
        edit->setMinimumHeight(edit->fontMetrics().lineSpacing() * 2 + 8);
        SetHint(edit, hint);
        grid->addWidget(Named<QLabel>(name + QStringLiteral("Label"), label), row, 0, Qt::AlignTop);
        grid->addWidget(edit, row, 1, 1, 2);
        grid->setRowStretch(row, 1);
        ++row;
        return edit;
    };
    m_name = field(QStringLiteral("ManualEngineNameEdit"), QStringLiteral("Engine Name:"),
                   QStringLiteral("Engine name|Name of the current search engine"));
    m_homeUrl = field(QStringLiteral("ManualHomeURLEdit"), QStringLiteral("Home URL:"),
                      QStringLiteral("Home URL|Home page for this search engine"));
    m_goHome = goButton(QStringLiteral("ManualHomeURLBitBtn"),
                        QStringLiteral("Go Home|Go to the home page of this search engine"));
    m_addUrl = field(QStringLiteral("ManualAddURLEdit"), QStringLiteral("Add URL:"),
                     QStringLiteral("Add URL|The URL of the Add a Link area for this search engine"));
    m_goAdd = goButton(QStringLiteral("ManualAddURLBitBtn"),
                       QStringLiteral("Go Add|Go to the Add a Link page of this search engine"));
    m_mode = field(QStringLiteral("ManualEngineModeEdit"), QStringLiteral("Automatic:"),
                   QStringLiteral("Automatic mode|Lets you know if this engine supports automated submissions"));
    m_responseTime = field(
        QStringLiteral("ManualResponseTimeEdit"), QStringLiteral("Response Time:"),
        QStringLiteral("Response time|How long you need to wait before the engine recognizes your submission request"));
    m_likes = memo(QStringLiteral("ManualLikesMemo"), QStringLiteral("Likes:"),
                   QStringLiteral("Likes|Things that this search engine likes"));
    m_dislikes = memo(QStringLiteral("ManualDisLikesMemo"), QStringLiteral("Dislikes:"),
                      QStringLiteral("Dislikes|Things that this search engine dislikes"));
    m_comments = memo(QStringLiteral("ManualCommentsMemo"), QStringLiteral("Comments:"),
                      QStringLiteral("Comments|Just some comments about this search engine"));
    grid->setColumnStretch(1, 1);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(left);
    layout->addWidget(m_right, 1);
    enableGoButtons();

    // The engine under the selection is shown whether the mouse or the keys moved it.
    connect(m_engines, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *current) {
        if (current)
            emit engineClicked();
    });
    connect(m_refresh, &QPushButton::clicked, this, &ManualPage::refreshClicked);
    connect(m_goHome, &QPushButton::clicked, this, [this] { emit openRequested(m_homeUrl->text()); });
    connect(m_goAdd, &QPushButton::clicked, this, [this] { emit openRequested(m_addUrl->text()); });
}

void ManualPage::setEngines(const QStringList &names)
{
    {
        // A new list shows no engine until one is chosen.
        const QSignalBlocker quiet(m_engines);
        m_engines->clear();
        m_engines->addItems(names);
    }
    for (QLineEdit *edit : {m_name, m_homeUrl, m_addUrl, m_mode, m_responseTime})
        edit->clear();
    for (QPlainTextEdit *memo : {m_likes, m_dislikes, m_comments})
        memo->clear();
    enableGoButtons();
}

QString ManualPage::currentEngine() const
{
    const QListWidgetItem *item = m_engines->currentItem();
    return item ? item->text() : QString();
}

void ManualPage::showEngine(const QString &name, const ManualEngine &engine)
{
    m_name->setText(name);
    m_homeUrl->setText(engine.homeURL);
    m_addUrl->setText(engine.addURL);
    m_mode->setText(engine.automaticSubmit);
    m_responseTime->setText(engine.responseTime);
    const std::pair<QPlainTextEdit *, QString> memos[] = {
        {m_likes, engine.likes}, {m_dislikes, engine.dislikes}, {m_comments, engine.comments}};
    for (const auto &[memo, text] : memos) {
        memo->setPlainText(text);
        memo->moveCursor(QTextCursor::Start);
        memo->ensureCursorVisible();
    }
    enableGoButtons();
}

void ManualPage::setIdle(bool idle)
{
    m_refresh->setEnabled(idle);
}

void ManualPage::setBusy(bool busy)
{
    for (QWidget *widget : std::initializer_list<QWidget *>{m_refresh, m_right}) {
        if (busy)
            widget->setCursor(Qt::WaitCursor);
        else
            widget->unsetCursor();
    }
}

void ManualPage::enableGoButtons()
{
    m_goHome->setEnabled(!m_homeUrl->text().isEmpty());
    m_goAdd->setEnabled(!m_addUrl->text().isEmpty());
}
