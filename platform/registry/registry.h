#pragma once

// The registry of the emulated Windows machine.
//
// One machine root folder is laid out as a Wine prefix: "system.reg" holds
// HKEY_LOCAL_MACHINE and "user.reg" holds HKEY_CURRENT_USER, both in Wine's
// registry text format, so a real Wine can boot from the same folder.
// "userdef.reg" (HKEY_USERS\.Default) is never read or written.
//
//   HKEY_CLASSES_ROOT    = HKEY_LOCAL_MACHINE\Software\Classes
//   HKEY_CURRENT_CONFIG  = HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current
//   HKEY_USERS\S-1-5-21-0-0-0-1000 = HKEY_CURRENT_USER
//
// Text rule: the wizard works with 8-bit ANSI text (Windows-1252); the files
// store UTF-16. Every name and string passes through CP-1252 <-> UTF-16: the
// 256 byte values map one to one (the five bytes CP-1252 leaves undefined,
// 0x81 0x8D 0x8F 0x90 0x9D, map to U+0081 ... U+009D as Windows does), and a
// UTF-16 character outside CP-1252 reads back as '?'. Data is kept as the
// exact bytes found in the file, so values we never touch are saved unchanged.
//
// Key and value names are matched without regard to case and keep the case
// they were created with. Names are listed in Wine's stored order: sorted
// without regard to case.
//
// Not thread-safe: one Registry belongs to one thread at a time.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry_error.h"

namespace nimbra::platform {

namespace reg {
struct Location;  // platform/registry/reg_location.h
}

enum class RootKey { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// "HKEY_LOCAL_MACHINE" or "HKLM" (any case) and likewise for the other four
// roots; nullopt for anything else.
std::optional<RootKey> ParseRootKey(std::string_view text);
// The long name: "HKEY_LOCAL_MACHINE".
std::string RootKeyName(RootKey root);

// Value types by their Windows numbers. Types without a name here are kept
// with their number and raw bytes.
enum class RegType : std::uint32_t {
  None = 0,
  String = 1,        // REG_SZ
  ExpandString = 2,  // REG_EXPAND_SZ
  Binary = 3,        // REG_BINARY
  DWord = 4,         // REG_DWORD (little-endian)
  DWordBigEndian = 5,
  Link = 6,  // REG_LINK
  MultiString = 7,
  ResourceList = 8,
  FullResourceDescriptor = 9,
  ResourceRequirementsList = 10,
  QWord = 11,
};

// "REG_SZ", "REG_DWORD", ...; "REG_0x<hex>" style numbers for unnamed types.
std::string RegTypeName(RegType type);

// A value as stored: its type and its bytes (strings as UTF-16LE with the
// terminating NUL, exactly as Windows keeps them).
struct RegValue {
  RegType type = RegType::None;
  std::vector<std::uint8_t> data;
};

// The SID under HKEY_USERS that stands for the current user.
inline constexpr std::string_view kUserSid = "S-1-5-21-0-0-0-1000";

class Registry;
struct RegNode;

// A light handle to one key, like a Windows HKEY: copying it copies the
// handle, and const refers to the handle, not to the key (a const handle
// can write values). It stays valid while its Registry lives; when the key
// itself is deleted, every operation raises ERegistryException.
// Paths given to a handle are relative to it, with "\" separators; leading,
// trailing and doubled "\" are ignored.
class RegKey {
 public:
  // The full name, e.g. "HKEY_LOCAL_MACHINE\Software\Wine" (as opened).
  std::string Path() const;

  // name "" is the default value. Missing value or another type raises
  // ERegistryException. ReadString accepts REG_SZ and REG_EXPAND_SZ (the
  // data up to its first NUL); ReadInteger accepts a 4-byte REG_DWORD;
  // ReadBinary accepts every type except the string types and REG_DWORD.
  std::string ReadString(std::string_view name) const;
  std::int32_t ReadInteger(std::string_view name) const;
  std::vector<std::uint8_t> ReadBinary(std::string_view name) const;
  std::vector<std::string> ReadMultiString(std::string_view name) const;
  RegValue ReadRaw(std::string_view name) const;

