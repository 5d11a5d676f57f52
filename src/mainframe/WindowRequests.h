// The windows that pages ask the main frame for (alarm popups and chat
// windows), made at a pace and in numbers a user can live with, whatever a
// page sends:
// - one request is carried out per turn, a turn being kPaceMs; a burst
//   waits for later turns, in the order it came. Each window's page load
//   keeps the user-interface thread busy with the engine's work for tens of
//   milliseconds after the window is made, so windows made faster than that
//   would queue every other page's messages behind theirs;
// - at most kPopupsShown popups are open at once; later ones wait, in
//   order, and appear as earlier ones close; at most kPopupsWaiting wait;
// - pages that are not the service's have at most kForeignWindows windows of
//   their asking, open or waiting, all such pages together.
// A request past a bound is refused and said with one line on standard
// error, once per burst: that bound is said again only after its burst is
// over (no popup waiting; no foreign window left).
//
// Threading: user-interface thread.
#pragma once

#include <QString>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "framework/afxtypes.h"
#include "packet/Packet.h"

class WindowRequests {
public:
    static constexpr std::size_t kPopupsShown = 10;
    static constexpr std::size_t kPopupsWaiting = 100;
    static constexpr std::size_t kForeignWindows = 4;
    static constexpr unsigned kPaceMs = 100;

    enum class Kind { Popup, Chat };

    // Carries a request out. Returns the made window's life token (true
    // while it lives), or null when no window was made (a chat request that
    // placed an existing window, a failed creation).
    using Make = std::function<std::shared_ptr<bool>(Kind, CPacket&, LPARAM sender)>;
    // Asks for Turn() to be called kPaceMs from now (a call while one is
    // asked for changes nothing).
    using Later = std::function<void()>;
    // Writes one line to standard error.
    using Say = std::function<void(const QString&)>;

    WindowRequests(Make make, Later later, Say say);

    // A page's request. `foreign` is whether its sender is outside the
    // service; `origin` names that sender for the refusal line.
    void Ask(Kind kind, const CPacket& packet, LPARAM sender, bool foreign, const QString& origin);
    // A new turn: carries the next request out, when its bound allows (a
    // waiting popup, once an open one has closed).
    void Turn();

    std::size_t WaitingPopups() const { return m_popups.size(); }
    std::size_t WaitingChats() const { return m_chats.size(); }
    std::size_t OpenPopups();
    std::size_t ForeignWindows();

private:
    struct Request {
        QString text;
        PacketSource source;
        LPARAM sender;
        bool foreign;
    };
    void CarryOut(Kind kind, std::deque<Request>& queue);
    void AskLater();

    Make m_make;
    Later m_later;
    Say m_say;
    std::deque<Request> m_popups;
    std::deque<Request> m_chats;
    std::vector<std::shared_ptr<bool>> m_shown;    // popups made
    std::vector<std::shared_ptr<bool>> m_foreign;  // windows made for foreign pages
    std::size_t m_foreignWaiting = 0;
    bool m_turnUsed = false;    // a request was carried out in this turn
    bool m_saidPopups = false;  // the waiting popups' bound was said in this burst
    bool m_saidForeign = false;
};
