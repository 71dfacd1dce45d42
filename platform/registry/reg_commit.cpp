#include "platform/registry/reg_commit.h"

#include <unistd.h>

#include <memory>
#include <optional>
#include <string_view>

#include "platform/files/atomic_file.h"
#include "platform/registry/registry_error.h"

namespace nimbra::platform::reg {
namespace {

namespace fs = std::filesystem;

// One line of the record: "<hive file name>\t<temporary file, relative to
// the machine folder>".
struct RecordLine {
  std::string hive;
  std::string temp;
};

// The hive names a record may hold, and a temporary file of one of them:
// "<name>.~<...>.tmp", in the machine folder or, for a linked hive, beside
// the file the link names.
bool IsHiveName(std::string_view name) {
  return name == kHiveFiles[0] || name == kHiveFiles[1];
}

bool IsTempOf(const fs::path& temp, const fs::path& hive_target) {
  const std::string name = temp.filename().string();
  return temp.parent_path() == hive_target.parent_path() &&
         name.starts_with(hive_target.filename().string() + ".~") && name.ends_with(".tmp");
}

std::optional<std::vector<RecordLine>> ParseRecord(std::string_view text) {
  std::vector<RecordLine> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;  // every line ends with \n
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return std::nullopt;
    RecordLine entry{std::string(line.substr(0, tab)), std::string(line.substr(tab + 1))};
    if (!IsHiveName(entry.hive)) return std::nullopt;
    lines.push_back(std::move(entry));
  }
  return lines;
}

void RemoveRecord(const fs::path& root) {
  ::unlink((root / kCommitRecord).c_str());
  RemoveStaleTempFiles(root / kCommitRecord);
}

[[noreturn]] void Fail(const AtomicFileError& error) {
  throw ERegistryException(error.what());
}

}  // namespace

bool CommitPending(const fs::path& root) {
  std::error_code ignored;
  return fs::exists(root / kCommitRecord, ignored);
}

void CompletePendingCommit(const fs::path& root) {
  std::optional<std::string> text;
  try {
    text = ReadFileIfExists(root / kCommitRecord);
  } catch (const AtomicFileError& error) {
    Fail(error);
  }
  if (!text) return;
  // The temporary files and their hives; none when the record is not one of ours.
  std::vector<std::pair<fs::path, fs::path>> renames;
  if (const std::optional<std::vector<RecordLine>> lines = ParseRecord(*text)) {
    for (const RecordLine& line : *lines) {
      const fs::path hive = root / line.hive;
      std::error_code ec;
      const fs::path target =
          (fs::is_symlink(hive, ec) ? fs::weakly_canonical(hive, ec) : hive).lexically_normal();
      const fs::path temp = (root / line.temp).lexically_normal();
      if (!IsTempOf(temp, target)) {
        renames.clear();
        break;
      }
      renames.emplace_back(temp, hive);
    }
  }
  for (const auto& [temp, hive] : renames) {
    std::error_code ec;
    if (!fs::exists(temp, ec)) continue;  // renamed before the writer died
    try {
      InstallTempFile(temp, hive);
    } catch (const AtomicFileError& error) {
      Fail(error);
    }
  }
  RemoveRecord(root);
}

void CommitHives(const fs::path& root, const std::vector<HiveSave>& saves) {
  try {
    if (saves.size() == 1) {
      ReplaceFile(saves[0].file, saves[0].text);
      return;
    }
    std::vector<std::unique_ptr<PreparedFile>> prepared;
    std::string record;
    for (const HiveSave& save : saves) {
      prepared.push_back(std::make_unique<PreparedFile>(save.file, save.text));
      record += save.file.filename().string() + "\t" +
                prepared.back()->TempPath().lexically_relative(root).string() + "\n";
    }
    ReplaceFile(root / kCommitRecord, record);
    // From here the record completes the commit should this process die.
    for (const auto& file : prepared) file->Keep();
    for (std::size_t i = 0; i < prepared.size(); ++i) {
      try {
        prepared[i]->Install();
      } catch (const AtomicFileError& error) {
        if (i > 0) {
          throw ERegistryException(std::string(error.what()) +
                                   "; the registry is completed when it is next read");
        }
        // Nothing replaced yet: the commit is called off (the record first).
        RemoveRecord(root);
        for (const auto& file : prepared) ::unlink(file->TempPath().c_str());
        throw;
      }
    }
    RemoveRecord(root);
  } catch (const AtomicFileError& error) {
    Fail(error);
  }
}

void RemoveStaleFiles(const fs::path& root, const std::vector<fs::path>& hives) {
  for (const fs::path& hive : hives) RemoveStaleTempFiles(hive);
  RemoveStaleTempFiles(root / kCommitRecord);
}

}  // namespace nimbra::platform::reg
