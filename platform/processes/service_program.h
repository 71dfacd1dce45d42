#pragma once

#include <string>

#include "platform/processes/process.h"
#include "platform/processes/service.h"

namespace nimbra::platform {

// A stand-in for a service program that registers itself, as service
// programs of the period do: starting the program file `file_name` with
// "-INSTALL" creates the service (stopped, its binary path the program's
// Windows path) and "-REMOVE" deletes it. The exit code is 0 on success and
// the service manager's error otherwise; other arguments do nothing (0).
void InstallSelfRegisteringService(Processes& processes, ServiceManager& services,
                                   const std::string& file_name, const std::string& service_name,
                                   const std::string& display_name);

}  // namespace nimbra::platform
