#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ipc/socket_error.h"

namespace nimbra::platform {

// A TCP socket over the host's real IPv4 sockets, with a line mode: the
// operations the connection tests and the key-server submission need.
// Every failure raises SocketError carrying the Winsock number.
//
// Connecting is asynchronous, as the wizard polls it while pumping window
// messages: StartConnect begins, PollConnected reports, Connect does both
// with a time-out. Listening sockets reuse addresses the way Windows does
// (an old connection in TIME_WAIT does not block a new listener; another
// live listener on the same address and port does: WSAEADDRINUSE).
class TcpSocket {
 public:
  using Millis = std::chrono::milliseconds;

  TcpSocket() = default;
  ~TcpSocket();
  TcpSocket(TcpSocket&& other) noexcept;
  TcpSocket& operator=(TcpSocket&& other) noexcept;
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // A host name or dotted address to a dotted IPv4 address
  // (WSAHOST_NOT_FOUND 11001 for an unknown name).
  static std::string Resolve(const std::string& host);

  // Begins connecting to a dotted address (or host name, resolved first).
  void StartConnect(const std::string& host, std::uint16_t port);
  // Waits up to `wait` for the connection; true once connected, false while
  // still pending; SocketError when it failed (refused, unreachable).
  bool PollConnected(Millis wait = Millis(0));
  // StartConnect and wait; WSAETIMEDOUT (10060) when not connected in time.
  void Connect(const std::string& host, std::uint16_t port, Millis timeout);
  bool IsConnected() const { return state_ == State::Connected; }

  void Send(std::string_view text);
  // Sends the text followed by CR LF.
  void SendLine(std::string_view line);
  // The next line without its CR LF (or bare LF). Returns what has arrived
  // when the peer closes, and an empty text when nothing complete arrived
  // within the time-out (the partial line stays for the next call).
  std::string ReadLine(Millis timeout);
  // Waits up to `wait` for a whole line (or the peer's close) to be ready
  // for ReadLine, without taking it; a caller that pumps window messages
  // looks with no wait at all between pumps.
  bool LineReady(Millis wait = Millis(0));

  // Binds to a dotted address (or "0.0.0.0") and port (0 picks a free one)
  // and listens.
  void Listen(const std::string& address, std::uint16_t port, int backlog = 5);
  // The next incoming connection; WSAETIMEDOUT when none arrives in time.
  TcpSocket Accept(Millis timeout);
  std::uint16_t LocalPort() const;

  void Close() noexcept;
  bool IsOpen() const { return fd_ >= 0; }

 private:
  enum class State { Closed, Connecting, Connected, Listening };
  explicit TcpSocket(int connected_fd);
  void Open(const char* operation);
  // poll() for the events; false on time-out.
  bool Wait(short events, Millis timeout, const char* operation);

  int fd_ = -1;
  State state_ = State::Closed;
  std::string pending_;  // bytes received after the last line returned
  bool peer_closed_ = false;
};

}  // namespace nimbra::platform
