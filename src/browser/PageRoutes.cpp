#include "browser/PageRoutes.h"

namespace {

PacketRoute Find(std::span<const PacketRoute> rows, int number, const PacketRoute& other) {
    for (const PacketRoute& r : rows) {
        if (r.number == number)
            return r;
    }
    return other;
}

}  // namespace

PacketRoute RouteOf(const PageRoutes& routes, int kind, int command) {
    if (kind != GBN_COMMAND)
        return Find(routes.kinds, kind, routes.otherKinds);
    // One row for the move command and every resize command.
    return Find(routes.commands, HitTestOfCommand(command) != 0 ? CMD_MOVE : command,
                routes.otherCommands);
}
