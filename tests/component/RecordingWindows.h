// Windows that keep what reaches them, for the tests to look at: the packets
// a window receives, the main window the chat frames and popups talk to, and
// any window of the system with the requests it receives recorded.
#pragma once

#include <QString>
#include <ostream>
#include <utility>
#include <vector>

#include "packet/Packet.h"
#include "shared/Messages.h"
#include "testsupport.h"

// A packet as it arrived: its text and the context (the sender) beside it.
struct Got {
    QString text;
    LPARAM context;
    bool operator==(const Got&) const = default;
};

inline void PrintTo(const Got& g, std::ostream* os) {
    *os << g.text.toStdString() << " @" << g.context;
}

// A window that keeps the text of every packet it receives, and records the
// other messages it is told to watch. Posted packets belong to the receiver,
// so it deletes them (`ownsPackets`); sent ones stay with their sender.
class PacketWnd : public RecordingWnd {
public:
    explicit PacketWnd(std::vector<UINT> watched = {}, bool ownsPackets = false)
        : RecordingWnd(std::move(watched)), m_ownsPackets(ownsPackets) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP_PACKET) {
            auto* packet = reinterpret_cast<CPacket*>(wParam);
            packets.push_back({packet->GetText(), lParam});
            if (m_ownsPackets)
                delete packet;
            return 0;
        }
        return RecordingWnd::WindowProc(message, wParam, lParam);
    }
    std::vector<Got> packets;

private:
    bool m_ownsPackets;
};

// The main window: keeps the packets sent to it, records the frames'
// registrations and what is posted to it, and never closes itself.
class MainWnd : public PacketWnd {
public:
    MainWnd() : PacketWnd({WM_APP_REGISTER_FRAME, WM_APP_UNREGISTER_FRAME, WM_CLOSE}) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CLOSE) {
            received.push_back({message, wParam, lParam});
            return 0;
        }
        return PacketWnd::WindowProc(message, wParam, lParam);
    }
    std::vector<Recorded> Of(UINT message) const {
        std::vector<Recorded> out;
        for (const Recorded& r : received) {
            if (r.message == message)
                out.push_back(r);
        }
        return out;
    }
    int Count(UINT message) const { return static_cast<int>(Of(message).size()); }
};

// A window of the system (a chat frame, a popup, a plain window) whose
// move-and-size requests and owner notices the test sees. The move-and-size
// request stops here: the window manager's own loop is not started.
template <class Window>
class Observed : public Window {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_NCLBUTTONDOWN) {
            moveRequests.push_back(static_cast<int>(wParam));
            return 0;
        }
        if (message == WM_APP_OWNER_MOVED)
            ownerMoves.push_back({static_cast<LPARAM>(wParam), lParam});
        return Window::WindowProc(message, wParam, lParam);
    }
    std::vector<int> moveRequests;  // the hit-test code of each, in order
    std::vector<std::pair<LPARAM, LPARAM>> ownerMoves;
};
