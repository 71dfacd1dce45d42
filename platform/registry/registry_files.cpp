// The registry's hive files: reading them (damaged ones in part), reading
// them again when others rewrote them, and committing changes.

#include <fstream>

#include "platform/files/atomic_file.h"
#include "platform/files/folder_lock.h"
#include "platform/registry/reg_commit.h"
#include "platform/registry/reg_merge.h"
#include "platform/registry/reg_text.h"
#include "platform/registry/registry_hive.h"

namespace nimbra::platform {
namespace {

constexpr const char* kHiveComments[2] = {
    ";; All keys relative to REGISTRY\\\\Machine",
    ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000"};

// The "#arch=" of an existing hive file, read from the lines before its first key.
std::string ArchOfFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  for (int i = 0; i < 64 && std::getline(in, line); ++i) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("[", 0) == 0) break;
    if (line == "#arch=win32" || line == "#arch=win64") return line.substr(6);
  }
  return "";
}

// Whole-file reads and saves of hive files, failing as registry errors.
std::optional<std::string> ReadHiveText(const std::filesystem::path& file) {
  try {
    return ReadFileIfExists(file);
  } catch (const AtomicFileError& error) {
    throw ERegistryException(error.what());
  }
}

// Copies a damaged hive file aside before anything replaces it: to
// "<name>.damaged", or the first of "<name>.damaged.2", ... that is free or
// already holds this very text. Returns the copy, empty when none was made.
std::filesystem::path KeepAside(const std::filesystem::path& file, const std::string& text) {
  for (int n = 1; n <= 100; ++n) {
    std::filesystem::path copy = file;
    copy += n == 1 ? std::string(".damaged") : ".damaged." + std::to_string(n);
    try {
      const std::optional<std::string> existing = ReadFileIfExists(copy);
      if (existing && *existing != text) continue;
      if (!existing) ReplaceFile(copy, text);
      return copy;
    } catch (const AtomicFileError&) {
      return {};
    }
  }
  return {};
}

// The content of hive `index` read from text (nullopt: no file), with the
// keys every hive of its kind has; damaged lines go to problems.
reg::HiveContent ContentOf(int index, const std::optional<std::string>& text,
                           const std::filesystem::path& file,
                           const std::filesystem::path& sibling_file,
                           std::vector<reg::HiveProblem>& problems) {
  reg::HiveContent content;
  if (text) {
    content = reg::ParseHive(*text, file.string(), &problems);
  } else {
    content.root = std::make_unique<RegNode>();
    content.root->modified = CurrentFileTime();
    // A new hive takes the architecture of its sibling so Wine accepts both.
    content.arch = ArchOfFile(sibling_file);
    if (content.arch.empty()) content.arch = "win32";
  }
  if (content.comment.empty()) content.comment = kHiveComments[index];
  if (index == kMachineHive) {
    // Current Wine makes CurrentControlSet a link to ControlSet001 in a new
    // prefix; Wine 8 prefixes hold a plain key of that name, left as it is.
    RegNode* system = content.root->AddSubkey(u"System", content.root->modified);
    if (!system->FindSubkey(u"currentcontrolset")) {
      RegNode* link = system->AddSubkey(u"CurrentControlSet", system->modified);
      link->link = true;
      link->SetValue(u"SymbolicLinkValue", static_cast<std::uint32_t>(RegType::Link),
                     reg::Utf16Bytes(u"\\Registry\\Machine\\System\\ControlSet001", false));
    }
  }
  return content;
}

}  // namespace

// A hive file as read now.
struct Registry::HiveFile {
  FileStamp stamp;
  std::optional<std::string> text;
  reg::HiveContent content;
  bool keepFile = false;
};

std::unique_ptr<Registry::Hive> Registry::Hive::Copy() const {
  auto copy = std::make_unique<Hive>();
  copy->file = file;
  copy->stamp = stamp;
  copy->text = text;
  copy->loaded = loaded;
  copy->dirty = dirty;
  copy->keepFile = keepFile;
  if (content.root) copy->content.root = content.root->Clone();
  copy->content.comment = content.comment;
  copy->content.arch = content.arch;
  return copy;
}

Registry::Registry(std::filesystem::path machine_root) : root_(std::move(machine_root)) {
  for (int i = 0; i < 2; ++i) {
    hives_[i] = std::make_unique<Hive>();
    hives_[i]->file = root_ / reg::kHiveFiles[i];
  }
}

Registry::~Registry() = default;

Registry::HiveFile Registry::ReadHive(int index) {
  const Hive& hive = *hives_[index];
  HiveFile read;
  read.stamp = FileStamp::Of(hive.file);
  read.text = ReadHiveText(hive.file);
  std::vector<reg::HiveProblem> problems;
  read.content = ContentOf(index, read.text, hive.file, hives_[1 - index]->file, problems);
  if (!problems.empty()) {
    HiveDamage damage{hive.file, problems.front().line, problems.front().what, problems.size(),
                      KeepAside(hive.file, *read.text)};
    read.keepFile = damage.keptAs.empty();
    damage_.push_back(std::move(damage));
  }
  return read;
}

