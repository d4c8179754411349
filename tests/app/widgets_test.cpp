#include "engines/countrycodes.h"
#include "engines/ui/advancedengineform.h"
#include "engines/ui/enginechecklist.h"
#include "runs/ui/statuslog.h"
#include "runs/ui/timeoutmeter.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <gtest/gtest.h>
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Finds a control by object name and fails the test loudly when it is missing.
template <typename T> T *control(QObject *root, const char *name)
{
    T *found = root->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no control " << name;
    return found;
}

QStringList comboItems(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

// ---- Advanced settings dialog

const ExciteValues NoneSelected{"Nothing Selected", "Nothing Selected", "Nothing Selected"};

TEST(AdvancedEngineForm, HasItsNamedControlsAndPickLists)
{
    TAdvancedEngineForm form;
    EXPECT_EQ(form.objectName(), "AdvancedEngineForm");
    EXPECT_EQ(form.windowTitle(), "Advanced Settings");
    EXPECT_EQ(form.size(), QSize(540, 412));

    auto *pages = control<QTabWidget>(&form, "PageControl1");
    ASSERT_TRUE(pages);
    ASSERT_EQ(pages->count(), 1);
    EXPECT_EQ(pages->tabText(0), "Excite");
    EXPECT_EQ(pages->widget(0), control<QWidget>(&form, "ExciteTabSheet"));

    const struct
    {
        const char *name;
        const char *label;
        const QStringList &items;
    } combos[] = {
        {"ExciteLanguageComboBox", "Primary Language", ExciteLanguages()},
        {"ExciteLocationComboBox", "Geographical Location", ExciteLocations()},
        {"ExciteCategoryComboBox", "Category", ExciteCategories()},
    };
    for (const auto &expected : combos) {
        auto *combo = control<QComboBox>(pages->widget(0), expected.name);
        ASSERT_TRUE(combo);
        EXPECT_TRUE(combo->isEditable()) << expected.name;
        EXPECT_EQ(combo->width(), 394) << expected.name;
        EXPECT_EQ(comboItems(combo), expected.items) << expected.name;
        const QList<QLabel *> labels = pages->widget(0)->findChildren<QLabel *>();
        const bool labelled = std::any_of(labels.begin(), labels.end(), [&](QLabel *label) {
            return label->text() == expected.label && label->buddy() == combo && !label->objectName().isEmpty();
        });
        EXPECT_TRUE(labelled) << expected.label;
    }
    EXPECT_EQ(control<QPushButton>(&form, "OKBitBtn")->text(), "OK");
    EXPECT_EQ(control<QPushButton>(&form, "BitBtn1")->text(), "Cancel");
}

TEST(AdvancedEngineForm, EveryShowingStartsFromTheSettings)
{
    ExciteValues values = NoneSelected;
    values.language = "German";
    values.location = "Atlantis"; // typed earlier, not in the list
    TAdvancedEngineForm form;
    form.setValues(values);

    form.show();
    EXPECT_EQ(form.ExciteLanguageComboBox->currentText(), "German");
    EXPECT_EQ(form.ExciteLanguageComboBox->currentIndex(), ExciteLanguages().indexOf("German"));
    EXPECT_EQ(form.ExciteLocationComboBox->currentText(), "Atlantis");
    EXPECT_EQ(form.ExciteCategoryComboBox->currentText(), "Nothing Selected");

    // Edits that were cancelled do not come back at the next showing.
    form.ExciteCategoryComboBox->setCurrentText("Sports");
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_FALSE(form.chosen());

    values.location = "Zaire";
    form.setValues(values);
    form.show();
    EXPECT_EQ(form.ExciteLocationComboBox->currentText(), "Zaire");
    EXPECT_EQ(form.ExciteCategoryComboBox->currentText(), "Nothing Selected");
    form.hide();
}

TEST(AdvancedEngineForm, OkCopiesTheThreeTextsAsShownIncludingTypedOnes)
{
    TAdvancedEngineForm form;
    form.setValues(NoneSelected);
    form.show();

    form.ExciteLanguageComboBox->setCurrentIndex(ExciteLanguages().indexOf("Swedish"));
    QLineEdit *location = form.ExciteLocationComboBox->lineEdit();
    location->selectAll();
    QTest::keyClicks(location, "Atlantis");
    form.ExciteCategoryComboBox->setCurrentIndex(ExciteCategories().indexOf("Travel"));

    QTest::mouseClick(form.OKBitBtn, Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());
    ASSERT_TRUE(form.chosen());
    EXPECT_EQ(form.chosen()->language, "Swedish");
    EXPECT_EQ(form.chosen()->location, "Atlantis");
    EXPECT_EQ(form.chosen()->category, "Travel");
    // Given the values afresh, the dialog has chosen nothing yet.
    form.setValues(*form.chosen());
    EXPECT_FALSE(form.chosen());
    // A typed value is a setting, never a new entry of the pick list.
    EXPECT_EQ(comboItems(form.ExciteLocationComboBox), ExciteLocations());
}

TEST(AdvancedEngineForm, TypedTextIsKeptLetterForLetterWhenEnterAccepts)
{
    TAdvancedEngineForm form;
    form.setValues(NoneSelected);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QLineEdit *location = form.ExciteLocationComboBox->lineEdit();
    location->setFocus();
    location->selectAll();
    QTest::keyClicks(location, "united states");
    QTest::keyClick(location, Qt::Key_Return);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    ASSERT_TRUE(form.chosen());
    EXPECT_EQ(form.chosen()->location, "united states");
    EXPECT_EQ(LookupCountryCode(form.chosen()->location), "");
}

// ---- Status log

TEST(StatusLog, EachKindHasItsColourAndStyle)
{
    const struct
    {
        int kind;
        QColor color;
        bool bold;
        bool underline;
    } kinds[] = {
        {0, QColor(0, 0, 0), false, false},   {1, QColor(255, 0, 0), true, false},  {3, QColor(255, 0, 0), true, true},
        {4, QColor(0, 128, 0), false, false}, {5, QColor(0, 0, 255), false, false}, {6, QColor(0, 0, 0), true, false},
    };
    StatusLog log;
    EXPECT_EQ(log.objectName(), "SubmitStatusRichEdit");
    EXPECT_TRUE(log.isReadOnly());
    for (const auto &expected : kinds) {
        log.AddStatusLine(QStringLiteral("kind %1").arg(expected.kind), StatusKind(expected.kind));
        const int last = log.lineCount() - 1;
        const StatusLog::LineStyle style = log.lineStyle(last);
        EXPECT_EQ(log.lineText(last), QStringLiteral("kind %1").arg(expected.kind));
        EXPECT_EQ(style.color, expected.color) << "kind " << expected.kind;
        EXPECT_EQ(style.bold, expected.bold) << "kind " << expected.kind;
        EXPECT_EQ(style.underline, expected.underline) << "kind " << expected.kind;
    }
    EXPECT_EQ(log.lineCount(), 6);
}

TEST(StatusLog, UnknownKindsKeepThePreviousLinesStyle)
{
    StatusLog log;
    log.AddStatusLine("first", StatusKind(2)); // nothing before it: black, normal
    EXPECT_EQ(log.lineStyle(0).color, QColor(0, 0, 0));
    EXPECT_FALSE(log.lineStyle(0).bold);

    log.AddStatusLine("error", StatusKind::Failure);
    for (int kind : {2, -1, 7, 1000})
        log.AddStatusLine("again", StatusKind(kind));
    for (int i = 1; i < log.lineCount(); ++i) {
        EXPECT_EQ(log.lineStyle(i).color, QColor(255, 0, 0)) << i;
        EXPECT_TRUE(log.lineStyle(i).bold) << i;
        EXPECT_TRUE(log.lineStyle(i).underline) << i;
    }
    // The style of an empty line is still readable.
    log.AddStatusLine("", StatusKind::Event);
    EXPECT_EQ(log.lineText(log.lineCount() - 1), "");
    EXPECT_EQ(log.lineStyle(log.lineCount() - 1).color, QColor(0, 128, 0));
}

TEST(StatusLog, KeepsTheNewest201Lines)
{
    StatusLog log;
    for (int i = 0; i < 200; ++i)
        log.AddStatusLine(QString::number(i), i % 2 ? StatusKind::Url : StatusKind::Phase);
    EXPECT_EQ(log.lineCount(), 200);
    log.AddStatusLine("200", StatusKind::Heading);
    EXPECT_EQ(log.lineCount(), 201);
    EXPECT_EQ(log.lineText(0), "0");

    log.AddStatusLine("201", StatusKind::Event);
    EXPECT_EQ(log.lineCount(), 201);
    EXPECT_EQ(log.lineText(0), "1");
    EXPECT_EQ(log.lineText(200), "201");

    for (int i = 202; i < 5000; ++i)
        log.AddStatusLine(QString::number(i), i % 2 ? StatusKind::Url : StatusKind::Phase);
    EXPECT_EQ(log.lineCount(), 201);
    EXPECT_EQ(log.document()->blockCount(), 201);
    EXPECT_EQ(log.lineText(0), "4799");
    EXPECT_EQ(log.lineText(200), "4999");
    // Trimming the top leaves the styles of the remaining lines alone.
    EXPECT_EQ(log.lineStyle(0).color, QColor(0, 0, 255));
    EXPECT_TRUE(log.lineStyle(1).bold);
    EXPECT_EQ(log.lineText(201), "");
    EXPECT_EQ(log.lineText(-1), "");
}

TEST(StatusLog, BreaksAndHugeTextStayWithinTheLineCaps)
{
    StatusLog log;
    log.AddStatusLine("HTTP/1.0 200 OK\r\nServer: x\nDate: y\r\n", StatusKind::Heading);
    ASSERT_EQ(log.lineCount(), 3);
    EXPECT_EQ(log.lineText(0), "HTTP/1.0 200 OK");
    EXPECT_EQ(log.lineText(2), "Date: y");
    EXPECT_TRUE(log.lineStyle(2).bold);

    QString many;
    for (int i = 0; i < 500; ++i)
        many += QStringLiteral("line %1\n").arg(i);
    log.AddStatusLine(many, StatusKind::Plain);
    EXPECT_EQ(log.lineCount(), 201);
    EXPECT_EQ(log.lineText(200), "line 499");

    const QString huge = QStringLiteral("x").repeated(StatusLog::MaxLineLength) + QStringLiteral("tail");
    log.AddStatusLine(huge, StatusKind::Plain);
    EXPECT_EQ(log.lineText(200), huge.left(StatusLog::MaxLineLength) + " ...");
    log.AddStatusLine(huge.left(StatusLog::MaxLineLength), StatusKind::Plain);
    EXPECT_EQ(log.lineText(200), huge.left(StatusLog::MaxLineLength));
}

TEST(StatusLog, ClearEmptiesAndTheNextLineIsTheFirst)
{
    StatusLog log;
    log.AddStatusLine("old", StatusKind::Heading);
    log.AddStatusLine("older", StatusKind::Heading);
    log.clear();
    EXPECT_EQ(log.lineCount(), 0);
    log.AddStatusLine("new", StatusKind::Plain);
    EXPECT_EQ(log.lineCount(), 1);
    EXPECT_EQ(log.lineText(0), "new");
    EXPECT_EQ(log.toPlainText(), "new");
    EXPECT_FALSE(log.lineStyle(0).bold);
}

TEST(StatusLog, ScrollsToTheNewLine)
{
    StatusLog log;
    log.resize(300, 120);
    log.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&log));
    for (int i = 0; i < 300; ++i)
        log.AddStatusLine(QString::number(i), StatusKind::Plain);
    QScrollBar *bar = log.verticalScrollBar();
    EXPECT_GT(bar->value(), 0);
    QTextCursor newest(log.document());
    newest.movePosition(QTextCursor::End);
    QTextCursor oldest(log.document());
    EXPECT_TRUE(log.viewport()->rect().contains(log.cursorRect(newest)));
    EXPECT_FALSE(log.viewport()->rect().intersects(log.cursorRect(oldest)));
}

