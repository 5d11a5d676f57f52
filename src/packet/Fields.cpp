#include "packet/Fields.h"

#include <algorithm>
#include <climits>

#include "framework/afxwin.h"
#include "packet/Packet.h"

int ClampToInt(long long v) {
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

int PacketKind(CPacket& packet) {
    return packet.GetInt(field::kKind, 0);
}

int PacketCommand(CPacket& packet) {
    return packet.GetInt(field::kCommand, 0);
}

RECT RectFromFields(CPacket& packet, const RECT& defaults) {
    const long long x = packet.GetInt(field::kLeft, ClampToInt(defaults.left));
    const long long y = packet.GetInt(field::kTop, ClampToInt(defaults.top));
    const long long cx = packet.GetInt(field::kWidth, ClampToInt(defaults.right - defaults.left));
    const long long cy = packet.GetInt(field::kHeight, ClampToInt(defaults.bottom - defaults.top));
    return RECT{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + cx),
                static_cast<LONG>(y + cy)};
}

void SetRectFields(CPacket& packet, const RECT& r) {
    packet.SetInt(field::kLeft, ClampToInt(r.left));
    packet.SetInt(field::kTop, ClampToInt(r.top));
    packet.SetInt(field::kWidth, ClampToInt(r.right - r.left));
    packet.SetInt(field::kHeight, ClampToInt(r.bottom - r.top));
}

void WriteRectToProfile(CWinApp& app, const QString& section, const RECT& r) {
    app.WriteProfileInt(section, field::kLeft, ClampToInt(r.left));
    app.WriteProfileInt(section, field::kTop, ClampToInt(r.top));
    app.WriteProfileInt(section, field::kWidth, ClampToInt(r.right - r.left));
    app.WriteProfileInt(section, field::kHeight, ClampToInt(r.bottom - r.top));
}
