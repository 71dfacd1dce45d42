#pragma once

#include "platform/processes/process.h"
#include "platform/processes/service.h"

namespace nimbra::platform {

// Makes "NET START <service>" and "NET STOP <service>" act on the machine's
// services when a program runs NET.EXE: the service is named by its display
// name or its key name, quoted or not. Exit codes as the real tool gives
// them: 0 on success, 2 for an unknown service, a service already in the
// asked state, a program that cannot start, or an unknown sub-command.
// Other NET commands do nothing and give 0.
void InstallNetCommand(Processes& processes, ServiceManager& services);

}  // namespace nimbra::platform
