#include "platform/processes/service_program.h"

#include "core/strings.h"

namespace nimbra::platform {

void InstallSelfRegisteringService(Processes& processes, ServiceManager& services,
                                   const std::string& file_name, const std::string& service_name,
                                   const std::string& display_name) {
  processes.SetHook(
      file_name,
      [&services, service_name, display_name](const ProcessStart& start) -> std::uint32_t {
        std::string_view argument = Trim(start.arguments);
        if (SameText(argument, "-INSTALL")) {
          if (services.CreateService(service_name, display_name, start.program)) return 0;
          return services.LastError();
        }
        if (SameText(argument, "-REMOVE")) {
          std::optional<Service> service = services.OpenService(service_name);
          if (service && service->Delete()) return 0;
          return services.LastError();
        }
        return 0;
      });
}

}  // namespace nimbra::platform
