#include "platform/ipc/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace nimbra::platform {

namespace {

[[noreturn]] void Fail(int error, const char* operation) {
  throw SocketError(WinsockErrorFromErrno(error), operation);
}

sockaddr_in Address(const std::string& dotted, std::uint16_t port, const char* operation) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (inet_pton(AF_INET, dotted.c_str(), &address.sin_addr) != 1) {
    throw SocketError(kWsaEInvalid, operation);
  }
  return address;
}

}  // namespace

TcpSocket::TcpSocket(int connected_fd) : fd_(connected_fd), state_(State::Connected) {}

TcpSocket::~TcpSocket() {
  Close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      state_(std::exchange(other.state_, State::Closed)),
      pending_(std::move(other.pending_)),
      peer_closed_(other.peer_closed_) {}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    state_ = std::exchange(other.state_, State::Closed);
    pending_ = std::move(other.pending_);
    peer_closed_ = other.peer_closed_;
  }
  return *this;
}

std::string TcpSocket::Resolve(const std::string& host) {
  in_addr dotted{};
  if (inet_pton(AF_INET, host.c_str(), &dotted) == 1) return host;
  if (host.empty()) throw SocketError(kWsaHostNotFound, "resolve");
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (result != 0 || found == nullptr) {
    throw SocketError(WinsockErrorFromResolver(result), "resolve " + host);
  }
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
  freeaddrinfo(found);
  return text;
}

void TcpSocket::Open(const char* operation) {
  Close();
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) Fail(errno, operation);
}

bool TcpSocket::Wait(short events, Millis timeout, const char* operation) {
  pollfd entry{fd_, events, 0};
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto left = std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
    int ready = ::poll(&entry, 1, static_cast<int>(std::max<Millis::rep>(left.count(), 0)));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) Fail(errno, operation);
  }
}

void TcpSocket::StartConnect(const std::string& host, std::uint16_t port) {
  sockaddr_in address = Address(Resolve(host), port, "connect");
  Open("connect");
  pending_.clear();
  peer_closed_ = false;
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    state_ = State::Connected;
    return;
  }
  if (errno != EINPROGRESS) {
    int error = errno;
    Close();
    Fail(error, "connect");
  }
  state_ = State::Connecting;
}

bool TcpSocket::PollConnected(Millis wait) {
  if (state_ == State::Connected) return true;
  if (state_ != State::Connecting) throw SocketError(kWsaENotConn, "connect");
  if (!Wait(POLLOUT, wait, "connect")) return false;
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  if (error != 0) {
    Close();
    Fail(error, "connect");
  }
  state_ = State::Connected;
  return true;
}

void TcpSocket::Connect(const std::string& host, std::uint16_t port, Millis timeout) {
  StartConnect(host, port);
  if (!PollConnected(timeout)) {
    Close();
    throw SocketError(kWsaETimedOut, "connect");
  }
}

void TcpSocket::Send(std::string_view text) {
  if (state_ != State::Connected) throw SocketError(kWsaENotConn, "send");
  while (!text.empty()) {
    ssize_t sent = ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        // The peer does not read: give up after a while rather than hang.
        if (!Wait(POLLOUT, Millis(30000), "send")) throw SocketError(kWsaETimedOut, "send");
        continue;
      }
      Fail(errno, "send");
    }
    text.remove_prefix(static_cast<std::size_t>(sent));
  }
}

void TcpSocket::SendLine(std::string_view line) {
  std::string text(line);
  text += "\r\n";
  Send(text);
}

bool TcpSocket::LineReady(Millis wait) {
  if (state_ != State::Connected) throw SocketError(kWsaENotConn, "recv");
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (pending_.find('\n') == std::string::npos && !peer_closed_) {
    auto left = std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
    if (!Wait(POLLIN, std::max(left, Millis(0)), "recv")) return false;
    char buffer[4096];
    ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      Fail(errno, "recv");
    }
    if (got == 0) peer_closed_ = true;
    pending_.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

std::string TcpSocket::ReadLine(Millis timeout) {
  if (!LineReady(timeout)) return {};
  const std::size_t end = pending_.find('\n');
  if (end == std::string::npos) return std::exchange(pending_, std::string());
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void TcpSocket::Listen(const std::string& address, std::uint16_t port, int backlog) {
  sockaddr_in local = Address(Resolve(address), port, "bind");
  Open("bind");
  int yes = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    int error = errno;
    Close();
    Fail(error, "bind");
  }
  if (::listen(fd_, backlog) != 0) {
    int error = errno;
    Close();
    Fail(error, "listen");
  }
  state_ = State::Listening;
}

TcpSocket TcpSocket::Accept(Millis timeout) {
  if (state_ != State::Listening) throw SocketError(kWsaEInvalid, "accept");
  for (;;) {
    if (!Wait(POLLIN, timeout, "accept")) throw SocketError(kWsaETimedOut, "accept");
    int client = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client >= 0) return TcpSocket(client);
    if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) Fail(errno, "accept");
  }
}

std::uint16_t TcpSocket::LocalPort() const {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (fd_ < 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  return ntohs(local.sin_port);
}

void TcpSocket::Close() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  state_ = State::Closed;
}

}  // namespace nimbra::platform
