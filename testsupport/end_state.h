#pragma once

#include <filesystem>
#include <string>

namespace nimbra::testsupport {

// What an installation left on the machine, written so that two
// installations of the same answers compare equal: every file's content,
// with what differs from run to run by nature left out (times, random key
// material): the key databases as their rows' owners, types, addresses and
// expiry; the journal, the copies of the key step and the queued message
// only by their presence; the programs started as a set.
std::string EndState(const std::filesystem::path& root);

}  // namespace nimbra::testsupport
