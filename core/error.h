#pragma once

#include <stdexcept>
#include <string>

namespace nimbra {

// Root of every exception the system raises. Each library derives its own
// root from this one so that callers can catch by area.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// Raised by streams for a failed ReadBuffer/WriteBuffer, a file that cannot be
// opened, or a seek outside the stream.
class StreamError : public Exception {
 public:
  using Exception::Exception;
};

// Raised when a text cannot be converted: bad hexadecimal or base64 input,
// an invalid date, a number out of range. The message quotes the text.
class ConvertError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace nimbra
