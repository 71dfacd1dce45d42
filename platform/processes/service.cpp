#include "platform/processes/service.h"

#include "core/strings.h"
#include "platform/machine.h"

namespace nimbra::platform {

namespace {

constexpr const char* kStateNames[] = {"stopped", "start-pending",    "stop-pending",
                                       "running", "continue-pending", "pause-pending",
                                       "paused"};
constexpr const char* kIgnoresStop = "ignores-stop";

std::optional<ServiceInfo> Parse(const TableFile::Row& row) {
  if (row.size() < 3 || row[0].empty()) return std::nullopt;
  ServiceInfo info;
  info.name = row[0];
  info.display_name = row[1];
  info.state = ServiceStateFromName(row[2]).value_or(ServiceState::Stopped);
  if (row.size() > 3) info.binary_path = row[3];
  info.ignores_stop = row.size() > 4 && row[4] == kIgnoresStop;
  return info;
}

TableFile::Row Format(const ServiceInfo& info) {
  return {info.name, info.display_name, ServiceStateName(info.state), info.binary_path,
          info.ignores_stop ? kIgnoresStop : "-"};
}

// The program file of a service command line: a quoted path or the text up
// to the first blank.
std::string ProgramOf(const std::string& command_line) {
  std::string_view line = Trim(command_line);
  if (!line.empty() && line[0] == '"') {
    std::size_t close = line.find('"', 1);
    return std::string(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
  }
  return std::string(line.substr(0, line.find(' ')));
}

}  // namespace

std::string ServiceStateName(ServiceState state) {
  auto n = static_cast<std::uint32_t>(state);
  return n >= 1 && n <= std::size(kStateNames) ? kStateNames[n - 1] : "stopped";
}

std::optional<ServiceState> ServiceStateFromName(const std::string& name) {
  for (std::uint32_t n = 0; n < std::size(kStateNames); ++n) {
    if (SameText(name, kStateNames[n])) return static_cast<ServiceState>(n + 1);
  }
  return std::nullopt;
}

// ---- Service ----

std::optional<ServiceState> Service::QueryStatus() const {
  std::optional<ServiceInfo> info = manager_->Find(name_);
  if (!info) {
    manager_->last_error_ = kErrorServiceDoesNotExist;
    return std::nullopt;
  }
  return info->state;
}

bool Service::Stop(ServiceState* state) {
  return manager_->Change(name_, [&](ServiceInfo& info, bool&) -> std::uint32_t {
    if (state != nullptr) *state = info.state;
    switch (info.state) {
      case ServiceState::Stopped:
        return kErrorServiceNotActive;
      case ServiceState::StartPending:
      case ServiceState::StopPending:
        return kErrorServiceCannotAcceptCtrl;
      default:
        info.state = info.ignores_stop ? ServiceState::StopPending : ServiceState::Stopped;
        if (state != nullptr) *state = info.state;
        return 0;
    }
  });
}

bool Service::Start() {
  return manager_->Change(name_, [&](ServiceInfo& info, bool&) -> std::uint32_t {
    if (info.state != ServiceState::Stopped) return kErrorServiceAlreadyRunning;
    if (!manager_->ProgramExists(info.binary_path)) return 2;  // ERROR_FILE_NOT_FOUND
    info.state = ServiceState::Running;
    return 0;
  });
}

bool Service::Delete() {
  return manager_->Change(name_, [](ServiceInfo&, bool& remove) -> std::uint32_t {
    remove = true;
    return 0;
  });
}

// ---- ServiceManager ----

ServiceManager::ServiceManager(const std::filesystem::path& machine_root, PathResolver resolve)
    : table_(EmulationFolder(machine_root) / "services.txt",
             {"Services of the machine.",
              "name\tdisplay name\tstate\tbinary path\tflags (ignores-stop or -)"}),
      resolve_(std::move(resolve)) {}

ServiceManager::ServiceManager(const Machine& machine)
    : ServiceManager(machine.Root(), ResolverFor(machine)) {}

std::vector<ServiceInfo> ServiceManager::Enumerate() const {
  std::vector<ServiceInfo> services;
  for (const TableFile::Row& row : table_.Read()) {
    if (auto info = Parse(row)) services.push_back(*info);
  }
  return services;
}

std::optional<ServiceInfo> ServiceManager::Find(const std::string& name) const {
  for (const ServiceInfo& info : Enumerate()) {
    if (SameText(info.name, name)) return info;
  }
  return std::nullopt;
}

std::optional<ServiceInfo> ServiceManager::FindByDisplayName(
    const std::string& display_name) const {
  std::vector<ServiceInfo> services = Enumerate();
  for (const ServiceInfo& info : services) {
    if (SameText(info.display_name, display_name)) return info;
  }
  for (const ServiceInfo& info : services) {
    if (SameText(info.name, display_name)) return info;
  }
  return std::nullopt;
}

std::optional<Service> ServiceManager::OpenService(const std::string& name) {
  std::optional<ServiceInfo> info = Find(name);
  if (!info) {
    last_error_ = kErrorServiceDoesNotExist;
    return std::nullopt;
  }
  return Service(*this, info->name);
}

std::optional<Service> ServiceManager::CreateService(const std::string& name,
                                                     const std::string& display_name,
                                                     const std::string& binary_path) {
  std::uint32_t error = 0;
  table_.Update([&](std::vector<TableFile::Row>& rows) {
    for (const TableFile::Row& row : rows) {
      auto info = Parse(row);
      if (!info) continue;
      if (SameText(info->name, name)) {
        error = kErrorServiceExists;
        return false;
      }
      if (SameText(info->display_name, display_name) || SameText(info->name, display_name)) {
        error = kErrorDuplicateServiceName;
        return false;
      }
    }
    rows.push_back(
        Format(ServiceInfo{name, display_name, ServiceState::Stopped, binary_path, false}));
    return true;
  });
  if (error != 0) {
    last_error_ = error;
    return std::nullopt;
  }
  return Service(*this, name);
}

void ServiceManager::Put(const ServiceInfo& info) {
  table_.Update([&](std::vector<TableFile::Row>& rows) {
    for (TableFile::Row& row : rows) {
      if (!row.empty() && SameText(row[0], info.name)) {
        row = Format(info);
        return true;
      }
    }
    rows.push_back(Format(info));
    return true;
  });
}

bool ServiceManager::Change(
    const std::string& name,
    const std::function<std::uint32_t(ServiceInfo& info, bool& remove)>& change) {
  std::uint32_t error = kErrorServiceDoesNotExist;
  table_.Update([&](std::vector<TableFile::Row>& rows) {
    for (auto row = rows.begin(); row != rows.end(); ++row) {
      auto info = Parse(*row);
      if (!info || !SameText(info->name, name)) continue;
      bool remove = false;
      error = change(*info, remove);
      if (error != 0) return false;
      if (remove) {
        rows.erase(row);
      } else {
        *row = Format(*info);
      }
      return true;
    }
    return false;
  });
  if (error != 0) last_error_ = error;
  return error == 0;
}

bool ServiceManager::ProgramExists(const std::string& binary_path) const {
  if (!resolve_ || binary_path.empty()) return true;
  std::error_code ec;
  return std::filesystem::is_regular_file(resolve_(ProgramOf(binary_path)), ec);
}

}  // namespace nimbra::platform
