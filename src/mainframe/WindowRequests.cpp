#include "mainframe/WindowRequests.h"

#include <algorithm>
#include <utility>

namespace {

// The live windows among `tokens`; the dead ones are let go.
std::size_t CountLive(std::vector<std::shared_ptr<bool>>& tokens) {
    tokens.erase(std::remove_if(tokens.begin(), tokens.end(),
                                [](const std::shared_ptr<bool>& t) { return !t || !*t; }),
                 tokens.end());
    return tokens.size();
}

}  // namespace

WindowRequests::WindowRequests(Make make, Later later, Say say)
    : m_make(std::move(make)), m_later(std::move(later)), m_say(std::move(say)) {}

std::size_t WindowRequests::OpenPopups() {
    return CountLive(m_shown);
}

std::size_t WindowRequests::ForeignWindows() {
    return CountLive(m_foreign) + m_foreignWaiting;
}

void WindowRequests::Ask(Kind kind, const CPacket& packet, LPARAM sender, bool foreign,
                         const QString& origin) {
    if (foreign) {
        const std::size_t open = ForeignWindows();
        if (open == 0)
            m_saidForeign = false;
        if (open >= kForeignWindows) {
            if (!m_saidForeign) {
                m_saidForeign = true;
                m_say(QStringLiteral("window refused: %1 is not one of the service's pages, and "
                                     "such pages have %2 windows already; theirs are refused "
                                     "until one closes")
                          .arg(origin)
                          .arg(kForeignWindows));
            }
            return;
        }
    }
    std::deque<Request>& queue = kind == Kind::Popup ? m_popups : m_chats;
    if (kind == Kind::Popup) {
        if (m_popups.empty())
            m_saidPopups = false;
        if (m_popups.size() >= kPopupsWaiting) {
            if (!m_saidPopups) {
                m_saidPopups = true;
                m_say(QStringLiteral("popup refused: %1 popups wait to be shown already; more are "
                                     "refused until those have been")
                          .arg(kPopupsWaiting));
            }
            return;
        }
    }
    queue.push_back(Request{packet.GetText(), packet.Source(), sender, foreign});
    if (foreign)
        ++m_foreignWaiting;
    // Alone in its turn and free to go, a request is carried out at once,
    // as the page asked.
    const bool free = kind == Kind::Chat || OpenPopups() < kPopupsShown;
    if (!m_turnUsed && queue.size() == 1 && free)
        CarryOut(kind, queue);
    AskLater();
}

void WindowRequests::Turn() {
    m_turnUsed = false;
    if (!m_chats.empty())
        CarryOut(Kind::Chat, m_chats);
    else if (!m_popups.empty() && OpenPopups() < kPopupsShown)
        CarryOut(Kind::Popup, m_popups);
    AskLater();
}

void WindowRequests::CarryOut(Kind kind, std::deque<Request>& queue) {
    Request request = std::move(queue.front());
    queue.pop_front();
    if (request.foreign)
        --m_foreignWaiting;
    m_turnUsed = true;
    CPacket packet(CPacket::Verbatim{request.text});
    packet.SetSource(request.source);
    std::shared_ptr<bool> made = m_make(kind, packet, request.sender);
    if (!made)
        return;
    if (kind == Kind::Popup)
        m_shown.push_back(made);
    if (request.foreign)
        m_foreign.push_back(std::move(made));
}

void WindowRequests::AskLater() {
    if (m_turnUsed || !m_chats.empty() || !m_popups.empty())
        m_later();
}
