#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/processes/library_search.h"
#include "platform/processes/process_table_file.h"

namespace nimbra::platform {

// SERVICE_STATUS dwCurrentState values.
enum class ServiceState : std::uint32_t {
  Stopped = 1,
  StartPending = 2,
  StopPending = 3,
  Running = 4,
  ContinuePending = 5,
  PausePending = 6,
  Paused = 7,
};

// Service control manager errors.
inline constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
inline constexpr std::uint32_t kErrorServiceCannotAcceptCtrl = 1061;
inline constexpr std::uint32_t kErrorServiceNotActive = 1062;
inline constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
inline constexpr std::uint32_t kErrorServiceExists = 1073;
inline constexpr std::uint32_t kErrorDuplicateServiceName = 1078;

// "stopped", "start-pending", "stop-pending", "running", "continue-pending",
// "pause-pending", "paused".
std::string ServiceStateName(ServiceState state);
std::optional<ServiceState> ServiceStateFromName(const std::string& name);

struct ServiceInfo {
  std::string name;          // the key name ("Nimbra"), matched without regard to case
  std::string display_name;  // "NimbraPost Root Service"
  ServiceState state = ServiceState::Stopped;
  std::string binary_path;  // command line of the service program
  // A service that does not stop when told: a stop request leaves it
  // "stop-pending" (for tests of the bounded wait).
  bool ignores_stop = false;
};

class Machine;
class ServiceManager;

// An open service (what OpenService/CreateService return). Operations
// report like the Windows calls: true/value on success, false/nullopt with
// the manager's LastError otherwise.
class Service {
 public:
  const std::string& Name() const { return name_; }

  // QueryServiceStatus: the current state; nullopt when the service was deleted.
  std::optional<ServiceState> QueryStatus() const;
  // ControlService(SERVICE_CONTROL_STOP): a running service stops (or stays
  // stop-pending when it ignores stop requests); 1062 when not running,
  // 1061 while a start or stop is pending. The state after the request is
  // returned through `state`.
  bool Stop(ServiceState* state = nullptr);
  // StartService: 1056 when not stopped; 2 when the service program named by
  // the binary path does not exist in the machine (checked when the manager
  // has a path resolver).
  bool Start();
  // DeleteService: the entry is removed at once.
  bool Delete();

 private:
  friend class ServiceManager;
  Service(ServiceManager& manager, std::string name) : manager_(&manager), name_(std::move(name)) {}

  ServiceManager* manager_;
  std::string name_;
};

// The machine's services, kept in "<root>/emulation/services.txt", one line
// per service:
//   name<TAB>display name<TAB>state<TAB>binary path<TAB>flags
// with a state name (ServiceStateName) and flags "ignores-stop" or "-".
// Tests and the demo seed it; the wizard stops the product's service through it.
class ServiceManager {
 public:
  // resolve may be empty: then StartService does not check the program file.
  explicit ServiceManager(const std::filesystem::path& machine_root, PathResolver resolve = {});
  // On a machine: its root and path resolution.
  explicit ServiceManager(const Machine& machine);

  std::optional<Service> OpenService(const std::string& name);
  // CreateService (stopped): 1073 when the name exists, 1078 when the
  // display name is another service's name or display name.
  std::optional<Service> CreateService(const std::string& name, const std::string& display_name,
                                       const std::string& binary_path);
  std::vector<ServiceInfo> Enumerate() const;
  std::optional<ServiceInfo> Find(const std::string& name) const;
  // The service whose display name (or name) is given, as NET START looks it up.
  std::optional<ServiceInfo> FindByDisplayName(const std::string& display_name) const;

  // Seeding: adds or replaces an entry as given.
  void Put(const ServiceInfo& info);

  std::uint32_t LastError() const { return last_error_; }

 private:
  friend class Service;
  // Runs change on the named entry under the table lock. change returns 0
  // to accept (the entry is written back, or removed when it set `remove`)
  // or a Windows error. False with LastError set on an error or when the
  // service does not exist (1060).
  bool Change(const std::string& name,
              const std::function<std::uint32_t(ServiceInfo& info, bool& remove)>& change);
  bool ProgramExists(const std::string& binary_path) const;

  TableFile table_;
  PathResolver resolve_;
  std::uint32_t last_error_ = 0;
};

}  // namespace nimbra::platform
