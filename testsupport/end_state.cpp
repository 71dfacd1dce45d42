#include "testsupport/end_state.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "testsupport/run_program.h"

namespace nimbra::testsupport {

std::string EndState(const std::filesystem::path& root) {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), root).string());
  }
  std::sort(files.begin(), files.end());
  std::ostringstream out;
  for (const std::string& name : files) {
    const fs::path path = root / name;
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    out << "== " << name << "\n";
    if (name.ends_with(".DAT")) {
      const std::string table = path.filename().string();
      out << RunCommand("sqlite3 '" + path.string() + "' 'select ENTITY_NAME, " +
                        "KEY_CONTAINER_TYPE, VERSION, EXPIRES from [" + table +
                        "] order by 1, 2, 3; select URL, KEY_TYPE from [URL" + table +
                        "] order by 1, 2'")
                 .out;
    } else if (name.ends_with(".lnk")) {
      // A link file keeps its target's times (bytes 28 to 51 of its header).
      if (text.size() >= 52) text.replace(28, 24, 24, '\0');
      out << text << "\n";
    } else if (name.ends_with(".reg")) {
      std::istringstream lines(text);
      for (std::string line; std::getline(lines, line);) {
        // A key's line ends in its time, and so does the line after it.
        if (line.rfind("#time=", 0) == 0) line = "#time=";
        if (line.rfind("[", 0) == 0) line = line.substr(0, line.rfind(']') + 1);
        out << line << "\n";
      }
    } else if (name.ends_with("process-journal.txt")) {
      std::set<std::string> started;
      std::istringstream lines(text);
      for (std::string line; std::getline(lines, line);)
        started.insert(line.substr(std::min(line.size(), line.find('\t'))));
      for (const auto& line : started) out << line << "\n";
    } else if (name.ends_with("Install.jnl") || name.find("KeysBefore") != std::string::npos ||
               name.ends_with(".msg") || name.ends_with(".DAT.ini") ||
               name.ends_with("DEBUG.TXT") || name.ends_with("registry.commit") ||
               name.ends_with(".lock")) {
      // present
    } else {
      for (std::size_t at = text.find("TimeStamp="); at != std::string::npos;
           at = text.find("TimeStamp=", at + 1)) {
        std::size_t end = at + 10;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
        text.erase(at + 10, end - at - 10);
      }
      // Sealed values (passwords, levels) hold random data: letters A to P.
      std::istringstream lines(text);
      for (std::string line; std::getline(lines, line);) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos && line.size() - eq > 40 &&
            line.find_first_not_of("ABCDEFGHIJKLMNOP\r", eq + 1) == std::string::npos)
          line = line.substr(0, eq + 1) + "(sealed)";
        out << line << "\n";
      }
    }
  }
  return out.str();
}

}  // namespace nimbra::testsupport
