#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/drive.h"
#include "platform/files/file_attributes.h"
#include "platform/machine_error.h"

namespace nimbra::platform {

class Registry;  // platform/registry/registry.h

enum class WindowsKind {
  NT,     // Windows NT family: C:\windows, C:\windows\system32
  Win9x,  // Windows 95/98: C:\WINDOWS, C:\WINDOWS\SYSTEM
};

// What Machine::Create writes into a fresh machine.
struct MachineOptions {
  WindowsKind kind = WindowsKind::NT;
  std::string user_name = "User";
  std::string computer_name = "NIMBRA-PC";
  std::string organization;
};

// One Windows computer: a root folder laid out as a Wine prefix
//   <root>/system.reg, user.reg       the registry (see platform/registry/registry.h)
//   <root>/dosdevices/c: -> ../drive_c  one link per drive letter
//   <root>/drive_c/...                 drive C's content
// Drive types come from HKLM\Software\Wine\Drives, volume labels from
// ".windows-label" at a drive root, network names from HKCU\Network\<letter>
// "RemotePath".
//
// Windows paths ("C:\Program Files\X", "c:/x", "x\y" relative to the
// machine's own current directory, "\x" on the current drive) are resolved
// to host paths case-insensitively against the names that exist, long or
// 8.3 short; components that do not exist keep the given case. The process's
// own current directory is never used or changed.
//
// File operations take Windows paths and report like their Windows
// counterparts: true/false or nullopt, never an exception, except the
// whole-file ReadFile/WriteFile, which raise FileError.
class Machine {
 public:
  // Makes a fresh minimal machine in root (created if missing, must not
  // already hold a machine): drive C with the Windows folders and
  // "Program Files", the hosts file, and a registry with the version keys,
  // Explorer "Shell Folders", "Control Panel\International" and the TCP/IP
  // parameters of a freshly installed Windows of the chosen kind.
  static Machine Create(const std::filesystem::path& root, const MachineOptions& options = {});
  // Opens an existing machine (a folder with "dosdevices"); MachineError
  // otherwise.
  static Machine Open(const std::filesystem::path& root);

  Machine(Machine&&) noexcept;
  Machine& operator=(Machine&&) noexcept;
  ~Machine();

  const std::filesystem::path& Root() const { return root_; }
  Registry& Reg() const;
  // Writes the registry files (atomically) if anything changed.
  void Save();

  // ---- Drives ----
  // Upper-case letters that have a dosdevices link, A to Z.
  std::vector<char> DriveLetters() const;
  // "C:\" style roots of DriveLetters().
  std::vector<std::string> DriveRoots() const;
  // GetDriveType: accepts "C:\", "C:", "c:\dir" (only the letter counts).
  DriveType GetDriveType(std::string_view root) const;
  // GetVolumeInformation: root must be "X:\"; nullopt when the drive does not
  // exist or its folder is missing (drive not ready).
  std::optional<VolumeInfo> GetVolumeInformation(std::string_view root) const;
  bool SetVolumeLabel(std::string_view root, std::string_view label);
  // WNetGetConnection of "X:": HKCU\Network\X "RemotePath"; nullopt when the
  // drive is not remote or has no recorded connection.
  std::optional<std::string> GetNetworkConnection(std::string_view drive) const;
  // GetDiskFreeSpaceEx of a drive root.
  std::optional<DiskSpace> GetDiskFreeSpace(std::string_view root) const;
  // Host folder a drive letter's link points to.
  std::optional<std::filesystem::path> DriveHostRoot(char letter) const;

  // Links letter to host_dir (created if missing; stored relative when it
  // lies inside the machine root), records its type, writes label when not
  // empty, and for a remote drive records remote_name as its connection.
  // Replaces an existing drive of that letter. MachineError on failure.
  void AddDrive(char letter, const std::filesystem::path& host_dir, DriveType type,
                std::string_view label = {}, std::string_view remote_name = {});
  bool RemoveDrive(char letter);

  // ---- Paths ----
  std::string CurrentDirectory() const { return current_directory_; }
  // Sets the machine's current directory (not the process's); false when the
  // directory does not exist.
  bool SetCurrentDirectory(std::string_view path);
  // GetFullPathName: absolute, "/" turned to "\", "." and ".." resolved, no
  // trailing "\" except for a drive root. Empty for a path that cannot be
  // made absolute (UNC paths, malformed drive specs).
  std::string FullPath(std::string_view path) const;
  // Host path for a Windows path; nullopt when its drive does not exist or
  // the path is not a drive path.
  std::optional<std::filesystem::path> HostPath(std::string_view windows_path) const;
  // Windows path of a host path inside one of the drives (the drive with the
  // longest matching root wins); nullopt outside every drive.
  std::optional<std::string> WindowsPath(const std::filesystem::path& host_path) const;
  // GetShortPathName / GetLongPathName of an existing path.
  std::optional<std::string> ShortPath(std::string_view path) const;
  std::optional<std::string> LongPath(std::string_view path) const;