// ---- Engine check list

class EngineCheckListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        list.resize(200, 200);
        list.setEngines({"Yahoo", "excite", "AltaVista", "Excite", "hotbot", "Lycos"});
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    QPoint glyphOf(int index) const
    {
        const QRect rect = list.visualItemRect(list.item(index));
        return {rect.left() + 10, rect.center().y()};
    }
    QPoint textOf(int index) const
    {
        const QRect rect = list.visualItemRect(list.item(index));
        return {rect.right() - 10, rect.center().y()};
    }
    QStringList texts() const
    {
        QStringList all;
        for (int i = 0; i < list.count(); ++i)
            all.append(list.text(i));
        return all;
    }

    EngineCheckList list;
};

TEST_F(EngineCheckListTest, SortsIgnoringCaseAndKeepsInsertionOrderForTies)
{
    EXPECT_EQ(list.objectName(), "SettingsSearchEnginesCheckList");
    EXPECT_EQ(texts(), QStringList({"AltaVista", "excite", "Excite", "hotbot", "Lycos", "Yahoo"}));
    EXPECT_EQ(list.addEngine("EXCITE"), 3);
    EXPECT_EQ(list.addEngine("aaa"), 0);
    EXPECT_EQ(list.indexOf("Excite"), 3);
    EXPECT_EQ(list.indexOf("EXCITE"), 4);
    EXPECT_EQ(list.indexOf("HotBot"), -1);
}

