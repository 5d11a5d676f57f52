#include "update/Updater.h"

#include "packet/Packet.h"

BOOL LaunchProgram(CPacket&) {
    return FALSE;
}
