#include "platform/machine.h"
#include "platform/processes/library_search.h"

namespace nimbra::platform {

PathResolver ResolverFor(const Machine& machine) {
  return [&machine](const std::string& windows_path) {
    return machine.HostPath(windows_path).value_or(std::filesystem::path());
  };
}

SearchPath SearchPathFor(const Machine& machine, const std::string& program_dir) {
  SearchPath search;
  search.program_dir = program_dir;
  search.current_dir = machine.CurrentDirectory();
  search.system_dir = machine.SystemDirectory();
  search.windows_dir = machine.WindowsDirectory();
  search.path = search.system_dir + ";" + search.windows_dir;
  return search;
}

}  // namespace nimbra::platform
