// Feeds arbitrary text to the reader of the emulation's tables (journal,
// exit codes, windows, services); whatever it reads must be written and read
// back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/processes/process_table_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using nimbra::platform::TableFile;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<TableFile::Row> rows = TableFile::ParseRows(text);
  std::string written;
  for (const TableFile::Row& row : rows) written += TableFile::FormatRow(row);
  if (TableFile::ParseRows(written) != rows) std::abort();
  return 0;
}
