#pragma once

// The text of a Windows profile (INI) file, read and edited with the Windows
// profile rules:
//  - "[name]" starts a section (blanks before "[" and around the name are
//    ignored, text after the last "]" too; a "[" line without "]" names the
//    section by the rest of the line); "key=value" lines inside a section are
//    keys, with blanks around key and value ignored; lines before the first
//    section, lines starting with ";" and lines without "=" are kept and
//    ignored;
//  - section and key names are matched without regard to case (Windows-1252
//    letters, see core/strings.h);
//  - the first section of a name is the one read and written; within it the
//    first key of a name; later duplicates stay in the text untouched;
//  - a key that is present, even with an empty value, is not missing.
// Editing keeps every other byte: comments, blank lines, other sections and
// each line's own line end. Changed and new lines take the text's line end
// (that of its first line; CR LF for a text without one).
//
// Any byte sequence is accepted (binary garbage reads as odd lines); nothing
// here fails on input. Names and values that would break the file's line
// structure are refused with ProfileError on writing.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine_error.h"

namespace nimbra::platform {

// A profile write that cannot be done: a name or value that would not read
// back (line breaks, "=" or a leading "[" or ";" in a key, "]" in a section
// name), or a file that cannot be read or saved (the message names the file).
class ProfileError : public PlatformError {
 public:
  using PlatformError::PlatformError;
};

class ProfileText {
 public:
  ProfileText() = default;
  explicit ProfileText(std::string_view content);

  // The whole text, as it would be saved.
  std::string Content() const;
  bool Empty() const { return lines_.empty(); }

  // GetPrivateProfileString: the value without surrounding blanks and with
  // one surrounding pair of matching double or single quotes removed;
  // default_value when the key (or its section) is missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;
  // The value as written (trimmed, quotes kept); nullopt when missing.
  std::optional<std::string> ReadRaw(std::string_view section, std::string_view key) const;
  // Every byte after the "=" up to the line end (blanks and quotes kept), for
  // files whose values are data; nullopt when missing.
  std::optional<std::string> ReadExact(std::string_view section, std::string_view key) const;
  // GetPrivateProfileInt: default_value when the key is missing or its value
  // empty; otherwise the leading decimal number after optional blanks and a
  // sign ("12abc" -> 12, "abc" -> 0), wrapping to 32 bits as Windows does.
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t default_value) const;
  // ReadInteger(section, key, default ? 1 : 0) != 0.
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // Names as written, in file order, each name once (first spelling).
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(std::string_view section) const;
  // "key=value" for each of KeyNames with its ReadString value.
  std::vector<std::string> SectionValues(std::string_view section) const;

  // WritePrivateProfileString: replaces the value of the first key of that
  // name in the first section of that name (the key's spelling and the blanks
  // after "=" kept), or adds "key=value" after the last key line of the
  // section (right after its header when it has none), or adds the section,
  // preceded by an empty line when the text does not end with one, at the end.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int64_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);  // "1" / "0"
  // Removes every line of that key name from the first section of that name
  // (so that no duplicate surfaces afterwards); false when there was none.
  bool DeleteKey(std::string_view section, std::string_view key);
  // Removes every section of that name with all its lines; false when none.
  bool DeleteSection(std::string_view section);

 private:
  struct Line {
    std::string text;  // without the line end
    std::string end;   // "\r\n", "\n" or "" (last line without one)
  };
  struct SectionRange {
    std::size_t header;  // index of the "[...]" line
    std::size_t end;     // one past its last line
  };

  std::optional<SectionRange> FindSection(std::string_view section) const;
  std::optional<std::size_t> FindKey(const SectionRange& range, std::string_view key) const;
  // The text of the key's line, null when the key is missing.
  const std::string* KeyLine(std::string_view section, std::string_view key) const;
  const std::string& NewLineEnd() const;

  std::vector<Line> lines_;
  std::string bom_;  // a UTF-8 byte-order mark the text started with, kept as is
};

}  // namespace nimbra::platform
