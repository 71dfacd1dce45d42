#include "platform/files/file_copy.h"

#include <string>

#include "platform/files/path.h"

namespace nimbra::platform {

bool CopyOneFile(Machine& machine, std::string_view source_dir, std::string_view name,
                 std::string_view dest_dir) {
  const std::string source = std::string(source_dir) + std::string(name);
  if (!machine.FileExists(source)) return false;
  if (!machine.DirectoryExists(dest_dir)) machine.ForceDirectories(dest_dir);
  // One doubled backslash after the first two characters (left by a
  // location that already ended in "\") is reduced to one.
  std::string folder = std::string(dest_dir) + "\\";
  const std::size_t doubled = folder.find("\\\\", 2);
  if (doubled != std::string::npos) folder.erase(doubled, 1);
  const std::string destination = folder + std::string(name);
  if (machine.CopyFile(source, destination, false)) return true;
  // The target is in use or read-only: move it aside and copy again. An
  // older ".REMOVE" file from an earlier run gives way to the newer one.
  machine.MoveFile(destination, destination + ".REMOVE", true);
  return machine.CopyFile(source, destination, false);
}

}  // namespace nimbra::platform