TEST_F(EngineCheckListTest, ProgramChangesSignalNothingAndReloadResetsEveryFlag)
{
    QSignalSpy changing(&list, &EngineCheckList::checkChanging);
    QSignalSpy changed(&list, &EngineCheckList::checkChanged);
    list.setChecked(0, true);
    list.setItemEnabled(1, false);
    list.setChecked(1, true);
    list.setSelectedIndex(2);
    EXPECT_TRUE(list.isChecked(0));
    EXPECT_TRUE(list.isChecked(1));
    EXPECT_FALSE(list.isItemEnabled(1));
    EXPECT_EQ(list.selectedIndex(), 2);

    list.setEngines({"Lycos", "AltaVista", "excite"});
    EXPECT_EQ(texts(), QStringList({"AltaVista", "excite", "Lycos"}));
    for (int i = 0; i < list.count(); ++i) {
        EXPECT_FALSE(list.isChecked(i)) << i;
        EXPECT_TRUE(list.isItemEnabled(i)) << i;
    }
    EXPECT_EQ(list.selectedIndex(), -1);
    EXPECT_EQ(changing.count(), 0);
    EXPECT_EQ(changed.count(), 0);

    // Indexes out of range read as empty and are ignored.
    list.setChecked(99, true);
    list.setItemEnabled(-1, false);
    EXPECT_FALSE(list.isChecked(99));
    EXPECT_FALSE(list.isItemEnabled(-1));
    EXPECT_EQ(list.text(3), "");
}

