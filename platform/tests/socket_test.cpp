#include "platform/ipc/socket.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace nimbra::platform {
namespace {

using Millis = TcpSocket::Millis;

int ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const SocketError& e) {
    return e.Code();
  }
  return 0;
}

TEST(TcpSocket, EchoesLinesOnLoopback) {
  TcpSocket server;
  server.Listen("127.0.0.1", 0);
  std::uint16_t port = server.LocalPort();
  ASSERT_NE(port, 0);
  std::thread peer([&] {
    TcpSocket conn = server.Accept(Millis(5000));
    // Two lines in one packet, then one split across packets.
    conn.Send("220 ready\r\nsecond");
    std::string got = conn.ReadLine(Millis(5000));
    std::this_thread::sleep_for(Millis(20));
    conn.Send(" line\n" + got + "\r\n");
  });
  TcpSocket client;
  client.StartConnect("localhost", port);
  bool connected = false;
  for (int round = 0; round < 500 && !connected; ++round)
    connected = client.PollConnected(Millis(10));
  ASSERT_TRUE(connected);
  EXPECT_EQ(client.ReadLine(Millis(5000)), "220 ready");
  client.SendLine("HELO nimbra");
  EXPECT_EQ(client.ReadLine(Millis(5000)), "second line");
  EXPECT_EQ(client.ReadLine(Millis(5000)), "HELO nimbra");
  peer.join();
  // The peer has gone: nothing more, at once.
  EXPECT_EQ(client.ReadLine(Millis(5000)), "");
}

TEST(TcpSocket, SilentPeerGivesAnEmptyLineAfterTheTimeOut) {
  TcpSocket server;
  server.Listen("127.0.0.1", 0);
  TcpSocket client;
  client.Connect("127.0.0.1", server.LocalPort(), Millis(2000));
  TcpSocket conn = server.Accept(Millis(2000));
  conn.Send("220 partial");  // no line end yet
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client.ReadLine(Millis(150)), "");
  EXPECT_GE(std::chrono::steady_clock::now() - start, Millis(140));
  conn.Send(" done\r\n");
  EXPECT_EQ(client.ReadLine(Millis(2000)), "220 partial done");
}

TEST(TcpSocket, ErrorsCarryWinsockNumbersAndNames) {
  TcpSocket first;
  first.Listen("127.0.0.1", 0);
  std::uint16_t port = first.LocalPort();

  TcpSocket second;
  try {
    second.Listen("127.0.0.1", port);
    FAIL() << "second listener on the same port";
  } catch (const SocketError& e) {
    EXPECT_EQ(e.Code(), kWsaEAddrInUse);
    EXPECT_NE(std::string(e.what()).find("10048"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("WSAEADDRINUSE"), std::string::npos);
  }
  EXPECT_FALSE(second.IsOpen());

  // A port bound but not listening refuses connections.
  TcpSocket bound;
  bound.Listen("127.0.0.1", 0);
  std::uint16_t refused_port = bound.LocalPort();
  bound.Close();
  EXPECT_EQ(ErrorOf([&] { TcpSocket().Connect("127.0.0.1", refused_port, Millis(2000)); }),
            kWsaEConnRefused);

  EXPECT_EQ(ErrorOf([&] { first.Accept(Millis(50)); }), kWsaETimedOut);
  EXPECT_EQ(ErrorOf([] { TcpSocket::Resolve("no-such-host.invalid"); }), kWsaHostNotFound);
  EXPECT_EQ(ErrorOf([] { TcpSocket().Listen("127.0.0.1.5", 0); }), kWsaHostNotFound);
  EXPECT_EQ(ErrorOf([] { TcpSocket().Send("x"); }), kWsaENotConn);
  EXPECT_EQ(TcpSocket::Resolve("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(TcpSocket::Resolve("localhost"), "127.0.0.1");
}

TEST(TcpSocket, ConnectTimesOutWhenTheListenerQueueIsFull) {
  TcpSocket server;
  server.Listen("127.0.0.1", 0, 0);
  std::uint16_t port = server.LocalPort();
  // Fill the accept queue without accepting; later handshakes are dropped.
  std::vector<TcpSocket> queued(4);
  for (TcpSocket& s : queued) s.StartConnect("127.0.0.1", port);
  TcpSocket late;
  int code = ErrorOf([&] { late.Connect("127.0.0.1", port, Millis(300)); });
  if (code == 0) GTEST_SKIP() << "this kernel completed a handshake beyond the queue";
  EXPECT_EQ(code, kWsaETimedOut);
}

}  // namespace
}  // namespace nimbra::platform
