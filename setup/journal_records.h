#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra::setup {

// One operation of an installation journal (docs/install-journal.md), as
// read back from its lines.
struct JournalRecord {
  int number = 0;
  std::string op;
  std::vector<std::string> fields;
  int state = 0;       // 0: begun only, 1: OK, 2: FAILED
  std::string undone;  // how an uninstall took it back; empty while it has not
};

// The journal's lines, CR LF or LF ended (a last line without its end
// counts), empty lines at the end left out.
std::vector<std::string> JournalLines(std::string_view text);

// The records of a journal text; nullopt when the text is not a journal
// (another header, or a line that is no journal line). `uninstalled` is set
// when an uninstall took the whole installation back.
std::optional<std::vector<JournalRecord>> ReadJournalRecords(std::string_view text,
                                                             bool* uninstalled = nullptr);

}  // namespace nimbra::setup
