#include "packet/ScriptCall.h"

#include "packet/Packet.h"

QString ScriptCallOf(const CPacket& packet) {
    return QStringLiteral("JSRecv(\"") + packet.GetScriptText() + QStringLiteral("\")");
}
