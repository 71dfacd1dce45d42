#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra::platform {

// Folder under the machine root that holds the process emulation's files:
// the start journal and the tables of exit codes, open windows and services.
std::filesystem::path EmulationFolder(const std::filesystem::path& machine_root);

// A line-oriented text table: one row per line, fields separated by TAB,
// blank lines and lines starting with '#' ignored. Inside a field, '%', '#',
// TAB, CR, LF and the other control characters are written as "%XX"
// (upper-case hex), so any text survives the round trip.
//
// Several objects and processes may work on one table: Update and Append
// run under an exclusive lock on "<file>.lock", and Update replaces the file
// atomically (platform/files/atomic_file.h), so readers never see half a table.
class TableFile {
 public:
  using Row = std::vector<std::string>;

  // header: comment lines written at the top of the file on every rewrite
  // (each given without its "# ").
  TableFile(std::filesystem::path path, std::vector<std::string> header);

  const std::filesystem::path& Path() const { return path_; }

  // The rows of the file; none when it does not exist.
  std::vector<Row> Read() const;
  // Reads the rows, lets `change` edit them, writes them back (only when
  // `change` returns true), all under the lock.
  void Update(const std::function<bool(std::vector<Row>& rows)>& change);
  // Adds one row at the end, under the lock (creates the file with its header).
  void Append(const Row& row);

  // The rows of a table text, and one row as a line of it (with its LF).
  static std::vector<Row> ParseRows(std::string_view text);
  static std::string FormatRow(const Row& row);
  static std::string EncodeField(std::string_view text);
  static std::string DecodeField(std::string_view text);

 private:
  std::filesystem::path path_;
  std::vector<std::string> header_;
};

}  // namespace nimbra::platform
