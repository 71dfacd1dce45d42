#include "keys/ext_auth.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "keys/keys_error.h"
#include "platform/processes/library.h"
#include "platform/profile/profile_text.h"

namespace nimbra::keys {

namespace {

class ExtAuthStandIn : public platform::LibraryStandIn {
 public:
  explicit ExtAuthStandIn(const platform::LoadedFile& file) : logPath_(file.host_path) {
    logPath_ += ".log";
    std::ifstream in(file.host_path, std::ios::binary);
    const platform::ProfileText settings(
        std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    const bool initFails = settings.ReadBool("Initialize", "Fail", false);
    const bool freeFails = settings.ReadBool("Free", "Fail", false);
    Export("NB_InitializeLogon", [this, initFails] {
      Note("NB_InitializeLogon");
      if (initFails) throw EKeysError("initialisation refused");
    });
    Export("NB_FreeLogon", [this, freeFails] {
      Note("NB_FreeLogon");
      if (freeFails) throw EKeysError("release refused");
    });
    if (!settings.ReadBool("Status", "Missing", false)) {
      const std::int32_t code = settings.ReadInteger("Status", "Code", 0);
      const bool fails = settings.ReadBool("Status", "Fail", false);
      Export("NB_StatusChange", [this, code, fails]() -> std::int32_t {
        Note("NB_StatusChange");
        if (fails) throw EKeysError("reader not responding");
        return code;
      });
    }
    if (!settings.ReadBool("Logon", "Missing", false)) {
      const int answers = settings.ReadInteger("Logon", "Answers", 0);
      for (int i = 1; i <= answers; ++i)
        answers_.push_back({settings.ReadString("Logon", "User" + std::to_string(i), ""),
                            settings.ReadString("Logon", "Password" + std::to_string(i), "")});
      const bool fails = settings.ReadBool("Logon", "Fail", false);
      Export("NB_LogonUser",
             [this, fails](std::uintptr_t, std::int32_t, char* user, char* password) {
               Note("NB_LogonUser");
               if (fails) throw EKeysError("card not readable");
               if (next_ >= answers_.size()) return;
               Fill(user, answers_[next_].first);
               Fill(password, answers_[next_].second);
               ++next_;
             });
    }
  }

 private:
  static void Fill(char* buffer, const std::string& text) {
    const std::size_t length = std::min(text.size(), kExtAuthBufferSize - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
  }
  void Note(const char* call) { std::ofstream(logPath_, std::ios::app) << call << "\n"; }

  std::filesystem::path logPath_;
  std::vector<std::pair<std::string, std::string>> answers_;
  std::size_t next_ = 0;
};

}  // namespace

void RegisterExtAuthStandIn(platform::LibraryLoader& loader, const std::string& fileName) {
  loader.RegisterStandIn(fileName, [](const platform::LoadedFile& file) {
    return std::make_unique<ExtAuthStandIn>(file);
  });
}

}  // namespace nimbra::keys