TEST_F(EngineCheckListTest, SpaceReleaseTogglesTheHighlightedItemAfterAnnouncingIt)
{
    QList<QString> events;
    QObject::connect(&list, &EngineCheckList::checkChanging,
                     [&](int i) { events.append(QStringLiteral("changing %1 %2").arg(i).arg(list.isChecked(i))); });
    QObject::connect(&list, &EngineCheckList::checkChanged,
                     [&](int i) { events.append(QStringLiteral("changed %1 %2").arg(i).arg(list.isChecked(i))); });

    QTest::keyClick(&list, Qt::Key_Space); // nothing highlighted
    EXPECT_TRUE(events.isEmpty());

    list.setSelectedIndex(4);
    QTest::keyPress(&list, Qt::Key_Space);
    EXPECT_TRUE(events.isEmpty()) << "the press alone toggles nothing";
    QTest::keyRelease(&list, Qt::Key_Space);
    QTest::keyClick(&list, Qt::Key_Space);
    EXPECT_EQ(events, QList<QString>({"changing 4 0", "changed 4 1", "changing 4 1", "changed 4 0"}));
    EXPECT_EQ(list.selectedIndex(), 4);

    events.clear();
    list.setItemEnabled(4, false);
    QTest::keyClick(&list, Qt::Key_Space);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_FALSE(list.isChecked(4));
}

TEST_F(EngineCheckListTest, MouseTogglesOnlyOnTheGlyphOfThePressedItem)
{
    QSignalSpy changed(&list, &EngineCheckList::checkChanged);
    QSignalSpy clicked(&list, &EngineCheckList::listClicked);
    QWidget *area = list.viewport();

    QTest::mouseClick(area, Qt::LeftButton, {}, glyphOf(2));
    EXPECT_EQ(list.selectedIndex(), 2);
    EXPECT_TRUE(list.isChecked(2));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(clicked.count(), 1);

    QTest::mouseClick(area, Qt::LeftButton, {}, textOf(3)); // highlights, does not toggle
    EXPECT_EQ(list.selectedIndex(), 3);
    EXPECT_FALSE(list.isChecked(3));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(clicked.count(), 2);

    QTest::mousePress(area, Qt::LeftButton, {}, glyphOf(3)); // pressed on one item, released on another
    QTest::mouseRelease(area, Qt::LeftButton, {}, glyphOf(0));
    EXPECT_EQ(changed.count(), 1);

    QTest::mouseClick(area, Qt::RightButton, {}, glyphOf(0));
    EXPECT_FALSE(list.isChecked(0));
    EXPECT_EQ(changed.count(), 1);

    const int highlighted = list.selectedIndex();
    QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(100, 190)); // below the last item
    EXPECT_EQ(clicked.count(), 4);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(list.selectedIndex(), highlighted);
    EXPECT_NE(highlighted, -1);
}

