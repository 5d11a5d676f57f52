#include "shared/Messages.h"

#include "packet/Packet.h"

namespace {
void DeletePacket(WPARAM w) {
    delete reinterpret_cast<CPacket*>(w);
}
}  // namespace

void RegisterSystemMessages() {
    RegisterPostedPayloadDisposer(WM_APP_PACKET, DeletePacket);
}
