#include "platform/processes/library.h"

#include <exception>

#include "core/strings.h"
#include "platform/files/path.h"
#include "platform/machine.h"

namespace nimbra::platform {

namespace {
// Module handles look like the load addresses Windows hands out.
constexpr ModuleHandle kFirstHandle = 0x10000000;
constexpr ModuleHandle kHandleStep = 0x10000;
}  // namespace

struct LibraryLoader::Module {
  LoadedFile file;
  std::unique_ptr<LibraryStandIn> standIn;
  int loads = 0;
};

const LibraryExport* LibraryStandIn::Find(std::string_view name) const {
  auto found = exports_.find(name);
  return found == exports_.end() ? nullptr : &found->second;
}

LibraryLoader::LibraryLoader(SearchPath search, PathResolver resolve)
    : search_(std::move(search)), resolve_(std::move(resolve)), nextHandle_(kFirstHandle) {}

LibraryLoader::LibraryLoader(const Machine& machine, const std::string& program_dir)
    : LibraryLoader(SearchPathFor(machine, program_dir), ResolverFor(machine)) {}

LibraryLoader::~LibraryLoader() = default;

void LibraryLoader::RegisterStandIn(const std::string& fileName, StandInFactory factory) {
  factories_[UpperCase(ExtractFileName(fileName))] = std::move(factory);
}

void LibraryLoader::SetSearchPath(SearchPath search) {
  search_ = std::move(search);
}

ModuleHandle LibraryLoader::LoadLibrary(const std::string& name) {
  std::string wanted = WithDefaultExtension(name, ".dll");
  std::string fileKey = UpperCase(ExtractFileName(wanted));
  if (fileKey.empty()) {
    SetLastError(kErrorModNotFound);
    return 0;
  }
  // A bare name matches a module already loaded under the same file name.
  if (!HasDirectoryPart(wanted)) {
    for (auto& [handle, module] : modules_) {
      if (UpperCase(ExtractFileName(module->file.windows_path)) == fileKey) {
        ++module->loads;
        return handle;
      }
    }
  }
  std::optional<std::string> found = FindOnSearchPath(wanted, search_, resolve_);
  if (!found) {
    SetLastError(kErrorModNotFound);
    return 0;
  }
  for (auto& [handle, module] : modules_) {
    if (SameText(module->file.windows_path, *found)) {
      ++module->loads;
      return handle;
    }
  }
  auto factory = factories_.find(fileKey);
  if (factory == factories_.end()) {
    SetLastError(kErrorBadExeFormat);
    return 0;
  }
  auto module = std::make_unique<Module>();
  module->file = LoadedFile{*found, resolve_(*found)};
  try {
    module->standIn = factory->second(module->file);
  } catch (const std::exception&) {
    module->standIn.reset();
  }
  if (!module->standIn) {
    // A stand-in that declines or fails is a library whose start-up failed.
    SetLastError(kErrorDllInitFailed);
    return 0;
  }
  module->loads = 1;
  ModuleHandle handle = nextHandle_;
  nextHandle_ += kHandleStep;
  modules_.emplace(handle, std::move(module));
  return handle;
}

bool LibraryLoader::FreeLibrary(ModuleHandle module) {
  auto found = modules_.find(module);
  if (found == modules_.end()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if (--found->second->loads == 0) modules_.erase(found);
  return true;
}

const LibraryExport* LibraryLoader::GetProcAddress(ModuleHandle module, std::string_view name) {
  Module* loaded = FindModule(module);
  if (loaded == nullptr) {
    SetLastError(kErrorInvalidHandle);
    return nullptr;
  }
  const LibraryExport* found = loaded->standIn->Find(name);
  if (found == nullptr) SetLastError(kErrorProcNotFound);
  return found;
}

LibraryStandIn* LibraryLoader::StandIn(ModuleHandle module) {
  Module* loaded = FindModule(module);
  return loaded == nullptr ? nullptr : loaded->standIn.get();
}

std::string LibraryLoader::ModuleFileName(ModuleHandle module) const {
  const Module* loaded = FindModule(module);
  return loaded == nullptr ? std::string() : loaded->file.windows_path;
}

int LibraryLoader::LoadCount(ModuleHandle module) const {
  const Module* loaded = FindModule(module);
  return loaded == nullptr ? 0 : loaded->loads;
}

LibraryLoader::Module* LibraryLoader::FindModule(ModuleHandle module) {
  auto found = modules_.find(module);
  return found == modules_.end() ? nullptr : found->second.get();
}

const LibraryLoader::Module* LibraryLoader::FindModule(ModuleHandle module) const {
  auto found = modules_.find(module);
  return found == modules_.end() ? nullptr : found->second.get();
}

}  // namespace nimbra::platform
