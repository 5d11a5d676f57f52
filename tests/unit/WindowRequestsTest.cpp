// The windows pages ask for, against a small model over random sequences of
// requests, turns and closes: no bound is ever passed, each kind is carried
// out in the order it came, one request per turn, nothing accepted is lost,
// and each bound is said once per burst.
#include <gtest/gtest.h>

#include <deque>
#include <random>

#include "mainframe/WindowRequests.h"

namespace {

using Kind = WindowRequests::Kind;

TEST(WindowRequestsTest, BoundsOrderAndPaceHoldOverRandomSequences) {
    std::mt19937 random(20261210);
    for (int run = 0; run < 300; ++run) {
        struct Made {
            Kind kind;
            int id;
            bool foreign;
            std::shared_ptr<bool> alive;
        };
        std::vector<Made> made;
        int turnsAsked = 0, madeThisTurn = 0;
        QStringList said;
        WindowRequests requests(
            [&](Kind kind, CPacket& packet, LPARAM) {
                ++madeThisTurn;
                made.push_back({kind, packet.GetInt("ID", -1), packet.Contains("<F>"),
                                std::make_shared<bool>(true)});
                return made.back().alive;
            },
            [&] { ++turnsAsked; }, [&](const QString& line) { said << line; });

        // The model: what waits, per kind, and what is open.
        std::deque<int> waiting[2];
        int nextId = 0, foreignWaiting = 0, lines = 0;
        bool saidPopups = false, saidForeign = false;
        auto open = [&](auto pick) {
            int n = 0;
            for (const Made& m : made)
                n += *m.alive && pick(m);
            return n;
        };
        // What was made since `before` leaves the model's queues, each the
        // oldest of its kind.
        auto takeMade = [&](std::size_t before) {
            for (std::size_t i = before; i < made.size(); ++i) {
                auto& q = waiting[made[i].kind == Kind::Popup];
                if (q.empty() || made[i].id != q.front())
                    return ::testing::AssertionFailure() << "not carried out in the order asked";
                q.pop_front();
                foreignWaiting -= made[i].foreign;
            }
            return ::testing::AssertionSuccess();
        };
        for (int step = 0; step < 400; ++step) {
            const int event = std::uniform_int_distribution<int>(0, 9)(random);
            if (event < 6) {
                const Kind kind = event < 4 ? Kind::Popup : Kind::Chat;
                const bool foreign = event % 2 == 1;
                const int id = nextId++;
                const int foreignNow =
                    open([](const Made& m) { return m.foreign; }) + foreignWaiting;
                auto& queue = waiting[kind == Kind::Popup];
                bool refused = false;
                if (foreign && foreignNow >= int(WindowRequests::kForeignWindows)) {
                    refused = true;
                    lines += !saidForeign;
                    saidForeign = true;
                } else if (kind == Kind::Popup && queue.size() >= WindowRequests::kPopupsWaiting) {
                    refused = true;
                    lines += !saidPopups;
                    saidPopups = true;
                }
                if (foreign && foreignNow == 0)
                    saidForeign = false;
                if (kind == Kind::Popup && queue.empty())
                    saidPopups = false;
                const std::size_t before = made.size();
                CPacket packet(QStringLiteral("<PKT><ID>%1</ID>%2</PKT>")
                                   .arg(id)
                                   .arg(foreign ? "<F></F>" : ""));
                requests.Ask(kind, packet, 0, foreign, "http://evil.test");
                if (!refused) {
                    queue.push_back(id);
                    foreignWaiting += foreign;
                }
                ASSERT_TRUE(takeMade(before));
            } else if (event < 8 && turnsAsked > 0) {
                madeThisTurn = 0;
                const std::size_t before = made.size();
                requests.Turn();
                ASSERT_TRUE(takeMade(before));
            } else if (!made.empty()) {
                auto& m =
                    made[std::uniform_int_distribution<std::size_t>(0, made.size() - 1)(random)];
                *m.alive = false;
            }
            ASSERT_LE(madeThisTurn, 1) << "one request per turn";
            ASSERT_LE(open([](const Made& m) { return m.kind == Kind::Popup; }),
                      int(WindowRequests::kPopupsShown));
            ASSERT_LE(open([](const Made& m) { return m.foreign; }) + foreignWaiting,
                      int(WindowRequests::kForeignWindows));
            ASSERT_EQ(requests.WaitingPopups(), waiting[1].size());
            ASSERT_EQ(requests.WaitingChats(), waiting[0].size());
            ASSERT_EQ(said.size(), lines) << said.join('\n').toStdString();
        }
        // Once every window closes, turns carry out everything accepted.
        for (int turn = 0; turn < 1000 && (!waiting[0].empty() || !waiting[1].empty()); ++turn) {
            for (Made& m : made)
                *m.alive = false;
            const std::size_t before = made.size();
            requests.Turn();
            ASSERT_TRUE(takeMade(before));
        }
        ASSERT_TRUE(waiting[0].empty() && waiting[1].empty()) << "run " << run;
    }
}

}  // namespace
