#include "runs/ui/gauge.h"
#include "runs/ui/paintthrottle.h"
#include "runs/ui/statuslog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>
#include <QWidget>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Pumps events until done() holds or a generous bound runs out.
template <typename Condition> bool waitFor(Condition done)
{
    const QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Lines of every kind, a few with breaks in them, enough to trim the log many times over.
void addMixedLines(StatusLog &log, int count)
{
    for (int i = 0; i < count; ++i) {
        const int kind = i % 9; // 2, 7 and 8 keep the previous style
        if (i % 37 == 0)
            log.AddStatusLine(QStringLiteral("head %1\r\nbody %1\n").arg(i), StatusKind(kind));
        else
            log.AddStatusLine(QStringLiteral("line %1").arg(i), StatusKind(kind));
    }
}

void expectSameLines(const StatusLog &gathered, const StatusLog &direct)
{
    ASSERT_EQ(gathered.lineCount(), direct.lineCount());
    for (int i = 0; i < direct.lineCount(); ++i) {
        EXPECT_EQ(gathered.lineText(i), direct.lineText(i)) << "line " << i;
        const StatusLog::LineStyle a = gathered.lineStyle(i);
        const StatusLog::LineStyle b = direct.lineStyle(i);
        EXPECT_EQ(a.color, b.color) << "line " << i;
        EXPECT_EQ(a.bold, b.bold) << "line " << i;
        EXPECT_EQ(a.underline, b.underline) << "line " << i;
    }
}

TEST(StatusLogGathering, GatheredLinesEndUpAsIfAddedOneByOne)
{
    for (const int count : {1, 150, 201, 202, 450, 1000}) {
        SCOPED_TRACE(count);
        StatusLog direct;
        addMixedLines(direct, count);

        StatusLog gathered;
        gathered.setGathering(true);
        addMixedLines(gathered, count);
        gathered.setGathering(false);

        expectSameLines(gathered, direct);
        EXPECT_EQ(gathered.document()->blockCount(), direct.document()->blockCount());
    }
}

TEST(StatusLogGathering, LinesStayOutOfTheViewUntilReadOrDue)
{
    StatusLog log;
    log.AddStatusLine(QStringLiteral("before"), StatusKind::Phase);
    log.setGathering(true);
    for (int i = 0; i < 300; ++i)
        log.AddStatusLine(QStringLiteral("gathered %1").arg(i), StatusKind::Url);
    EXPECT_EQ(log.document()->blockCount(), 1);
    EXPECT_EQ(log.lineCount(), StatusLog::KeptLines + 1);

    // Reading a line puts everything gathered in first.
    EXPECT_EQ(log.lineText(StatusLog::KeptLines), QStringLiteral("gathered 299"));
    EXPECT_EQ(log.lineText(0), QStringLiteral("gathered 99"));
    EXPECT_EQ(log.document()->blockCount(), StatusLog::KeptLines + 1);

    // Without a reader the lines still arrive once the event loop runs.
    log.AddStatusLine(QStringLiteral("late"), StatusKind::Heading);
    EXPECT_TRUE(waitFor([&] { return log.document()->lastBlock().text() == QStringLiteral("late"); }));
    EXPECT_TRUE(log.gathering());
}

TEST(StatusLogGathering, ClearDropsGatheredLines)
{
    StatusLog log;
    log.setGathering(true);
    log.AddStatusLine(QStringLiteral("old run"), StatusKind::Plain);
    log.clear();
    log.AddStatusLine(QStringLiteral("new run"), StatusKind::Event);
    log.setGathering(false);
    ASSERT_EQ(log.lineCount(), 1);
    EXPECT_EQ(log.lineText(0), QStringLiteral("new run"));
    EXPECT_EQ(log.lineStyle(0).color, QColor(0, 128, 0));
    EXPECT_EQ(log.document()->blockCount(), 1);
}

// A widget that counts its paints.
class PaintCounter : public QWidget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

class PaintThrottleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(200, 100);
        child = new PaintCounter;
        child->setParent(&window);
        child->setGeometry(0, 0, 100, 50);
        window.show();
        ASSERT_TRUE(waitFor([&] { return child->paints > 0; }));
        // Whatever showing the window still had queued is painted before counting.
        QCoreApplication::processEvents();
        child->paints = 0;
    }

    QWidget window;
    PaintCounter *child = nullptr;
};