TEST_F(EngineCheckListTest, DisabledItemsCanBeHighlightedButNotToggled)
{
    QSignalSpy changing(&list, &EngineCheckList::checkChanging);
    list.setItemEnabled(2, false);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, glyphOf(2));
    EXPECT_EQ(list.selectedIndex(), 2);
    EXPECT_FALSE(list.isChecked(2));
    EXPECT_EQ(changing.count(), 0);

    // A program may still check a disabled item (Enable All does).
    list.setChecked(2, true);
    EXPECT_TRUE(list.isChecked(2));
}

TEST_F(EngineCheckListTest, DisabledItemsAreDrawnGreyed)
{
    list.setItemEnabled(1, false);
    list.setSelectedIndex(-1);
    const QImage image = list.viewport()->grab().toImage();
    // The darkest pixel of an item's text tells its colour.
    auto darkest = [&](int index) {
        const QRect rect = list.visualItemRect(list.item(index));
        int lowest = 255;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left() + 24; x <= rect.right(); ++x)
                lowest = std::min(lowest, qGray(image.pixel(x, y)));
        return lowest;
    };
    EXPECT_LT(darkest(0) + 60, darkest(1));
}

TEST_F(EngineCheckListTest, KeyboardMovesAnnounceAClickAndAReloadDuringChangingIsSafe)
{
    QSignalSpy clicked(&list, &EngineCheckList::listClicked);
    list.setSelectedIndex(0);
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.selectedIndex(), 1);
    EXPECT_EQ(clicked.count(), 1);

    QObject::connect(&list, &EngineCheckList::checkChanging, [&] { list.setEngines({"Other"}); });
    QTest::keyClick(&list, Qt::Key_Space);
    EXPECT_EQ(texts(), QStringList({"Other"}));
    EXPECT_FALSE(list.isChecked(0));
}

// ---- Timeout meter

QColor pixelAt(const QImage &image, double fx, double fy)
{
    return image.pixelColor(int(image.width() * fx), int(image.height() * fy));
}

bool hasRedPixel(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
                return true;
        }
    return false;
}

TEST(TimeoutMeter, DrawsItsFaceColourAndTheScaleAboveTheAlertMarkInRed)
{
    TimeoutMeter meter;
    meter.resize(120, 90);
    EXPECT_EQ(meter.objectName(), "SubmitTimeoutMeter");
    EXPECT_EQ(meter.faceColor(), QColor(0, 0, 255));
    meter.setMaximum(15);
    meter.setAlertMark(12);
    meter.setValue(3);

    // Just left of the dial's centre, above the needle's pivot: face.
    QImage image = meter.grab().toImage();
    EXPECT_EQ(pixelAt(image, 0.35, 0.45), QColor(0, 0, 255));
    EXPECT_TRUE(hasRedPixel(image));

    meter.setFaceColor(Qt::white);
    image = meter.grab().toImage();
    EXPECT_EQ(pixelAt(image, 0.35, 0.45), QColor(255, 255, 255));

    meter.setAlertMark(15);
    EXPECT_FALSE(hasRedPixel(meter.grab().toImage()));
}

TEST(TimeoutMeter, KeepsValuesAsGivenAndDrawsDegenerateScales)
{
    TimeoutMeter meter;
    meter.resize(80, 60);
    const struct
    {
        int maximum, alert, value;
    } cases[] = {{0, 0, 0}, {-5, 3, 2}, {10, 20, 30}, {10, -1, -4}, {1, 0, 1}};
    for (const auto &c : cases) {
        meter.setMaximum(c.maximum);
        meter.setAlertMark(c.alert);
        meter.setValue(c.value);
        EXPECT_FALSE(meter.grab().isNull());
        EXPECT_EQ(meter.maximum(), c.maximum);
        EXPECT_EQ(meter.alertMark(), c.alert);
        EXPECT_EQ(meter.value(), c.value);
    }
}

} // namespace
