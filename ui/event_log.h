#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra::ui {

// The run's event log: one line per event ("PAGE TabSheet12",
// "MESSAGE <text>", "QUESTION <id> <text> -> <answer>", and what each
// installation step did). Texts are escaped so that one event stays one line.
class EventLog {
 public:
  EventLog() = default;
  // Appends to the host file `path` as well as keeping the lines in memory.
  explicit EventLog(const std::string& path);
  ~EventLog();
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  void Write(std::string_view line);
  const std::vector<std::string>& Lines() const { return lines_; }

  // CR as "\r", LF as "\n", other control bytes as "\xHH"; backslashes of
  // Windows paths stay as they are.
  static std::string Escape(std::string_view text);

 private:
  std::FILE* file_ = nullptr;
  std::vector<std::string> lines_;
};

}  // namespace nimbra::ui