Registry::Hive& Registry::LoadedHive(int index) {
  Hive& hive = *hives_[index];
  if (hive.loaded) return hive;
  // Read while no commit is under way; one a killed writer left is completed first.
  std::optional<FolderLock> lock;
  lock.emplace(root_, FolderLock::Mode::kShared);
  if (reg::CommitPending(root_)) {
    lock.reset();
    lock.emplace(root_, FolderLock::Mode::kExclusive);
    reg::CompletePendingCommit(root_);
  }
  HiveFile read = ReadHive(index);
  hive.stamp = read.stamp;
  hive.text = std::move(read.text);
  hive.content = std::move(read.content);
  hive.keepFile = read.keepFile;
  hive.loaded = true;
  return hive;
}

void Registry::Touched(int hive) {
  hives_[hive]->dirty = true;
}

void Registry::Refresh() {
  for (auto& hive : hives_) {
    if (hive->loaded && !hive->dirty && FileStamp::Of(hive->file) != hive->stamp) {
      hive->loaded = false;
      hive->content = {};
      ++generation_;  // handles find their keys again in the new tree
    }
  }
}

void Registry::Merge(int index) {
  Hive& hive = *hives_[index];
  HiveFile theirs = ReadHive(index);
  std::vector<reg::HiveProblem> ignored;  // reported when the hive was read
  const reg::HiveContent base =
      ContentOf(index, hive.text, hive.file, hives_[1 - index]->file, ignored);
  reg::MergeChanges(base.root.get(), *hive.content.root, *theirs.content.root);
  hive.stamp = theirs.stamp;
  hive.text = std::move(theirs.text);
  hive.content = std::move(theirs.content);
  hive.keepFile = theirs.keepFile;
  ++generation_;  // handles find their keys again in the merged tree
}

void Registry::RefuseDamaged() const {
  for (const auto& hive : hives_) {
    if (hive->dirty && hive->keepFile) {
      throw ERegistryException("the registry file " + hive->file.string() +
                               " is damaged and could not be kept aside; it is not saved over");
    }
  }
}

void Registry::Flush() {
  if (!Modified()) return;
  RefuseDamaged();
  FolderLock lock(root_);
  reg::CompletePendingCommit(root_);
  for (int i = 0; i < 2; ++i) {
    const Hive& hive = *hives_[i];
    if (hive.dirty && FileStamp::Of(hive.file) != hive.stamp) Merge(i);
  }
  RefuseDamaged();  // a file another writer left damaged
  std::vector<reg::HiveSave> saves;
  for (const auto& hive : hives_) {
    if (!hive->dirty) continue;
    saves.push_back({hive->file, reg::WriteHive(*hive->content.root, hive->content.comment,
                                                hive->content.arch)});
  }
  reg::CommitHives(root_, saves);
  std::size_t saved = 0;
  for (auto& hive : hives_) {
    if (!hive->dirty) continue;
    hive->stamp = FileStamp::Of(hive->file);
    hive->text = std::move(saves[saved++].text);
    hive->dirty = false;
  }
  reg::RemoveStaleFiles(root_, {hives_[kMachineHive]->file, hives_[kUserHive]->file});
}

bool Registry::Modified() const {
  return hives_[kMachineHive]->dirty || hives_[kUserHive]->dirty;
}

void Registry::CheckSave() {
  RefuseDamaged();
  for (const auto& hive : hives_) {
    if (!hive->dirty) continue;
    try {
      // Written and flushed to disk like a real save, then thrown away.
      const PreparedFile probe(
          hive->file,
          reg::WriteHive(*hive->content.root, hive->content.comment, hive->content.arch));
    } catch (const AtomicFileError& error) {
      throw ERegistryException(error.what());
    }
  }
}

std::vector<HiveDamage> Registry::Damage() {
  Refresh();
  LoadedHive(kMachineHive);
  LoadedHive(kUserHive);
  return damage_;
}

std::string Registry::HiveText(RootKey root) {
  const int index =
      (root == RootKey::CurrentUser || root == RootKey::Users) ? kUserHive : kMachineHive;
  Refresh();
  const Hive& hive = LoadedHive(index);
  return reg::WriteHive(*hive.content.root, hive.content.comment, hive.content.arch);
}

// ---- transactions ----

RegistryTransaction::RegistryTransaction(Registry& registry) : registry_(registry) {
  for (int i = 0; i < 2; ++i) saved_[i] = registry.hives_[i]->Copy();
}

RegistryTransaction::~RegistryTransaction() {
  if (!saved_[0]) return;
  for (int i = 0; i < 2; ++i) registry_.hives_[i] = std::move(saved_[i]);
  ++registry_.generation_;  // handles find their keys again in the restored trees
}

void RegistryTransaction::Commit() {
  for (auto& saved : saved_) saved.reset();
}

}  // namespace nimbra::platform
