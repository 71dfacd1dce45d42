#include "platform/machine.h"

#include <system_error>

#include "platform/registry/registry.h"

namespace nimbra::platform {

namespace fs = std::filesystem;

Machine::Machine(fs::path root, std::unique_ptr<Registry> registry)
    : root_(std::move(root)), registry_(std::move(registry)) {}

Machine::Machine(Machine&&) noexcept = default;
Machine& Machine::operator=(Machine&&) noexcept = default;
Machine::~Machine() = default;

Machine Machine::Open(const fs::path& root) {
  std::error_code ec;
  if (!fs::is_directory(root / "dosdevices", ec)) {
    throw MachineError("Not a machine folder (no dosdevices): " + root.string());
  }
  fs::path absolute = fs::absolute(root, ec);
  if (ec) throw MachineError("Cannot open machine folder " + root.string() + ": " + ec.message());
  absolute = absolute.lexically_normal();
  return Machine(absolute, std::make_unique<Registry>(absolute));
}

Machine Machine::Create(const fs::path& root, const MachineOptions& options) {
  std::error_code ec;
  if (fs::exists(root / "dosdevices", ec) || fs::exists(root / "system.reg", ec)) {
    throw MachineError("Folder already holds a machine: " + root.string());
  }
  fs::create_directories(root / "dosdevices", ec);
  if (ec) throw MachineError("Cannot create machine folder " + root.string() + ": " + ec.message());
  Machine machine = Open(root);
  machine.Populate(options);
  machine.Save();
  return machine;
}

Registry& Machine::Reg() const {
  return *registry_;
}

void Machine::Save() {
  registry_->Flush();
}

bool Machine::SetCurrentDirectory(std::string_view path) {
  const std::string full = FullPath(path);
  if (full.empty() || !DirectoryExists(full)) return false;
  current_directory_ = full;
  return true;
}

}  // namespace nimbra::platform
