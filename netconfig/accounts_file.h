#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nimbra::netconfig {

// One user of an accounts file: a name, a TAB and the user's addresses. A
// line without a TAB has no name; the whole line is its addresses.
struct AccountLine {
  std::string name;
  std::string addresses;
};

// The lines of an accounts file in order. Lines end in CR LF, LF or CR; a
// final line end does not start another line.
std::vector<AccountLine> ParseAccountsFile(std::string_view text);

}  // namespace nimbra::netconfig