  void WriteString(std::string_view name, std::string_view value) const;
  void WriteExpandString(std::string_view name, std::string_view value) const;
  void WriteInteger(std::string_view name, std::int32_t value) const;
  void WriteBinary(std::string_view name, const std::vector<std::uint8_t>& value) const;
  void WriteMultiString(std::string_view name, const std::vector<std::string>& value) const;
  void WriteRaw(std::string_view name, const RegValue& value) const;

  bool ValueExists(std::string_view name) const;
  // Raises ERegistryException for a missing value.
  RegType GetValueType(std::string_view name) const;
  // false when the value did not exist.
  bool DeleteValue(std::string_view name) const;
  std::vector<std::string> ValueNames() const;

  std::vector<std::string> SubkeyNames() const;
  bool HasSubkeys() const;
  // nullopt when missing and create is false. Link keys on the way are followed.
  std::optional<RegKey> OpenSubkey(std::string_view path, bool create) const;
  bool SubkeyExists(std::string_view path) const;
  // Deletes the subkey with all its subkeys; false when it did not exist.
  bool DeleteSubkey(std::string_view path) const;
  // Renames a direct or nested subkey, moving its values and subkeys; false
  // when `from` is missing or `to` already exists (as another key).
  bool MoveSubkey(std::string_view from, std::string_view to) const;

  // Last write time of the key, Unix seconds.
  std::int64_t LastWriteTime() const;

  // Where the key itself lives, links followed and names folded: every
  // handle and path that reach the same key give the same text, so that a
  // walk over the tree can tell a key it has met before (through a link).
  std::string Identity() const;

 private:
  friend class Registry;
  RegKey(Registry* registry, int hive, std::vector<std::u16string> path, std::string display);
  RegNode& Node() const;

  Registry* registry_;
  int hive_;                          // which hive file the key lives in
  std::vector<std::u16string> path_;  // resolved path from the hive root, links followed
  std::string display_;
  mutable RegNode* cached_ = nullptr;
  mutable std::uint64_t generation_ = 0;
};

// A hive file that could not be read whole. What could be read of it is
// used and what could not takes its defaults (the keys and values on the
// damaged lines are missing); before anything is saved over it, the damaged
// file is kept aside.
struct HiveDamage {
  std::filesystem::path file;
  int line = 0;                  // the first damaged line
  std::string what;              // what is wrong there
  std::size_t lines = 0;         // damaged lines in all
  std::filesystem::path keptAs;  // the copy of the damaged file; empty when none could be made
};

// Changes are kept in memory until Flush commits them; a Registry destroyed
// without Flush saves nothing. Several writers may share one machine, in
// this process or others: each commit is made under the machine folder's
// lock (platform/files/folder_lock.h) and applies the writer's own changes to
// the hives as they are then, so that no writer loses another's changes.
class Registry {
 public:
  // machine_root is the prefix folder holding system.reg and user.reg. Files
  // are read when first needed; missing files give empty hives, damaged ones
  // what can be read of them (see HiveDamage).
  explicit Registry(std::filesystem::path machine_root);
  // Changes not flushed are dropped.
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  const std::filesystem::path& Root() const { return root_; }

  // nullopt when the key is missing and create is false. Raises
  // ERegistryException when the key cannot be created (a path under
  // HKEY_USERS other than the current user's SID, a link that leads
  // nowhere, a name over 255 characters).
  std::optional<RegKey> OpenKey(RootKey root, std::string_view path, bool create);
  bool KeyExists(RootKey root, std::string_view path);
  // Deletes the key and its subkeys; false when it did not exist. The last
  // path element is not followed when it is a link key (the link goes).
  // An empty path (a root key) raises ERegistryException.
  bool DeleteKey(RootKey root, std::string_view path);

  // Keys are read from memory. A hive without changes of this writer whose
  // file was rewritten by someone else (Wine, another process) is read again
  // at the next OpenKey, KeyExists, DeleteKey or HiveText; handles then find
  // their keys in the new content. A hive with changes is read again by the
  // next Flush.
  //
  // Commits every change: under the folder lock, each changed hive whose
  // file someone else rewrote is read again and this writer's changes
  // (values and keys written or deleted since it read the hive) are applied
  // to what it holds now; then both changed hives are saved as one (see
  // platform/registry/reg_commit.h): a crash leaves both old or both new
  // files. A damaged hive file that could not be kept aside is never saved
  // over: ERegistryException names it and nothing is saved. On any failure
  // the changes stay in memory.
  void Flush();
  // True when some hive has changes not yet flushed.
  bool Modified() const;
  // Raises ERegistryException (saving nothing) when Flush could not save
  // the changes now: a folder that cannot be written, a damaged file that
  // is not saved over.
  void CheckSave();

