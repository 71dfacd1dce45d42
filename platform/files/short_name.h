#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nimbra::platform {

// 8.3 short names as Windows makes them.

// True when name already is a valid 8.3 name (1-8 characters, optionally a
// dot and 1-3 more, no blanks, no characters 8.3 names forbid); case does
// not matter.
bool FitsEightDotThree(std::string_view name);

// Short names of every entry of one folder, in the order of names. A name
// that fits 8.3 is its own short name, upper-cased. Every other name gets
// the first six valid characters of its base, upper-cased, "~" and a
// number, and the first three valid characters of its last extension;
// numbers count from 1 per base and extension, in name order (without
// regard to case), skipping aliases already taken by other entries. From
// ~10 on the base is cut further so the alias stays 8 characters.
std::vector<std::string> ShortNamesForFolder(const std::vector<std::string>& names);

}  // namespace nimbra::platform
