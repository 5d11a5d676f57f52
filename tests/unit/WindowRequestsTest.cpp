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
            int id;
            bool popup, foreign;
            std::shared_ptr<bool> alive;
        };
        std::vector<Made> made;
        int perTurn = 0, lines = 0;
        WindowRequests requests(
            [&](Kind kind, CPacket& p, LPARAM) {
                ++perTurn;
                made.push_back({p.GetInt("ID", -1), kind == Kind::Popup, p.Contains("<F>"),
                                std::make_shared<bool>(true)});
                return made.back().alive;
            },
            [] {}, [&](const QString&) { ++lines; });
        // The model: what waits per kind (chats 0, popups 1), what was said.
        std::deque<int> waiting[2];
        int foreignWaiting = 0, said = 0;
        bool saidPopups = false, saidForeign = false;
        // Open windows that are popups (or foreign ones).
        auto open = [&](bool popups) {
            return int(std::count_if(made.begin(), made.end(), [&](const Made& m) {
                return *m.alive && (popups ? m.popup : m.foreign);
            }));
        };
        // What was made since `from` leaves the model's queue: the oldest of its kind.
        auto take = [&](std::size_t from) {
            for (std::size_t i = from; i < made.size(); ++i) {
                auto& q = waiting[made[i].popup];
                if (q.empty() || q.front() != made[i].id)
                    return ::testing::AssertionFailure() << "not in the order asked";
                q.pop_front();
                foreignWaiting -= made[i].foreign;
            }
            return ::testing::AssertionSuccess();
        };
        for (int id = 0; id < 400; ++id) {
            // A third of the runs never close a window: the popups' queue fills.
            const int event = std::uniform_int_distribution<int>(0, run % 3 ? 9 : 6)(random);
            const std::size_t before = made.size();
            if (event < 6) {
                const bool popup = event < 4, foreign = event % 2 == 1;
                const int foreignNow = open(false) + foreignWaiting;
                auto& queue = waiting[popup];
                saidForeign = saidForeign && foreignNow > 0;
                saidPopups = saidPopups && !waiting[1].empty();
                if (foreign && foreignNow >= int(WindowRequests::kForeignWindows)) {
                    said += !std::exchange(saidForeign, true);
                } else if (popup && queue.size() >= WindowRequests::kPopupsWaiting) {
                    said += !std::exchange(saidPopups, true);
                } else {
                    queue.push_back(id);
                    foreignWaiting += foreign;
                }
                CPacket packet(QStringLiteral("<PKT><ID>%1</ID>%2</PKT>")
                                   .arg(id)
                                   .arg(foreign ? "<F></F>" : ""));
                requests.Ask(popup ? Kind::Popup : Kind::Chat, packet, 0, foreign, "x");
            } else if (event < 8) {
                perTurn = 0;
                requests.Turn();
            } else if (!made.empty()) {
                *made[std::uniform_int_distribution<std::size_t>(0, made.size() - 1)(random)]
                     .alive = false;
            }
            ASSERT_TRUE(take(before));
            ASSERT_LE(perTurn, 1) << "one request per turn";
            ASSERT_LE(open(true), int(WindowRequests::kPopupsShown));
            ASSERT_LE(open(false) + foreignWaiting, int(WindowRequests::kForeignWindows));
            ASSERT_EQ(requests.WaitingPopups() + requests.WaitingChats(),
                      waiting[0].size() + waiting[1].size());
            ASSERT_EQ(lines, said) << "each bound said once per burst";
        }
        // Once every window has closed, turns carry out everything accepted.
        for (int turn = 0; turn < 1000 && (!waiting[0].empty() || !waiting[1].empty()); ++turn) {
            for (Made& m : made)
                *m.alive = false;
            const std::size_t before = made.size();
            requests.Turn();
            ASSERT_TRUE(take(before));
        }
        ASSERT_TRUE(waiting[0].empty() && waiting[1].empty()) << "run " << run;
    }
}

}  // namespace
