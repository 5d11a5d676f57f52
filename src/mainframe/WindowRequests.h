// The windows that pages ask the main frame for (alarm popups and chat
// windows), made at a pace and in numbers a user can live with, whatever a
// page sends:
// - one request is carried out per turn of the event loop; a burst waits for
//   later turns, in the order it came, so the user-interface thread never
//   spends a burst's whole cost in one stretch and the chat pages' own
//   requests are answered in between;
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

    enum class Kind { Popup, Chat };

    // Carries a request out. Returns the made window's life token (true
    // while it lives), or null when no window was made (a chat request that
    // placed an existing window, a failed creation).
    using Make = std::function<std::shared_ptr<bool>(Kind, CPacket&, LPARAM sender)>;
    // Asks for Turn() to be called on a later turn of the event loop:
    // `soon` on the next one, otherwise once a popup may have closed.
    using Later = std::function<void(bool soon)>;
    // Writes one line to standard error.
    using Say = std::function<void(const QString&)>;

    WindowRequests(Make make, Later later, Say say);

    // A page's request. `foreign` is whether its sender is outside the
    // service; `origin` names that sender for the refusal line.
    void Ask(Kind kind, const CPacket& packet, LPARAM sender, bool foreign, const QString& origin);
    // A new turn: carries the next request out, when its bound allows.
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
