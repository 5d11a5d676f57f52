// How the end of a page's load reaches the client, for each kind of end the
// engine reports.
#include <gtest/gtest.h>

#include "engine/load_events.h"

namespace {

using engine::LoadEnd;
using engine::LoadEndOf;
using Info = QWebEngineLoadingInfo;

TEST(LoadEventsTest, EachEndOfALoad) {
    struct Case {
        const char* name;
        Info::LoadStatus status;
        Info::ErrorDomain domain;
        int code;
        LoadEnd expected;
    };
    const Case cases[] = {
        {"a page",
         Info::LoadSucceededStatus,
         Info::HttpStatusCodeDomain,
         200,
         {false, 200, "", true}},
        {"a 404 page, which the engine calls failed",
         Info::LoadFailedStatus,
         Info::HttpStatusCodeDomain,
         404,
         {false, 404, "", true}},
        {"a 500 page",
         Info::LoadFailedStatus,
         Info::HttpStatusCodeDomain,
         500,
         {false, 500, "", true}},
        {"a data page, without a status",
         Info::LoadSucceededStatus,
         Info::NoErrorDomain,
         0,
         {false, 200, "", true}},
        {"a stopped load",
         Info::LoadStoppedStatus,
         Info::InternalErrorDomain,
         -3,
         {true, -3, "ERR_ABORTED", false}},
        {"a refused connection",
         Info::LoadFailedStatus,
         Info::ConnectionErrorDomain,
         -102,
         {true, -102, "text", false}},
        {"a failure without a code",
         Info::LoadFailedStatus,
         Info::InternalErrorDomain,
         0,
         {true, -2, "text", false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LoadEnd end = LoadEndOf(c.status, c.domain, c.code, QStringLiteral("text"));
        EXPECT_EQ(end.error, c.expected.error);
        EXPECT_EQ(end.code, c.expected.code);
        EXPECT_EQ(end.text, c.expected.text);
        EXPECT_EQ(end.replaced, c.expected.replaced);
    }
}

}  // namespace
