#include "platform/services.h"

#include "platform/ports.h"

namespace platform {

void InstallProcessServices() {
    // A set of null ports stands for the real ones.
    InstallPorts(Ports{});
}

}  // namespace platform