TEST_F(PaintThrottleTest, WithinTheIntervalChangesGatherIntoOnePaintAfterRelease)
{
    constexpr int hour = 3600 * 1000;
    PaintThrottle throttle(&window, hour);
    throttle.engage();
    child->repaint(); // the first paint is never held
    EXPECT_EQ(child->paints, 1);
    for (int i = 0; i < 50; ++i) {
        child->repaint();
        child->update();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(child->paints, 1);
    EXPECT_GT(throttle.heldBack(), 0);

    throttle.release();
    EXPECT_TRUE(waitFor([&] { return child->paints == 2; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(child->paints, 2);

    // Released, every repaint paints again.
    child->repaint();
    child->repaint();
    EXPECT_EQ(child->paints, 4);
}

TEST_F(PaintThrottleTest, AHeldPaintArrivesByItselfOnceTheIntervalIsOver)
{
    PaintThrottle throttle(&window, 50);
    throttle.engage();
    // Repaints in a tight loop: right after one that paints, the next is held.
    for (int i = 0; i < 1000 && throttle.heldBack() == 0; ++i)
        child->repaint();
    ASSERT_GT(throttle.heldBack(), 0);
    const int before = child->paints;
    EXPECT_TRUE(waitFor([&] { return child->paints > before; }));
    throttle.release();
}

// Counts the paints a widget receives.
class PaintWatch : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(PaintThrottleTest, AGaugeValueIsCurrentAtOnceWhileItsPaintWaitsForTheThrottle)
{
    auto *gauge = new Gauge(&window);
    gauge->setGeometry(0, 50, 200, 50);
    gauge->setRange(0, 100);
    gauge->show();
    PaintWatch watch;
    gauge->installEventFilter(&watch);
    gauge->update();
    ASSERT_TRUE(waitFor([&] { return watch.paints > 0; }));
    QSignalSpy changed(gauge, &Gauge::valueChanged);
    constexpr int hour = 3600 * 1000;
    PaintThrottle throttle(&window, hour);
    throttle.engage();
    child->repaint(); // uses up the one paint the interval allows
    QCoreApplication::processEvents();
    watch.paints = 0;

    for (const int value : {17, 34, 34, 100, 0}) {
        gauge->setValue(value);
        EXPECT_EQ(gauge->value(), value);
    }
    EXPECT_EQ(changed.count(), 4); // the repeated 34 is no change
    EXPECT_EQ(watch.paints, 0);

    throttle.release();
    EXPECT_TRUE(waitFor([&] { return watch.paints > 0; }));
    gauge->removeEventFilter(&watch);
}

// A gauge counts like a progress bar and asks for a paint only when what it
// shows changes, so thousands of steps of a long run cost no paint each.
TEST_F(PaintThrottleTest, AGaugeCountsLikeAProgressBarAndPaintsOnlyVisibleChanges)
{
    auto *gauge = new Gauge(&window);
    EXPECT_EQ(gauge->value(), -1);
    EXPECT_EQ(gauge->text(), "");
    gauge->setGeometry(0, 50, 100, 30);
    gauge->setRange(0, 3000);
    gauge->show();
    PaintWatch watch;
    gauge->installEventFilter(&watch);
    ASSERT_TRUE(waitFor([&] { return watch.paints > 0; }));

    watch.paints = 0;
    gauge->setValue(0);
    EXPECT_EQ(gauge->text(), "0%");
    ASSERT_TRUE(waitFor([&] { return watch.paints > 0; })); // from empty to 0%
    watch.paints = 0;
    for (int value = 1; value < 30; ++value) // under one percent and one pixel
        gauge->setValue(value);
    QCoreApplication::processEvents();
    EXPECT_EQ(watch.paints, 0);
    gauge->setValue(30);
    EXPECT_EQ(gauge->text(), "1%");
    EXPECT_TRUE(waitFor([&] { return watch.paints > 0; }));

    // Out of range is ignored; a range that leaves the value out empties the gauge.
    gauge->setValue(3001);
    gauge->setValue(-2);
    EXPECT_EQ(gauge->value(), 30);
    gauge->setRange(0, 10);
    EXPECT_EQ(gauge->value(), -1);
    EXPECT_EQ(gauge->text(), "");
    gauge->setRange(5, 5);
    gauge->setValue(5);
    EXPECT_EQ(gauge->text(), "100%");
    gauge->setRange(7, 3);
    EXPECT_EQ(gauge->maximum(), 7);
    gauge->removeEventFilter(&watch);
}

} // namespace
