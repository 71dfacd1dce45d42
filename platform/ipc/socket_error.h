#pragma once

#include <string>

#include "platform/machine_error.h"

namespace nimbra::platform {

// Winsock error numbers the socket component reports.
inline constexpr int kWsaEAccess = 10013;
inline constexpr int kWsaEInvalid = 10022;
inline constexpr int kWsaEAddrInUse = 10048;
inline constexpr int kWsaEAddrNotAvail = 10049;
inline constexpr int kWsaENetUnreach = 10051;
inline constexpr int kWsaEConnAborted = 10053;
inline constexpr int kWsaEConnReset = 10054;
inline constexpr int kWsaENotConn = 10057;
inline constexpr int kWsaETimedOut = 10060;
inline constexpr int kWsaEConnRefused = 10061;
inline constexpr int kWsaEHostUnreach = 10065;
inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaTryAgain = 11002;
inline constexpr int kWsaNoRecovery = 11003;
inline constexpr int kWsaNoData = 11004;

// A failed socket operation. The message carries the Winsock number, its
// name and text and the operation, e.g.
//   "Socket error 10048 (WSAEADDRINUSE): Address already in use, on bind"
// so that callers that look for "10048" in the text find it.
class SocketError : public PlatformError {
 public:
  SocketError(int code, const std::string& operation);
  int Code() const { return code_; }

 private:
  int code_;
};

// The Winsock number for a POSIX errno value; values without a Winsock
// counterpart give WSAECONNABORTED (10053).
int WinsockErrorFromErrno(int error);
// The Winsock number for a getaddrinfo() result.
int WinsockErrorFromResolver(int result);
// "WSAEADDRINUSE" and "Address already in use" for 10048, and so on.
const char* WinsockErrorName(int code);
const char* WinsockErrorText(int code);

}  // namespace nimbra::platform