  // The hive text as Flush would write it (for tests and tools).
  std::string HiveText(RootKey root);

  // Reads both hives (when not read yet) and returns every damage met so far.
  // A damaged file is kept aside as "<name>.damaged" (".damaged.2", ... when
  // that name holds an earlier, different damaged file).
  std::vector<HiveDamage> Damage();

 private:
  friend class RegKey;
  friend class RegistryTransaction;
  struct Hive;
  struct HiveFile;
  Hive& LoadedHive(int index);
  // The file of hive `index` as it is now, damage recorded and kept aside.
  HiveFile ReadHive(int index);
  // Reads a changed hive's file again and applies this writer's changes to it.
  void Merge(int index);
  void RefuseDamaged() const;
  // Walks `elements` (names as given) from `start`; links on the way are
  // followed, the last one only when follow_last. Creates missing keys
  // when create. False when a key is missing or a link cannot be resolved.
  bool Walk(reg::Location& at, const std::vector<std::u16string>& elements, bool create,
            bool follow_last, int link_depth);
  bool Start(RootKey root, std::string_view path, bool create, reg::Location& at,
             std::vector<std::u16string>& elements);
  std::optional<RegKey> Open(reg::Location at, const std::vector<std::u16string>& elements,
                             bool create, std::string display);
  bool Remove(reg::Location at, const std::vector<std::u16string>& elements);
  bool Move(const reg::Location& at, const std::vector<std::u16string>& from,
            const std::vector<std::u16string>& to);
  RegNode* Resolve(int hive, const std::vector<std::u16string>& folded_path);
  void Touched(int hive);
  void Refresh();

  std::filesystem::path root_;
  std::unique_ptr<Hive> hives_[2];
  std::uint64_t generation_ = 1;  // bumped whenever a key leaves the tree
  std::vector<HiveDamage> damage_;
};

// Changes made through the registry while a transaction is open are taken
// back when it ends without Commit (an exception on the way): the registry
// is then as it was when the transaction began. Commit keeps them for the
// next Flush. Transactions do not nest; Flush belongs after Commit.
class RegistryTransaction {
 public:
  explicit RegistryTransaction(Registry& registry);
  ~RegistryTransaction();
  RegistryTransaction(const RegistryTransaction&) = delete;
  RegistryTransaction& operator=(const RegistryTransaction&) = delete;

  void Commit();

 private:
  Registry& registry_;
  std::unique_ptr<Registry::Hive> saved_[2];
};

// Imports a REGEDIT4 (ANSI, CP-1252) or "Windows Registry Editor Version
// 5.00" (UTF-16LE with BOM, or UTF-8) export: [HKEY_...\path] keys,
// [-HKEY_...\path] deletions, "name"="text", @=..., "name"=-, dword:, hex:,
// hex(n): with "\" continuations, ";" comments. The whole text is parsed
// before anything is written: ERegistryFormatError (file = source_name)
// leaves the registry unchanged. The import is one transaction: a failure
// while it is applied (ERegistryException) takes it back whole.
void ImportRegFile(Registry& registry, std::string_view text,
                   const std::string& source_name = "<reg>");

// The key and its subkeys as a REGEDIT4 export (CR LF lines, CP-1252 text).
// Raises ERegistryException when the key is missing.
std::string ExportKey(Registry& registry, RootKey root, std::string_view path);

// The text `reg query KEY [/v VALUE]` prints: the key's full name, its values
// ("    name    REG_SZ    data"; "(Default)" for the default value), then
// the full names of its subkeys. With a value name only that value is shown.
// Raises ERegistryException when the key or the value is missing.
std::string QueryKey(Registry& registry, RootKey root, std::string_view path,
                     std::optional<std::string_view> value = std::nullopt);

}  // namespace nimbra::platform
