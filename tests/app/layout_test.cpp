// The window's layout: at its minimum size every text of every page is shown
// whole, and the room a larger window gives goes to the URLs and the status log.

#include "runs/ui/statuslog.h"
#include "support/gui/windowfixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

using qctest::WindowTest;

namespace {

// One text a control shows: the width it needs (the text's advance plus the
// style's margins around it) and the width the control gives it.
struct Fit
{
    QString what;
    int needed;
    int available;
};

int advance(const QWidget *widget, const QString &text)
{
    return widget->fontMetrics().size(Qt::TextShowMnemonic, text).width();
}

Fit buttonFit(const QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox *>(button))
        contents = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<const QRadioButton *>(button))
        contents = QStyle::SE_RadioButtonContents;
    else if (const auto *push = qobject_cast<const QPushButton *>(button); push && push->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    const QRect area = button->style()->subElementRect(contents, &option, button);
    return {button->text(), advance(button, button->text()), area.width()};
}

QList<Fit> textsOf(const QWidget *widget)
{
    QList<Fit> fits;
    const QStyle *style = widget->style();
    if (const auto *label = qobject_cast<const QLabel *>(widget); label && !label->text().isEmpty()) {
        const int room = label->contentsRect().width() - 2 * label->margin();
        if (label->wordWrap())
            fits.append({label->text() + " (height)", label->heightForWidth(label->width()), label->height()});
        else
            for (const QString &line : label->text().split('\n'))
                fits.append({line, advance(label, line), room});
    } else if (const auto *tool = qobject_cast<const QToolButton *>(widget)) {
        // A tool button shows its text only without a picture.
        if (tool->icon().isNull() && !tool->text().isEmpty()) {
            QStyleOptionToolButton option;
            option.initFrom(tool);
            const QSize text(advance(tool, tool->text()), tool->fontMetrics().height());
            fits.append({tool->text(), style->sizeFromContents(QStyle::CT_ToolButton, &option, text, tool).width(),
                         tool->width()});
        }
    } else if (const auto *button = qobject_cast<const QAbstractButton *>(widget);
               button && !button->text().isEmpty()) {
        fits.append(buttonFit(button));
    } else if (const auto *box = qobject_cast<const QGroupBox *>(widget); box && !box->title().isEmpty()) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        option.textAlignment = box->alignment();
        const QRect title = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        fits.append({box->title(), title.left() + advance(box, box->title()), box->width()});
    } else if (const auto *tabs = qobject_cast<const QTabBar *>(widget)) {
        const int space = style->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
        for (int i = 0; i < tabs->count(); ++i) {
            if (!tabs->isTabVisible(i))
                continue;
            const QRect tab = tabs->tabRect(i);
            fits.append({tabs->tabText(i), advance(tabs, tabs->tabText(i)) + space, tab.width()});
            fits.append({tabs->tabText(i) + " (right end)", tab.right(), tabs->width() - 1});
        }
    } else if (const auto *header = qobject_cast<const QHeaderView *>(widget);
               header && header->orientation() == Qt::Horizontal) {
        const int margin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (int i = 0; i < header->count(); ++i) {
            if (header->isSectionHidden(i))
                continue;
            const QString text = header->model()->headerData(i, Qt::Horizontal).toString();
            fits.append({text, advance(header, text) + 2 * margin, header->sectionSize(i)});
            fits.append({text + " (right end)", header->sectionViewportPosition(i) + header->sectionSize(i),
                         header->viewport()->width()});
        }
    }
    return fits;
}

// Every text of every widget the window shows now.
void expectTextsFit(QWidget &window, const QString &where)
{
    QApplication::processEvents();
    for (const QWidget *widget : window.findChildren<QWidget *>()) {
        if (!widget->isVisible() || widget->window() != &window)
            continue;
        for (const Fit &fit : textsOf(widget)) {
            EXPECT_LE(fit.needed, fit.available) << where.toStdString() << ": " << widget->objectName().toStdString()
                                                 << " \"" << fit.what.toStdString() << "\"";
        }
    }
}

class MinimumSize : public WindowTest, public ::testing::WithParamInterface<QStringList>
{
};

TEST_P(MinimumSize, EveryTextOfEveryPageIsShownWhole)
{
    TMainForm &form = start(GetParam());
    form.show();
    QApplication::processEvents();
    const QSize minimum = form.minimumSize();
    ASSERT_FALSE(minimum.isEmpty());
    if (GetParam().isEmpty()) {
        EXPECT_TRUE(minimum.width() <= 537 && minimum.height() <= 413) << "the first start fits the default size";
    }
    form.resize(minimum);
    expectTextsFit(form, "no project");
    EXPECT_TRUE(find<QLabel>("NoProjectLabel")->isVisible());

    newProject();
    EXPECT_FALSE(find<QLabel>("NoProjectLabel")->isVisible());
    EXPECT_EQ(form.size(), minimum) << "opening a project needs no more room";
    auto *pages = find<QTabWidget>("PageControl");
    for (int i = 0; i < pages->count(); ++i)
        if (pages->isTabVisible(i)) {
            pages->setCurrentIndex(i);
            expectTextsFit(form, pages->tabText(i));
        }
}

INSTANTIATE_TEST_SUITE_P(Layout, MinimumSize, ::testing::Values(QStringList(), QStringList{QStringLiteral("/debug")}));

TEST_F(MinimumSize, ALargerWindowGivesItsRoomToTheUrlsAndTheStatusLog)
{
    TMainForm &form = start();
    newProject();
    form.show();
    auto *pages = find<QTabWidget>("PageControl");
    auto *grid = find<QTableView>("SettingsURLDBGrid");
    const auto measure = [&] {
        QApplication::processEvents();
        pages->setCurrentWidget(find<QWidget>("SettingsTabSheet"));
        QApplication::processEvents();
        const int url = grid->columnWidth(0), enabled = grid->columnWidth(1);
        pages->setCurrentWidget(find<QWidget>("StatusTabSheet"));
        QApplication::processEvents();
        return std::tuple{url, enabled, find<QWidget>("SubmitStatusRichEdit")->size()};
    };
    const auto [url, enabled, log] = measure();
    const QSize extra = QSize(1600, 1000) - form.size();
    form.resize(1600, 1000);
    const auto [widerUrl, widerEnabled, largerLog] = measure();
    // A scroll bar may come or go as the grid grows.
    EXPECT_GE(widerUrl - url, extra.width() - 20);
    EXPECT_EQ(widerEnabled, enabled);
    EXPECT_GE(largerLog.width() - log.width(), extra.width() - 2);
    EXPECT_GE(largerLog.height() - log.height(), extra.height() - 2);
}

} // namespace
