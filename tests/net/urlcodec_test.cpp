#include <gtest/gtest.h>

#include <QStringList>

#include "net/urlcodec.h"

namespace {

struct CodecCase
{
    const char *name;
    QByteArray input;
    QByteArray expected;
};

QByteArray encode(const QByteArray &input)
{
    TURLCodec codec;
    codec.setInputString(input);
    return codec.Encode();
}

struct DecodeOutcome
{
    QByteArray result;
    QStringList errors;
};

DecodeOutcome decode(const QByteArray &input)
{
    DecodeOutcome outcome;
    TURLCodec codec;
    codec.OnError = [&](TURLCodec *sender, const QString &operation, const QString &message) {
        EXPECT_EQ(sender, &codec);
        EXPECT_FALSE(message.isEmpty());
        outcome.errors << operation;
    };
    codec.setInputString(input);
    outcome.result = codec.Decode();
    return outcome;
}

TEST(FormEncoding, EncodesByteByByte)
{
    const CodecCase cases[] = {
        {"empty stays empty", "", ""},
        {"worked example", "a b/c.d", "a+b%2Fc%2Ed"},
        {"letters and digits kept", "azAZ09", "azAZ09"},
        {"percent sign escaped", "100%", "100%25"},
        {"tab as two hex digits", "\t", "%09"},
        {"high byte upper-case hex", "\xE9", "%E9"},
        {"unreserved marks are escaped too", "-_.~*", "%2D%5F%2E%7E%2A"},
        {"plus is escaped, blank becomes plus", "+ +", "%2B+%2B"},
        {"zero byte escaped", QByteArray("a\0b", 3), "a%00b"},
        {"form separators escaped", "a=1&b=2", "a%3D1%26b%3D2"},
    };
    for (const CodecCase &c : cases)
        EXPECT_EQ(encode(c.input), c.expected) << c.name;
}

TEST(FormEncoding, DecodesEscapesPlusAndPlainBytes)
{
    const CodecCase cases[] = {
        {"empty stays empty", "", ""},
        {"worked example, either hex case", "a+b%2fc%2Ed", "a b/c.d"},
        {"consecutive escapes", "%41%62", "Ab"},
        {"escaped plus stays a plus", "%2B", "+"},
        {"zero byte", "%00", QByteArray("\0", 1)},
        {"single hex digit at the very end", "x%4", "x\x04"},
        {"high bytes pass through", "\xE9+", "\xE9 "},
    };
    for (const CodecCase &c : cases) {
        const DecodeOutcome outcome = decode(c.input);
        EXPECT_EQ(outcome.result, c.expected) << c.name;
        EXPECT_TRUE(outcome.errors.isEmpty()) << c.name;
    }
}

TEST(FormEncoding, BadEscapeYieldsTheWholeInputAndReportsIt)
{
    const QByteArray inputs[] = {"50%", "%4g", "ab%zz", "%", "ok+%", "%%41"};
    for (const QByteArray &input : inputs) {
        const DecodeOutcome outcome = decode(input);
        EXPECT_EQ(outcome.result, input) << input.constData();
        EXPECT_EQ(outcome.errors, QStringList{QStringLiteral("Error during decode")}) << input.constData();
    }
}

TEST(FormEncoding, FailureWithoutHandlerStillYieldsInput)
{
    TURLCodec codec;
    codec.setInputString("50%");
    EXPECT_EQ(codec.Decode(), "50%");
    EXPECT_EQ(codec.InputString(), "50%");
}

TEST(FormEncoding, EveryByteSurvivesARoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    TURLCodec codec;
    codec.setInputString(all);
    const QByteArray encoded = codec.Encode();
    EXPECT_EQ(encoded.size(), 62 + 1 + 193 * 3); // kept, blank, escaped
    codec.setInputString(encoded);
    EXPECT_EQ(codec.Decode(), all);
}

TEST(FormEncoding, InputBeyond64KiBIsEncodedWhole)
{
    const QByteArray longInput(70000, 'a');
    EXPECT_EQ(encode(longInput + ' '), longInput + '+');
}

} // namespace
