#include "ui/event_log.h"

#include <cstdio>

#include "core/error.h"

namespace nimbra::ui {

EventLog::EventLog(const std::string& path) : file_(std::fopen(path.c_str(), "ab")) {
  if (!file_) throw Exception("Cannot open the log file " + path);
}

EventLog::~EventLog() {
  if (file_) std::fclose(file_);
}

void EventLog::Write(std::string_view line) {
  std::string escaped = Escape(line);
  if (file_) {
    std::fwrite(escaped.data(), 1, escaped.size(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
  }
  lines_.push_back(std::move(escaped));
}

std::string EventLog::Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7f) {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace nimbra::ui
