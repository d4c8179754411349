#include "runs/answermatcher.h"

#include <QList>
#include <gtest/gtest.h>

namespace {

TEST(AnswerMatcher, FindsTheTextHoweverTheAnswerIsCut)
{
    const struct
    {
        const char *behaviour;
        QByteArray text;
        QList<QByteArray> pieces;
        bool found;
    } cases[] = {
        {"in one piece", "no match", {"<p>Sorry, no match here</p>"}, true},
        {"split across two pieces", "no match", {"Sorry, no ma", "tch here"}, true},
        {"split after its first byte", "no match", {"xxn", "o matchxx"}, true},
        {"pieces of one byte", "no match", {"n", "o", " ", "m", "a", "t", "c", "h"}, true},
        {"spread over three pieces", "no match", {"..no", " ma", "tch.."}, true},
        {"after long pieces without it", "no match", {QByteArray(5000, 'a'), QByteArray(5000, 'b'), "no match"}, true},
        {"an empty piece between its halves", "no match", {"no m", "", "atch"}, true},
        {"a near miss across pieces", "no match", {"no ma", "xch no mat", "ch"}, true},
        {"never complete", "no match", {"no ma", "tc", "x"}, false},
        {"a restart inside a partial match", "aab", {"a", "a", "ab"}, true},
        {"an empty text is never found", "", {"anything", ""}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        AnswerMatcher matcher(c.text);
        for (const QByteArray &piece : c.pieces)
            matcher.feed(piece.constData(), piece.size());
        EXPECT_EQ(matcher.found(), c.found);
    }
}

TEST(AnswerMatcher, ResetForgetsTheLastAnswer)
{
    AnswerMatcher matcher("no match");
    matcher.feed("no ma", 5);
    matcher.reset("other");
    matcher.feed("tch", 3);
    EXPECT_FALSE(matcher.found());
    matcher.feed("other", 5);
    EXPECT_TRUE(matcher.found());
    matcher.reset("x");
    EXPECT_FALSE(matcher.found());
}

} // namespace
