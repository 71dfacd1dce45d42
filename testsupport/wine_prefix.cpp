#include "testsupport/wine_prefix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "testsupport/run_program.h"

namespace nimbra::testsupport {

std::optional<std::filesystem::path> BootedWinePrefix() {
  if (!OnPath("wine") || !OnPath("wineboot") || !OnPath("wineserver")) return std::nullopt;
  const std::filesystem::path cache = std::filesystem::path(NIMBRA_BINARY_DIR) / "test-cache";
  const std::filesystem::path done = cache / "wine-prefix";
  std::filesystem::create_directories(cache);
  const int lock = ::open((cache / "wine-prefix.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
  if (lock >= 0) ::flock(lock, LOCK_EX);
  if (!std::filesystem::exists(done / "system.reg")) {
    const std::filesystem::path fresh = cache / "wine-prefix.new";
    std::filesystem::remove_all(fresh);
    const std::string env = "WINEPREFIX='" + fresh.string() + "' WINEDEBUG=-all ";
    if (RunCommand(env + "wineboot -i").status == 0 &&
        RunCommand(env + "wineserver -w").status == 0) {
      std::filesystem::remove_all(done);
      std::filesystem::rename(fresh, done);
    }
  }
  if (lock >= 0) ::close(lock);
  if (!std::filesystem::exists(done / "system.reg")) return std::nullopt;
  return done;
}

}  // namespace nimbra::testsupport
