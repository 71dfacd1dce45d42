#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"

namespace nimbra::setup {

// One step of the installer's ".reg" import ("Update.reg" of the setup
// folder), which reads a subset of the REGEDIT4 format line by line:
//   REGEDIT4                         a header (any line containing it), then one line skipped
//   [HKEY_LOCAL_MACHINE\Software\X]  a key line: at least 19 characters in brackets
//   "name"="text"                    a string value ("\\" and "\"" stand for "\" and """)
//   "name"=dword:0000002a            an integer value, eight hex digits
//   @=...                            the default value: nothing written
//   (empty line)                     the end of the key's values
// After a key's empty line come further key lines or a further header. Any
// other line ends the import (what came before stays written): a key line
// that is too short or unbracketed, a value line shorter than 4 characters
// or without "=". A key under a root other than HKEY_CLASSES_ROOT,
// HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_CURRENT_CONFIG goes under
// HKEY_CURRENT_USER after a warning.
struct RegStep {
  enum class Kind {
    OpenKey,      // open (create) the key
    String,       // write name = text
    Integer,      // write name = number
    RootWarning,  // the key line's root is none of the four
  };
  Kind kind = Kind::OpenKey;
  platform::RootKey root = platform::RootKey::CurrentUser;
  std::string path;
  std::string name;
  std::string text;
  std::int32_t number = 0;
};

// The steps of a ".reg" text, in order. A text whose first line lacks
// "REGEDIT4" gives none.
std::vector<RegStep> ParseUpdateReg(std::string_view text);

}  // namespace nimbra::setup
