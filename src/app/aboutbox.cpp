#include "app/aboutbox.h"

#include "app/constants.h"
#include "app/pictures.h"
#include "platform/platform.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Quillcast;

TAboutBox::TAboutBox(Platform &platform, const QString &baseDir, QWidget *parent)
    : QDialog(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About ") + AppTitle);
    setWindowIcon(LoadIcon(baseDir, IconFile));

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("AboutPanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(white);

    auto *image = makeLabel(QStringLiteral("AboutImage"), QString(), panel);
    const QPixmap logo = LoadPicture(baseDir, LogoFile);
    image->setPixmap(logo);
    image->setFixedSize(logo.size());

    // The program's name in large white type over the picture.
    auto *title = new QLabel(AppTitle + QLatin1Char(' ') + Version, image);
    title->setObjectName(QStringLiteral("AboutTitleLabel"));
    QFont titleFont = title->font();
    titleFont.setPointSize(14);
    titleFont.setBold(true);
    title->setFont(titleFont);
    QPalette titlePalette = title->palette();
    titlePalette.setColor(QPalette::WindowText, Qt::white);
    title->setPalette(titlePalette);
    title->move(8, logo.height() - title->sizeHint().height() - 4);
    title->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto *version = makeLabel(QStringLiteral("AboutVersionLabel"), VersionText, panel);
    auto *blurb = makeLabel(QStringLiteral("AboutBlurbLabel"),
                            QStringLiteral("Submits your site's URLs to the search engines you choose."), panel);
    blurb->setWordWrap(true);
    auto *url = makeLabel(QStringLiteral("AboutURLLabel"), HomePageURL, panel);
    QPalette blue = url->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    url->setPalette(blue);
    auto *sales = new QLabel(QStringLiteral("Sales Dept: ") + SalesEmail, panel);
    sales->setObjectName(QStringLiteral("AboutSalesLabel"));
    auto *tech = new QLabel(QStringLiteral("Tech Support: ") + TechEmail, panel);
    tech->setObjectName(QStringLiteral("AboutTechLabel"));
    for (QLabel *clickable : {image, version, blurb, url}) {
        clickable->installEventFilter(this);
        clickable->setCursor(Qt::PointingHandCursor);
    }

    auto *text = new QVBoxLayout;
    text->addWidget(version);
    text->addWidget(blurb);
    text->addWidget(url);
    text->addWidget(sales);
    text->addWidget(tech);
    text->addStretch();
    auto *panelLayout = new QHBoxLayout(panel);
    panelLayout->addWidget(image, 0, Qt::AlignTop);
    panelLayout->addLayout(text, 1);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint().expandedTo(QSize(420, 0)));
}

QLabel *TAboutBox::makeLabel(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    return label;
}

bool TAboutBox::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        m_platform.openInShell(Quillcast::HomePageURL);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
