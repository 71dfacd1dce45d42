// The installation journal's reader, as an uninstall reads a journal: any
// bytes are handled without a fault; every record read has a positive
// number; a field written escaped reads back as it was; and a journal
// written from the records read (begun, done and undone lines) reads back
// to the same records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "setup/install_ops.h"
#include "setup/journal_records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using nimbra::setup::InstallJournal;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (InstallJournal::UnescapeField(InstallJournal::EscapeField(input)) != input) std::abort();
  bool uninstalled = false;
  const auto records = nimbra::setup::ReadJournalRecords(input, &uninstalled);
  if (!records) return 0;
  std::string again = std::string(InstallJournal::kHeader) + "\r\n";
  for (const auto& r : *records) {
    if (r.number <= 0 || r.state < 0 || r.state > 2) std::abort();
    std::string line = "B\t" + std::to_string(r.number) + "\t" + InstallJournal::EscapeField(r.op);
    for (const auto& field : r.fields) line += "\t" + InstallJournal::EscapeField(field);
    again += line + "\r\n";
    if (r.state != 0) {
      again += "D\t" + std::to_string(r.number) + (r.state == 1 ? "\tOK\r\n" : "\tFAILED\r\n");
    }
    if (!r.undone.empty()) {
      again +=
          "U\t" + std::to_string(r.number) + "\t" + InstallJournal::EscapeField(r.undone) + "\r\n";
    }
  }
  if (uninstalled) again += "U\t0\tEND\r\n";
  bool uninstalledAgain = false;
  const auto reread = nimbra::setup::ReadJournalRecords(again, &uninstalledAgain);
  if (!reread || uninstalledAgain != uninstalled || reread->size() != records->size()) std::abort();
  for (std::size_t i = 0; i < records->size(); ++i) {
    const auto& a = (*records)[i];
    const auto& b = (*reread)[i];
    if (a.op != b.op || a.fields != b.fields || a.state != b.state || a.undone != b.undone)
      std::abort();
  }
  return 0;
}
