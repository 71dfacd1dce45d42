#include "platform/processes/process_table_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "core/hex.h"
#include "platform/files/atomic_file.h"
#include "platform/machine_error.h"

namespace nimbra::platform {

namespace {

// Holds an exclusive flock on a lock file beside the table.
class TableLock {
 public:
  explicit TableLock(const std::filesystem::path& table) {
    std::filesystem::create_directories(table.parent_path());
    std::string lock_path = table.string() + ".lock";
    fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) throw PlatformError("cannot open lock file " + lock_path);
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        throw PlatformError("cannot lock " + lock_path);
      }
    }
  }
  ~TableLock() { ::close(fd_); }
  TableLock(const TableLock&) = delete;
  TableLock& operator=(const TableLock&) = delete;

 private:
  int fd_ = -1;
};

std::string HeaderText(const std::vector<std::string>& header) {
  std::string text;
  for (const std::string& line : header) text += "# " + line + "\n";
  return text;
}

}  // namespace

std::filesystem::path EmulationFolder(const std::filesystem::path& machine_root) {
  return machine_root / "emulation";
}

TableFile::TableFile(std::filesystem::path path, std::vector<std::string> header)
    : path_(std::move(path)), header_(std::move(header)) {}

std::string TableFile::EncodeField(std::string_view text) {
  std::string encoded;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F || c == '%' || c == '#') {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      encoded += escape;
    } else {
      encoded += static_cast<char>(c);
    }
  }
  return encoded;
}

std::string TableFile::DecodeField(std::string_view text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
        HexDigitValue(text[i + 2]) >= 0) {
      decoded += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
      i += 2;
    } else {
      decoded += text[i];  // a lone '%' written by hand stays as it is
    }
  }
  return decoded;
}

std::vector<TableFile::Row> TableFile::Read() const {
  const std::optional<std::string> text = ReadFileIfExists(path_);
  return text ? ParseRows(*text) : std::vector<Row>{};
}

std::vector<TableFile::Row> TableFile::ParseRows(std::string_view text) {
  std::vector<Row> rows;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    Row row;
    for (;;) {
      std::size_t tab = line.find('\t');
      row.push_back(DecodeField(line.substr(0, tab)));
      if (tab == std::string_view::npos) break;
      line.remove_prefix(tab + 1);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string TableFile::FormatRow(const Row& row) {
  std::string line;
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i > 0) line += '\t';
    line += EncodeField(row[i]);
  }
  return line + "\n";
}

void TableFile::Update(const std::function<bool(std::vector<Row>& rows)>& change) {
  TableLock lock(path_);
  std::vector<Row> rows = Read();
  if (!change(rows)) return;
  std::string text = HeaderText(header_);
  for (const Row& row : rows) text += FormatRow(row);
  ReplaceFile(path_, text);
}

void TableFile::Append(const Row& row) {
  TableLock lock(path_);
  std::error_code ec;
  bool fresh = !std::filesystem::exists(path_, ec) || std::filesystem::file_size(path_, ec) == 0;
  std::ofstream out(path_, std::ios::binary | std::ios::app);
  if (fresh) out << HeaderText(header_);
  out << FormatRow(row);
  if (!out.flush()) throw PlatformError("cannot append to " + path_.string());
}

}  // namespace nimbra::platform
