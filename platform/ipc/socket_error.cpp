#include "platform/ipc/socket_error.h"

#include <netdb.h>

#include <cerrno>

namespace nimbra::platform {

namespace {

struct WinsockError {
  int code;
  const char* name;
  const char* text;
};

constexpr WinsockError kErrors[] = {
    {kWsaEAccess, "WSAEACCES", "Permission denied"},
    {kWsaEInvalid, "WSAEINVAL", "Invalid argument"},
    {10024, "WSAEMFILE", "Too many open sockets"},
    {10035, "WSAEWOULDBLOCK", "Resource temporarily unavailable"},
    {10047, "WSAEAFNOSUPPORT", "Address family not supported by protocol family"},
    {kWsaEAddrInUse, "WSAEADDRINUSE", "Address already in use"},
    {kWsaEAddrNotAvail, "WSAEADDRNOTAVAIL", "Cannot assign requested address"},
    {kWsaENetUnreach, "WSAENETUNREACH", "Network is unreachable"},
    {kWsaEConnAborted, "WSAECONNABORTED", "Software caused connection abort"},
    {kWsaEConnReset, "WSAECONNRESET", "Connection reset by peer"},
    {10055, "WSAENOBUFS", "No buffer space available"},
    {10056, "WSAEISCONN", "Socket is already connected"},
    {kWsaENotConn, "WSAENOTCONN", "Socket is not connected"},
    {kWsaETimedOut, "WSAETIMEDOUT", "Connection timed out"},
    {kWsaEConnRefused, "WSAECONNREFUSED", "Connection refused"},
    {kWsaEHostUnreach, "WSAEHOSTUNREACH", "No route to host"},
    {kWsaHostNotFound, "WSAHOST_NOT_FOUND", "Host not found"},
    {kWsaTryAgain, "WSATRY_AGAIN", "Non-authoritative host not found"},
    {kWsaNoRecovery, "WSANO_RECOVERY", "This is a non-recoverable error"},
    {kWsaNoData, "WSANO_DATA", "Valid name, no data record of requested type"},
};

const WinsockError* Find(int code) {
  for (const WinsockError& e : kErrors) {
    if (e.code == code) return &e;
  }
  return nullptr;
}

}  // namespace

SocketError::SocketError(int code, const std::string& operation)
    : PlatformError("Socket error " + std::to_string(code) + " (" + WinsockErrorName(code) +
                    "): " + WinsockErrorText(code) + ", on " + operation),
      code_(code) {}

int WinsockErrorFromErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return kWsaEAccess;
    case EINVAL:
      return kWsaEInvalid;
    case EMFILE:
    case ENFILE:
      return 10024;
    case EAGAIN:
      return 10035;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return kWsaEAddrInUse;
    case EADDRNOTAVAIL:
      return kWsaEAddrNotAvail;
    case ENETUNREACH:
    case ENETDOWN:
      return kWsaENetUnreach;
    case ECONNRESET:
    case EPIPE:
      return kWsaEConnReset;
    case ENOBUFS:
    case ENOMEM:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return kWsaENotConn;
    case ETIMEDOUT:
      return kWsaETimedOut;
    case ECONNREFUSED:
      return kWsaEConnRefused;
    case EHOSTUNREACH:
    case EHOSTDOWN:
      return kWsaEHostUnreach;
    default:
      return kWsaEConnAborted;
  }
}

int WinsockErrorFromResolver(int result) {
  switch (result) {
    case EAI_AGAIN:
      return kWsaTryAgain;
    case EAI_FAIL:
      return kWsaNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return kWsaNoData;
#endif
    case EAI_ADDRFAMILY:
      return kWsaNoData;
    default:
      return kWsaHostNotFound;
  }
}

const char* WinsockErrorName(int code) {
  const WinsockError* e = Find(code);
  return e == nullptr ? "WSAE?" : e->name;
}

const char* WinsockErrorText(int code) {
  const WinsockError* e = Find(code);
  return e == nullptr ? "Unknown error" : e->text;
}

}  // namespace nimbra::platform
