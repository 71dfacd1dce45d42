#pragma once

#include <string>
#include <string_view>

namespace nimbra::setup {

// Location normalisation of the location pages: append "\", keep the first
// two characters as they are (so that a leading "\\" of a network path
// survives) and collapse every doubled backslash in the rest; the result ends
// with exactly one "\".
std::string NormalisePath(std::string_view location);

// Moves a location to the drive of `programLocation`: when the location holds
// a ":", the text after its first ":" is prefixed with the first two
// characters of the program location. A location without ":" (a network
// path) is returned as it is.
std::string MoveToDrive(std::string_view location, std::string_view programLocation);

// The directory part of a Windows file path with a trailing "\"
// ("C:\A\b.txt" -> "C:\A\"); a path without "\" gives "".
std::string DirectoryOf(std::string_view path);

}  // namespace nimbra::setup