  // ---- Files and directories ----
  bool FileExists(std::string_view path) const;
  bool DirectoryExists(std::string_view path) const;
  // One directory; false when it exists already or the parent is missing.
  bool CreateDirectory(std::string_view path);
  // Every missing directory of path, walking from the drive root; true when
  // the whole tree exists afterwards.
  bool ForceDirectories(std::string_view path);
  // CopyFile: false when the source is missing, the destination exists and
  // fail_if_exists is set, or the destination is read-only. The copy appears
  // at once complete (temp file + rename) and keeps the source's time stamp.
  bool CopyFile(std::string_view source, std::string_view destination, bool fail_if_exists);
  // MoveFile (rename files or directories, across drives for files); an
  // existing destination is replaced only with replace_existing.
  bool MoveFile(std::string_view source, std::string_view destination,
                bool replace_existing = false);
  // DeleteFile: false for a missing file, a directory or a read-only file.
  bool DeleteFile(std::string_view path);
  // RemoveDirectory: empty directories only.
  bool RemoveDirectory(std::string_view path);
  std::optional<std::uint64_t> FileSize(std::string_view path) const;
  std::optional<FileTime> LastWriteTime(std::string_view path) const;
  bool SetLastWriteTime(std::string_view path, FileTime time);
  // attr:: bits (see platform/files/file_attributes.h); nullopt for a missing path.
  std::optional<std::uint32_t> GetAttributes(std::string_view path) const;
  // Sets ReadOnly, Hidden, System and Archive as given (other bits ignored).
  bool SetAttributes(std::string_view path, std::uint32_t attributes);
  // Whole-file read; FileError when the file cannot be read.
  std::string ReadFile(std::string_view path) const;
  // Whole-file write, atomic (platform/files/atomic_file.h); the
  // folder must exist. FileError on failure or for a read-only file.
  void WriteFile(std::string_view path, std::string_view content);
  // Entries of a directory (no "." and ".."), sorted by name without regard
  // to case; empty for a missing directory.
  std::vector<DirEntry> ListDirectory(std::string_view path) const;
  // Every ordinary file (hidden and system files excluded; hidden and system
  // folders not entered) below folder whose name matches the wildcard
  // pattern ("*", "?", without regard to case), as full Windows paths: the
  // folder's own matches first, then each subfolder in name order.
  std::vector<std::string> FindFiles(std::string_view folder, std::string_view pattern) const;
  // The same search for several patterns in one walk of the tree: entry i
  // holds what FindFiles(folder, patterns[i]) gives. A folder that cannot be
  // read, and one met again through a link, is passed over. on_folder, when
  // set, is called before each folder is read, so that a long walk can let
  // the window process its messages.
  std::vector<std::vector<std::string>> FindFiles(
      std::string_view folder, const std::vector<std::string>& patterns,
      const std::function<void()>& on_folder = {}) const;

  // ---- Facts ----
  WindowsKind Kind() const;
  bool IsNT() const { return Kind() == WindowsKind::NT; }
  // GetWindowsDirectory / GetSystemDirectory, without trailing "\".
  std::string WindowsDirectory() const;
  std::string SystemDirectory() const;
  // HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters "Databasepath"
  // with "%SystemRoot%" replaced by the Windows directory, + "\hosts";
  // Windows directory + "\hosts" without that value.
  std::string HostsFilePath() const;
  std::string UserName() const;      // the logon name (GetUserName)
  std::string ComputerName() const;  // GetComputerName
  // HKCU\Control Panel\International "sDate", "/" when absent or empty.
  std::string DateSeparator() const;
  // The machine's own IPv4 addresses: the TCP/IP parameters' "IPAddress"
  // (HKLM\System\CurrentControlSet\Services\Tcpip\Parameters) (multi-string or blank-separated
  // text) when set, else 127.0.0.1 followed by the host's own addresses.
  std::vector<std::string> IpAddresses() const;
  // The machine's clock: the host clock unless a fixed time was set.
  FileTime Now() const;
  void SetFixedNow(std::optional<FileTime> now) { fixed_now_ = now; }

 private:
  // A Windows path resolved against the host: the host path, and whether
  // every component of it exists.
  struct Resolved {
    std::filesystem::path host;
    bool exists = false;
  };

  Machine(std::filesystem::path root, std::unique_ptr<Registry> registry);
  std::optional<Resolved> Resolve(std::string_view path) const;
  // The stored names of every component of an existing path ("X:" first).
  std::optional<std::vector<std::string>> ExistingNames(std::string_view path) const;
  void Populate(const MachineOptions& options);

  std::filesystem::path root_;
  std::unique_ptr<Registry> registry_;
  std::string current_directory_ = "C:\\";
  std::optional<FileTime> fixed_now_;
};

}  // namespace nimbra::platform
