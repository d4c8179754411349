#include "project/store/enginestate.h"
#include "project/store/urltable.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

namespace {

const QDateTime Monday = QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);

// What outlives a run survives the table being opened again, stays with its
// project and engine, and goes with the project.
TEST(EngineStateTest, KeepsWhatEnginesToldAcrossOpeningsAndForgetsADeletedProject)
{
    qctest::ScopedBaseDir base;
    {
        UrlTable table(base.path());
        EngineState state(table);
        state.setSitemaps(1, {QStringLiteral("https://a.example/sitemap.xml"), QStringLiteral("local.xml")});
        state.setAnswered(1, QStringLiteral("Google"), QStringLiteral("https://a.example/old"), Monday.addDays(-3));
        state.setAnswered(1, QStringLiteral("Google"), QStringLiteral("https://a.example/new"), Monday);
        state.setAnswered(2, QStringLiteral("Google"), QStringLiteral("https://b.example/"), Monday);
        state.addQuotaUse(QStringLiteral("Google"), QStringLiteral("sc-domain:a.example"), Monday.date(), 1500);
        state.addQuotaUse(QStringLiteral("Google"), QStringLiteral("sc-domain:a.example"), Monday.date(), 400);
        state.setNotBefore(QStringLiteral("Yep"), Monday.addSecs(3600));
    }
    UrlTable table(base.path());
    EngineState state(table);
    EXPECT_EQ(state.sitemaps(1), QStringList({"https://a.example/sitemap.xml", "local.xml"}));
    EXPECT_EQ(state.quotaUsed(QStringLiteral("Google"), QStringLiteral("sc-domain:a.example"), Monday.date()), 1900);
    EXPECT_EQ(
        state.quotaUsed(QStringLiteral("Google"), QStringLiteral("sc-domain:a.example"), Monday.date().addDays(1)), 0);
    EXPECT_EQ(state.quotaUsed(QStringLiteral("Bing"), QStringLiteral("sc-domain:a.example"), Monday.date()), 0);
    EXPECT_EQ(state.notBefore(QStringLiteral("Yep"), Monday), Monday.addSecs(3600));
    EXPECT_FALSE(state.notBefore(QStringLiteral("Yep"), Monday.addSecs(3600)).isValid()); // that time has come
    // Never answered first, in the order given; then the oldest answer.
    const QStringList urls = {"https://a.example/new", "https://a.example/never", "https://a.example/old",
                              "https://a.example/also-never"};
    EXPECT_EQ(state.longestUnasked(1, QStringLiteral("Google"), urls),
              QStringList({"https://a.example/never", "https://a.example/also-never", "https://a.example/old",
                           "https://a.example/new"}));
    EXPECT_TRUE(state.lastAnswers(1, QStringLiteral("Bing")).isEmpty());

    table.replaceProjectUrls(1, {QStringLiteral("https://a.example/")});
    EXPECT_TRUE(state.sitemaps(1).isEmpty()) << "a URL list replaces the sitemaps the URLs came from";
    table.deleteProject(2);
    EXPECT_TRUE(state.lastAnswers(2, QStringLiteral("Google")).isEmpty());
    EXPECT_EQ(state.lastAnswers(1, QStringLiteral("Google")).size(), 2);
}

} // namespace
