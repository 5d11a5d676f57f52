// What a group of pages has loaded, from the engine's reports of loads: the
// documents that count for a privileged request after each sequence.
#include <gtest/gtest.h>

#include <QUrl>
#include <functional>

#include <random>

#include "DocumentGroupModel.h"
#include "engine/document_group.h"

namespace {

using engine::DocumentGroup;

const int kPage = 1;   // a page of the service
const int kPopup = 2;  // a window it opened (another member)
const int kThird = 3;  // a window the popup opened
const DocumentGroup::Member page = &kPage;
const DocumentGroup::Member popup = &kPopup;
const DocumentGroup::Member third = &kThird;

const QString kService = "https://chat.example.com/chat.html";
const QString kOther = "https://evil.test/x.html";

TEST(DocumentGroupTest, WhatCountsAfterEachSequence) {
    struct Case {
        const char* name;
        std::function<void(DocumentGroup&)> events;
        QStringList documents;
        QStringList insecure;
    };
    const Case cases[] = {
        {"a page that loaded nothing yet", [](DocumentGroup&) {}, {}, {}},
        {"the service's page, loaded",
         [](DocumentGroup& g) {
             g.Navigation(page, QUrl(kService), true);
             g.TopLoadEnded(page, true);
         },
         {kService},
         {}},
        {"a redirect counts, both hops",
         [](DocumentGroup& g) {
             g.Navigation(page, QUrl(kService), true);
             g.Navigation(page, QUrl(kOther), true);
             g.TopLoadEnded(page, true);
         },
         {kService, kOther},
         {}},
        {"while a top navigation is pending, old and new both count",
         [](DocumentGroup& g) {
             g.Navigation(page, QUrl(kOther), true);
             g.TopLoadEnded(page, true);
             g.Navigation(page, QUrl(kService), true);
         },
         {kOther, kService},
         {}},
        {"a new top document replaces the old one and its frames",
         [](DocumentGroup& g) {
             g.Navigation(page, QUrl(kService), true);
             g.TopLoadEnded(page, true);
             g.Navigation(page, QUrl(kOther), false);
             g.Navigation(page, QUrl(kService), true);
             g.TopLoadEnded(page, true);
         },
         {kService},
         {}},
        {"a stopped top navigation leaves the old document and its frames",
         [](DocumentGroup& g) {
             g.Navigation(page, QUrl(kService), true);
             g.TopLoadEnded(page, true);
             g.Navigation(page, QUrl(kOther), false);
             g.Navigation(page, QUrl(kService + "?2"), true);
             g.TopLoadEnded(page, false);
         },
         {kService, kOther, kService + "?2"},
         {}},
        {"a frame asked for while the top navigates counts for the new document",
         [](DocumentGroup& g) {
             g.Navigation(page, QUrl(kService), true);
             g.Navigation(page, QUrl(kOther), false);
             g.TopLoadEnded(page, true);
         },
         {kService, kOther},
         {}},
        {"frames made from their creator's text add nothing",
         [](DocumentGroup& g) {
             g.Navigation(page, QUrl(kService), true);
             g.TopLoadEnded(page, true);
             for (const char* a : {"about:blank", "about:srcdoc", "data:text/html,x",
                                   "blob:https://evil.test/1", "javascript:void(0)"})
                 g.Navigation(page, QUrl(a), false);
         },
         {kService},
         {}},
        {"what a window of the group loads counts for all, and stays after it closed",
         [](DocumentGroup& g) {
             g.Navigation(page, QUrl(kService), true);
             g.TopLoadEnded(page, true);
             g.Join(popup);
             g.Navigation(popup, QUrl(kOther), true);
             g.TopLoadEnded(popup, true);
             g.Leave(popup);
         },
         {kService, kOther},
         {}},
        {"a window joining inherits what the group loaded",
         [](DocumentGroup& g) {
             g.Navigation(page, QUrl(kOther), false);
             g.Join(popup);
             g.Leave(page);
         },
         {kOther},
         {}},
        {"a page that loads documents without end keeps a bounded ledger",
         [](DocumentGroup& g) {
             for (int i = 0; i < 1000; ++i)
                 g.Navigation(page, QUrl(kService + "?" + QString::number(i % 300)), false);
         },
         [] {
             QStringList first;
             for (int i = 0; i < 256; ++i)
                 first << kService + "?" + QString::number(i);
             return first << "about:too-many-documents";
         }(),
         {}},
        {"a script planted by a window that then closed outlives it",
         [](DocumentGroup& g) {
             g.Navigation(page, QUrl(kService), true);
             g.TopLoadEnded(page, true);
             g.Join(popup);
             g.Navigation(popup, QUrl(kOther), true);
             g.TopLoadEnded(popup, true);
             g.Navigation(page, QUrl(kService + "?2"), true);
             g.TopLoadEnded(page, true);
             g.Leave(popup);
         },
         {kService, kOther, kService + "?2"},
         {}},
        {"a load of one left alone starts clean of the windows gone before it",
         [](DocumentGroup& g) {
             g.Join(popup);
             g.Join(third);
             g.Navigation(third, QUrl(kOther), true);
             g.TopLoadEnded(third, true);
             g.Leave(third);
             g.Leave(popup);
             g.Navigation(page, QUrl(kService), true);
             g.TopLoadEnded(page, true);
         },
         {kService},
         {}},
        {"a certificate error marks the page, and later requests to that origin",
         [](DocumentGroup& g) {
             g.Navigation(page, QUrl("https://bad.test/a"), true);
             g.CertificateError(page, QUrl("https://bad.test/a"));
             g.TopLoadEnded(page, true);
             g.Navigation(page, QUrl(kService), true);
             g.TopLoadEnded(page, true);
             g.Request(page, QUrl("https://BAD.test:443/lib.js"));
             g.Request(page, QUrl("https://good.test/lib.js"));
         },
         {kService},
         {"https://bad.test:443/lib.js"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DocumentGroup group;
        group.Join(page);
        c.events(group);
        const CefDocumentRecord record = group.Record();
        EXPECT_EQ(record.documents, c.documents);
        EXPECT_EQ(record.insecure, c.insecure);
    }
}

// Random sequences of group events, the same for the ledger and the
// reference model; seeds fixed so that a failure comes back.
TEST(DocumentGroupTest, TheLedgerAgreesWithTheModelOnRandomSequences) {
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int sequence = 0; sequence < 400; ++sequence) {
        std::vector<std::uint8_t> events(90);
        for (auto& e : events)
            e = std::uint8_t(byte(random));
        const std::string failure = walk::RunWalk(events.data(), events.size());
        ASSERT_EQ(failure, "") << "sequence " << sequence;
    }
}

TEST(DocumentGroupTest, TheTopAddressIsTheLastLoadsNotTheHistorys) {
    DocumentGroup group;
    group.Join(page);
    group.Navigation(page, QUrl(kOther), true);
    EXPECT_EQ(group.TopAddress(page), QString());
    group.TopLoadEnded(page, true);
    EXPECT_EQ(group.TopAddress(page), kOther);
}

}  // namespace
