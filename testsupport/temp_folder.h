#pragma once

// Temporary folders and whole-file access for tests, benchmarks and fuzz
// targets.

#include <filesystem>
#include <string>
#include <string_view>

namespace nimbra::testsupport {

// A fresh folder under the system's temporary folder (never the home
// folder), removed with everything in it when the object goes away, read-only
// folders inside it included.
class TempFolder {
 public:
  // The folder's name starts with prefix.
  explicit TempFolder(std::string_view prefix = "nimbra-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Creates or overwrites a file with the text (bytes as given).
void WriteText(const std::filesystem::path& file, std::string_view text);
// A file's bytes; empty when it cannot be read.
std::string ReadText(const std::filesystem::path& file);

}  // namespace nimbra::testsupport
