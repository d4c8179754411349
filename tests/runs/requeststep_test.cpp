// One request of a run: classification of the answer, and the step's handling
// of the HTTP client's events against hand-written answers.

#include "net/httpclient.h"
#include "runs/requeststep.h"
#include "runs/runcontrol.h"
#include "support/loopbackpeer.h"
#include "support/runs/recordingobserver.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(ClassifyAnswer, TheStatusLineAndLocationDecide)
{
    const struct
    {
        const char *behaviour;
        QByteArray statusLine;
        QByteArray location;
        Outcome outcome;
        QString reason;
    } cases[] = {
        {"200", "HTTP/1.0 200 OK", "", Outcome::Accepted, ""},
        {"204 without a reason phrase", "HTTP/1.1 204", "", Outcome::Accepted, ""},
        {"302 with Location", "HTTP/1.1 302 Found", "/thanks", Outcome::Redirected, ""},
        {"302 without Location", "HTTP/1.1 302 Found", "", Outcome::Failed, "HTTP/1.1 302 Found"},
        {"404 with Location", "HTTP/1.0 404 Not Found", "/x", Outcome::Failed, "HTTP/1.0 404 Not Found"},
        {"500", "HTTP/1.0 500 Internal Server Error", "", Outcome::Failed, "HTTP/1.0 500 Internal Server Error"},
        {"100", "HTTP/1.1 100 Continue", "", Outcome::Failed, "HTTP/1.1 100 Continue"},
        {"nothing", "", "", Outcome::Failed, "no answer: the connection closed before a status line"},
        {"short code", "HTTP/1.0 2", "", Outcome::Failed, "malformed status line: HTTP/1.0 2"},
        {"four-digit code", "HTTP/1.0 2000 OK", "", Outcome::Failed, "malformed status line: HTTP/1.0 2000 OK"},
        {"letter in version", "HTTP/x.0 200", "", Outcome::Failed, "malformed status line: HTTP/x.0 200"},
        {"other protocol", "ICY 200 OK", "", Outcome::Failed, "malformed status line: ICY 200 OK"},
        {"control character", "HTTP/1.0 500 Bad\x01", "", Outcome::Failed, "HTTP/1.0 500 Bad\uFFFD"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        const RequestResult result = classifyAnswer(c.statusLine, c.location);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_EQ(result.location, c.outcome == Outcome::Redirected ? QString::fromUtf8(c.location) : QString());
    }
}

class RequestStepTest : public ::testing::Test
{
protected:
    void SetUp() override { http.setSocketLayerLoaded(true); }

    // One GET to the peer through a step of its own.
    RequestResult get(qctest::LoopbackPeer &peer, bool debug, const QString &localFile = QString())
    {
        RequestStep step(http, control, observer, debug);
        RequestStep::Request request;
        request.post = false;
        request.url = peer.url("/page");
        request.localFile = localFile;
        request.timeoutSeconds = 5;
        const RequestResult result = step.send(request);
        lastHeaderField = step.lastHeaderField();
        lastHeaderValue = step.lastHeaderValue();
        return result;
    }

    QTemporaryDir dir;
    THTTPClient http;
    RunControl control{http};
    qctest::RecordingObserver observer;
    QString lastHeaderField;
    QString lastHeaderValue;
};

const QByteArray Body = QByteArray(3000, 'b');
const QByteArray ThreeHeaders = "HTTP/1.0 200 OK\r\nLocation: http://elsewhere.example/\r\nContent-Type: text/html\r\n"
                                "X-Last: yes\r\n\r\n";

TEST_F(RequestStepTest, DebugModeShowsHeadersThenBodyChunks)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send(ThreeHeaders + Body).closeConnection();
    ASSERT_TRUE(peer.start());
    EXPECT_EQ(get(peer, true).outcome, Outcome::Accepted) << "a Location beside 200 is no redirection";
    const QStringList pieces = observer.answerPieces;
    ASSERT_GE(pieces.size(), 7);
    EXPECT_EQ(pieces.mid(0, 6),
              QStringList({"Field: Location", "Value: http://elsewhere.example/", "Field: Content-Type",
                           "Value: text/html", "Field: X-Last", "Value: yes"}));
    EXPECT_EQ(pieces.mid(6).join(QString()), QString::fromLatin1(Body));
    EXPECT_EQ(lastHeaderField, "X-Last");
    EXPECT_EQ(lastHeaderValue, "yes");
    EXPECT_EQ(observer.texts(StatusKind::Event),
              QStringList({"Connected", "Starting transfer", "Transfer complete", "Disconnected"}));
}

TEST_F(RequestStepTest, WithoutDebugModeOnlyTheProgressMoves)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send(ThreeHeaders + Body).closeConnection();
    ASSERT_TRUE(peer.start());
    EXPECT_EQ(get(peer, false).outcome, Outcome::Accepted);
    EXPECT_TRUE(observer.answerPieces.isEmpty());
    EXPECT_TRUE(observer.lines.isEmpty());
    EXPECT_EQ(observer.lastRequestProgress, 100);
}

