#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra::detect {

// One preference set in a "prefs.js" file: user_pref("name", value);
struct UserPref {
  std::string name;
  // The value when it is a string: the text between its quotes with the
  // escapes undone (\" \\ \' \n \r \t \xHH, \uHHHH as the ANSI byte, or "?"
  // beyond it); nullopt when the value is not a string.
  std::optional<std::string> value;
};

// The user_pref calls of a prefs.js text, in file order, at most one per
// line (the first). Lines end in CR LF, LF or CR; "//" comments and "/* */"
// comments (across lines too) are not read, except inside strings. Bytes are
// kept as they are (the file is in the ANSI code page). A line that holds no
// call, or a call without a quoted name, is skipped.
std::vector<UserPref> ReadUserPrefs(std::string_view text);

// The text with every line for which `replace` gives a new line replaced by
// it; every other byte (line ends, comments, order) stays as it was.
// `replace` is given the line's code, without its comments, and lines that
// are only comment are never offered, so a preference commented out stays
// so.
std::string ReplacePrefsLines(
    std::string_view text,
    const std::function<std::optional<std::string>(std::string_view code)>& replace);

// A text as the content of a prefs.js string literal: "\" and the double
// quote escaped, so that ReadUserPrefs reads the text back.
std::string PrefsStringContent(std::string_view text);

}  // namespace nimbra::detect
