#include "keys/key_publish.h"

#include <gtest/gtest.h>

#include <thread>

#include "keys/key_texts.h"
#include "keys/tests/crypto_fixture.h"
#include "platform/ipc/socket.h"

namespace nimbra::keys {
namespace {

using namespace std::chrono_literals;

// A key server on loopback that plays one connection: it sends the greeting
// lines (none for a slow server), then, unless it closes at once, records
// every line until "QUIT" and answers after the final ".".
class LoopbackServer {
 public:
  LoopbackServer(std::vector<std::string> greeting, bool closeAtOnce = false) {
    listener_.Listen("127.0.0.1", 0);
    thread_ = std::thread([this, greeting, closeAtOnce] {
      try {
        platform::TcpSocket peer = listener_.Accept(5s);
        if (closeAtOnce) return;
        for (const std::string& line : greeting) peer.SendLine(line);
        for (int i = 0; i < 100; ++i) {
          const std::string line = peer.ReadLine(2s);
          if (line.empty()) break;
          received.push_back(line);
          if (line == ".") peer.SendLine("250 stored");
          if (line == "QUIT") break;
        }
      } catch (const std::exception&) {
      }
    });
  }
  ~LoopbackServer() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  std::uint16_t Port() const { return listener_.LocalPort(); }

  std::vector<std::string> received;

 private:
  platform::TcpSocket listener_;
  std::thread thread_;
};

class KeyPublishTest : public test::CryptoFixture {
 protected:
  KeyPublishTest() {
    key.entityName = "Ann";
    key.entityGroupName = "Personal";
    key.keyId = "1234abcd";
    key.containerType = "VRX";
    key.version = "VRX Strong -1";
    key.aliases = "ann@x.example";
    key.expires = DateTime::Date(2030, 2, 1);
    key.signingKey = std::string(75, 'S');
    key.signatureId = "CA01";
  }
  void Publish(LoopbackServer& server) {
    WriteWsIni("[KeyServer]\r\nServer1=127.0.0.1\r\n");
    crypto->keyServerWaits = {1s, 300ms, 300ms, server.Port()};
    crypto->PublishKey(key, "ABCD", "EFGH");
    server.Join();
  }
  KeyRecord key;
};

TEST_F(KeyPublishTest, SubmissionFollowsAMultiLineGreeting) {
  LoopbackServer server({"220-keys.example", "220-welcome", "220 ready"});
  Publish(server);
  const std::vector<std::string> expected = {"Nimbra Save:",
                                             "VRX-PUBLIC-KEY",
                                             "DARO-VRX-PKYN:Ann",
                                             "DARO-VRX-PKYG: Personal",
                                             "DARO-VRX-PKYA:ann@x.example",
                                             "DARO-VRX-PKYE:01/02/2030",
                                             "DARO-VRX-PKYR:1234abcd",
                                             "DARO-VRX-PKY1:ABCD",
                                             "DARO-VRX-PKY2:EFGH",
                                             "DARO-VRX-VERS:VRX Strong -1",
                                             "DARO-VRX-XID1:" + std::string(70, 'S'),
                                             "DARO-VRX-XID2:SSSSS",
                                             "DARO-VRX-XDSA:CA01",
                                             "KEY-END",
                                             ".",
                                             "QUIT"};
  EXPECT_EQ(server.received, expected);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(KeyPublishTest, FailingServersGetNoSubmissionAndNoMessage) {
  LoopbackServer refusing({"554 no submissions here"});
  Publish(refusing);
  EXPECT_TRUE(refusing.received.empty());
  LoopbackServer slow({});
  const auto start = std::chrono::steady_clock::now();
  Publish(slow);
  EXPECT_TRUE(slow.received.empty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);  // the shortened wait, not 15 s
  LoopbackServer closing({}, true);
  Publish(closing);
  // Nobody listens any more: the connection is refused.
  crypto->PublishKey(key, "ABCD", "EFGH");
  EXPECT_TRUE(ui.messages.empty());
}

TEST(KeyHeaderLines, LongPublicKeysAreSplitAt232Characters) {
  const std::string exactly(232, 'A');
  EXPECT_EQ(PublicKeyLines(exactly, exactly, " ").size(), 2u);
  const std::string longer = std::string(200, 'A') + std::string(33, 'B');
  const std::vector<std::string> lines = PublicKeyLines(longer, std::string(233, 'C'), " ");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "DARO-VRX-PKY1: " + std::string(200, 'A'));
  EXPECT_EQ(lines[2], "DARO-VRX-PKY3: " + std::string(33, 'B'));
  EXPECT_EQ(lines[3], "DARO-VRX-PKY4: " + std::string(33, 'C'));
}

TEST_F(KeyPublishTest, HeadersCarryTheSendersOwnKeyAndReadBack) {
  const LetterTexts letters = test::EnginePublicKey(0x61);
  key.block1 = {};
  {
    TKeysDB db;
    ASSERT_TRUE(crypto->OpenOwnKeys(db));
    key.version = "VRX Strong";
    key.keyClass = 1;
    key.showSubject = key.dsaSigning = true;
    key.signingKey.clear();
    db.SetPublicFromLetters(key, letters.first, letters.second);
    ASSERT_TRUE(db.WriteKey(key));
  }
  MemoryStream none;
  EXPECT_FALSE(crypto->WriteKeyHeaders(none, "bob@y.example"));
  EXPECT_EQ(std::string(none.Data().begin(), none.Data().end()),
            "X-NIMBRAPOST: No Private Key for bob@y.example\r\n");
  MemoryStream stream;
  ASSERT_TRUE(crypto->WriteKeyHeaders(stream, "ann@x.example"));
  const std::string text(stream.Data().begin(), stream.Data().end());
  EXPECT_EQ(text.substr(0, text.find("DARO-VRX-PKY1")),
            "DARO-VRX-PKYN: Ann/1234abcd\r\nDARO-VRX-PKYG: Personal\r\n"
            "DARO-VRX-PKYA: ann@x.example\r\nDARO-VRX-PKYE: 01/02/2030\r\n"
            "DARO-VRX-PKYR: 1234abcd\r\n");
  EXPECT_NE(text.find("DARO-VRX-VERS: VRX Strong-1 [ !M =D =S]\r\n"), std::string::npos);
  // The header lines import as the same key on the recipient's side.
  crypto->ImportKeyText(Lines(text));
  KeyRecord imported;
  ASSERT_TRUE(ReadRecipient("1234abcd", imported));
  EXPECT_EQ(imported.displayLabel, "Ann/1234abcd");
  EXPECT_TRUE(imported.dsaSigning && imported.showSubject && !imported.multiRecip);
}

}  // namespace
}  // namespace nimbra::keys
