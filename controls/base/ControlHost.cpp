#include "controls/base/ControlHost.h"

namespace ControlHost {

namespace {
IHostServices* g_services = nullptr;
}

void SetHostServices(IHostServices* services) {
    g_services = services;
}

IHostServices* HostServices() {
    return g_services;
}

}  // namespace ControlHost
