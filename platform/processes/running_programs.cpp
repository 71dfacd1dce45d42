#include "platform/processes/running_programs.h"

#include <sys/stat.h>

#include <cstdlib>

#include "core/strings.h"
#include "platform/files/path.h"

namespace nimbra::platform {

namespace {

bool IsImage(const std::string& path) {
  const std::string name = ExtractFileName(path);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string ext = UpperCase(name.substr(dot));
  return ext == ".EXE" || ext == ".DLL" || ext == ".OCX";
}

bool SameFile(const std::filesystem::path& a, const struct stat& target) {
  struct stat st;
  return ::stat(a.c_str(), &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino;
}

// The kind and the path of a held-file field; None for a malformed field.
std::pair<FileLock, std::string> Held(const std::string& field) {
  if (field.rfind("image ", 0) == 0) return {FileLock::Image, field.substr(6)};
  if (field.rfind("open ", 0) == 0) return {FileLock::Open, field.substr(5)};
  return {FileLock::None, {}};
}

}  // namespace

RunningPrograms::RunningPrograms(const std::filesystem::path& machineRoot, PathResolver resolve)
    : root_(machineRoot),
      table_(EmulationFolder(machineRoot) / "running.txt",
             {"running programs: program<TAB>window<TAB>held files..."}),
      resolve_(std::move(resolve)) {}

void RunningPrograms::Start(const std::string& program, const std::vector<std::string>& files,
                            WindowHandle window) {
  TableFile::Row row = {program, std::to_string(window), "image " + program};
  for (const auto& file : files) row.push_back((IsImage(file) ? "image " : "open ") + file);
  table_.Append(row);
}

void RunningPrograms::End(const std::string& program) {
  table_.Update([&](std::vector<TableFile::Row>& rows) {
    const auto before = rows.size();
    std::erase_if(rows, [&](const TableFile::Row& row) {
      return !row.empty() && AnsiCompareText(row[0], program) == 0;
    });
    return rows.size() != before;
  });
}

bool RunningPrograms::Runs(const TableFile::Row& row) const {
  if (row.size() < 2) return false;
  const WindowHandle window = static_cast<WindowHandle>(std::strtoul(row[1].c_str(), nullptr, 0));
  return window == 0 || Windows(root_).IsWindow(window);
}

FileLock RunningPrograms::LockOf(const std::filesystem::path& hostFile) const {
  if (!std::filesystem::exists(EmulationFolder(root_) / "running.txt")) return FileLock::None;
  struct stat target;
  if (::stat(hostFile.c_str(), &target) != 0) return FileLock::None;
  FileLock lock = FileLock::None;
  for (const auto& row : table_.Read()) {
    if (!Runs(row)) continue;
    for (std::size_t i = 2; i < row.size(); ++i) {
      const auto [kind, path] = Held(row[i]);
      const auto host = resolve_(path);
      if (kind == FileLock::None || host.empty() || !SameFile(host, target)) continue;
      if (kind == FileLock::Open) return FileLock::Open;
      lock = FileLock::Image;
    }
  }
  return lock;
}

bool RunningPrograms::MoveImage(const std::filesystem::path& fromHost, const std::string& to,
                                const std::function<bool()>& rename) {
  struct stat moved;
  if (::stat(fromHost.c_str(), &moved) != 0) return rename();
  bool ok = false;
  table_.Update([&](std::vector<TableFile::Row>& rows) {
    // The fields naming the file, found before the rename changes its name.
    std::vector<std::string*> naming;
    for (auto& row : rows) {
      for (std::size_t i = 2; i < row.size(); ++i) {
        const auto host = resolve_(Held(row[i]).second);
        if (!host.empty() && SameFile(host, moved)) naming.push_back(&row[i]);
      }
    }
    ok = rename();
    if (!ok || naming.empty()) return false;
    for (std::string* field : naming) *field = "image " + to;
    return true;
  });
  return ok;
}

}  // namespace nimbra::platform