TEST_F(RequestStepTest, ASavedAnswerStopsGrowingAtTheLimit)
{
    qctest::LoopbackPeer peer;
    peer.readRequest()
        .send("HTTP/1.0 200 OK\r\n\r\n" + QByteArray(RequestStep::AnswerFileLimit + 1000, 'x'))
        .closeConnection();
    ASSERT_TRUE(peer.start());
    const QString file = dir.filePath(QStringLiteral("PR_0.htm"));
    const RequestResult result = get(peer, false, file);
    EXPECT_EQ(result.outcome, Outcome::Accepted);
    EXPECT_TRUE(result.answerCut);
    EXPECT_EQ(QFileInfo(file).size(), RequestStep::AnswerFileLimit);
}

TEST_F(RequestStepTest, AnErrorEventBecomesAFailureLine)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send("HTTP/1.0 200 OK\r\n\r\nbody").closeConnection();
    ASSERT_TRUE(peer.start());
    get(peer, false, dir.path()); // a directory cannot be the answer's file
    ASSERT_EQ(observer.texts(StatusKind::Failure), QStringList({"Can't open local file for writing."}));
}

TEST_F(RequestStepTest, AnswersAreClassifiedAndSavedAsTheyArrive)
{
    const struct
    {
        const char *behaviour;
        QByteArray answer; // sent after the request, then the connection closes
        bool reset;
        Outcome outcome;
        QString reason; // a prefix of the reason
        QString location;
        bool saved;
    } cases[] = {
        {"server error with a page", "HTTP/1.0 503 Busy\r\n\r\nlater", false, Outcome::Failed, "HTTP/1.0 503 Busy", "",
         true},
        {"closed at once", "", false, Outcome::Failed, "no answer: the connection closed before a status line", "",
         false},
        {"malformed", "HTTP/1.0 2OO OK\r\n\r\nx", false, Outcome::Failed, "malformed status line: HTTP/1.0 2OO OK", "",
         true},
        {"redirection without a page", "HTTP/1.0 301 Moved\r\nLocation: /new\r\n\r\n", false, Outcome::Redirected, "",
         "/new", false},
        {"reset inside the body", "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nhalf", true, Outcome::Failed,
         "answer cut off (", "", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        qctest::LoopbackPeer peer;
        peer.readRequest().send(c.answer);
        if (c.reset)
            peer.resetConnection();
        else
            peer.closeConnection();
        ASSERT_TRUE(peer.start());
        const QString file = dir.filePath(QStringLiteral("PR_0.htm"));
        QFile::remove(file);
        const RequestResult result = get(peer, false, file);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.reason.left(c.reason.size()), c.reason);
        EXPECT_EQ(result.reason.isEmpty(), c.reason.isEmpty()) << result.reason.toStdString();
        EXPECT_EQ(result.location, c.location);
        EXPECT_EQ(result.answerFile, c.saved ? QStringLiteral("PR_0.htm") : QString());
    }
}

TEST_F(RequestStepTest, AnInterruptionEndsTheRequestAsWhatItWas)
{
    const struct
    {
        const char *behaviour;
        void (RunControl::*press)(); // before the request, or none
        Outcome outcome;
    } cases[] = {
        {"the timeout passes", nullptr, Outcome::TimedOut},
        {"Skip URL is no stop", &RunControl::skipUrl, Outcome::SkippedUrl},
        {"Skip Engine", &RunControl::skipEngine, Outcome::SkippedEngine},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        control.reset();
        if (c.press)
            (control.*c.press)();
        qctest::LoopbackPeer peer;
        peer.readRequest().send("HTTP/1.0 200 OK\r\n\r\npart").holdOpen();
        ASSERT_TRUE(peer.start());
        RequestStep step(http, control, observer, false);
        RequestStep::Request request;
        request.url = peer.url("/page");
        request.timeoutSeconds = 1;
        const RequestResult result = step.send(request);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.reason, QString());
        EXPECT_EQ(result.statusLine, "HTTP/1.0 200 OK");
    }
}

TEST_F(RequestStepTest, DebugModeShowsAtMostTheLimitOfOneAnswer)
{
    qctest::LoopbackPeer peer;
    peer.readRequest()
        .send("HTTP/1.0 200 OK\r\n\r\n" + QByteArray(3 * RunObserver::answerShownLimit, 'x'))
        .closeConnection();
    ASSERT_TRUE(peer.start());
    EXPECT_EQ(get(peer, true).outcome, Outcome::Accepted);
    qsizetype shown = 0;
    for (const QString &piece : observer.answerPieces)
        shown += piece.size();
    EXPECT_GT(shown, 0);
    EXPECT_LE(shown, RunObserver::answerShownLimit);
}

} // namespace
