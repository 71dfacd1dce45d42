#pragma once

#include <any>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/processes/library_search.h"

namespace nimbra::platform {

class Machine;

// Windows error codes of the loader.
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorModNotFound = 126;
inline constexpr std::uint32_t kErrorProcNotFound = 127;
inline constexpr std::uint32_t kErrorBadExeFormat = 193;
inline constexpr std::uint32_t kErrorDllInitFailed = 1114;

// One exported function of a stand-in: a callable whose signature is erased
// and checked again when the caller asks for it.
class LibraryExport {
 public:
  template <typename Sig>
  explicit LibraryExport(std::function<Sig> fn) : fn_(std::move(fn)) {}

  // The callable, or nullptr when it has another signature.
  template <typename Sig>
  const std::function<Sig>* As() const {
    return std::any_cast<std::function<Sig>>(&fn_);
  }

 private:
  std::any fn_;
};

// The file a stand-in was bound to, for stand-ins that read data beside it.
struct LoadedFile {
  std::string windows_path;
  std::filesystem::path host_path;
};

// A built-in replacement for a Windows library: its exports by name. A
// stand-in that keeps state derives from this class, exports lambdas that
// capture `this`, and may offer typed member functions that callers reach
// through LibraryLoader::StandInAs.
class LibraryStandIn {
 public:
  virtual ~LibraryStandIn() = default;

  // Export("CalyXXClose", [](std::uint32_t handle) -> std::uint16_t {...});
  template <typename F>
  void Export(std::string name, F fn) {
    exports_.insert_or_assign(std::move(name), LibraryExport(std::function(std::move(fn))));
  }

  // Export names are case-sensitive, as GetProcAddress compares them.
  const LibraryExport* Find(std::string_view name) const;

 private:
  std::map<std::string, LibraryExport, std::less<>> exports_;
};

// Makes one instance of a stand-in when its library is loaded (first
// LoadLibrary); the instance is destroyed by the last FreeLibrary. A factory
// that returns nullptr or throws fails the load with 1114
// (ERROR_DLL_INIT_FAILED), as a library whose start-up code failed.
using StandInFactory = std::function<std::unique_ptr<LibraryStandIn>(const LoadedFile& file)>;

// A module handle as LoadLibrary returns it: 0 on failure, otherwise a value
// far above 32 (callers of the period test "handle >= 32").
using ModuleHandle = std::uintptr_t;

// Loads run-time libraries of the machine. A library loads when its file
// exists in the machine and a stand-in is registered under its file name
// (case-insensitive); a file without a stand-in is "not a valid Win32
// application" (193), a missing file is 126, a missing export 127. Failures
// return 0/nullptr and set LastError(), as the Windows calls do.
class LibraryLoader {
 public:
  LibraryLoader(SearchPath search, PathResolver resolve);
  // On a machine, for a program started from program_dir.
  LibraryLoader(const Machine& machine, const std::string& program_dir);
  ~LibraryLoader();
  LibraryLoader(const LibraryLoader&) = delete;
  LibraryLoader& operator=(const LibraryLoader&) = delete;

  void RegisterStandIn(const std::string& fileName, StandInFactory factory);
  void SetSearchPath(SearchPath search);

  // A bare name gets ".dll" when it has no extension and is searched for;
  // a name already loaded (same file name) is reused and counted again.
  ModuleHandle LoadLibrary(const std::string& name);
  // Drops one load; the stand-in is destroyed with the last one.
  bool FreeLibrary(ModuleHandle module);

  const LibraryExport* GetProcAddress(ModuleHandle module, std::string_view name);

  // Typed look-up: empty when the export is missing (LastError 127) or has
  // another signature (LastError 127 as well: no such entry point of that type).
  template <typename Sig>
  std::function<Sig> GetProc(ModuleHandle module, std::string_view name) {
    const LibraryExport* found = GetProcAddress(module, name);
    if (found == nullptr) return {};
    const std::function<Sig>* fn = found->As<Sig>();
    if (fn == nullptr) {
      SetLastError(kErrorProcNotFound);
      return {};
    }
    return *fn;
  }

  // The stand-in object behind a module, as its own class (nullptr when the
  // handle is unknown or the stand-in is of another class).
  template <typename T>
  T* StandInAs(ModuleHandle module) {
    return dynamic_cast<T*>(StandIn(module));
  }
  LibraryStandIn* StandIn(ModuleHandle module);

  // Windows path of a loaded module ("" for an unknown handle).
  std::string ModuleFileName(ModuleHandle module) const;
  int LoadCount(ModuleHandle module) const;

  std::uint32_t LastError() const { return lastError_; }

 private:
  struct Module;

  void SetLastError(std::uint32_t code) { lastError_ = code; }
  Module* FindModule(ModuleHandle module);
  const Module* FindModule(ModuleHandle module) const;

  SearchPath search_;
  PathResolver resolve_;
  std::map<std::string, StandInFactory> factories_;  // by upper-case file name
  std::map<ModuleHandle, std::unique_ptr<Module>> modules_;
  ModuleHandle nextHandle_;
  std::uint32_t lastError_ = 0;
};

}  // namespace nimbra::platform
