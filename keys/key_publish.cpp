#include "keys/key_publish.h"

#include <chrono>

#include "keys/keys_error.h"
#include "keys/nimbra_crypto.h"
#include "platform/ipc/socket.h"
#include "platform/profile/profile_file.h"
#include "ui/ui.h"

namespace nimbra::keys {
namespace {

// One server's submission; raises on every failure.
void Submit(platform::TcpSocket& socket, const std::string& server, const KeyServerWaits& waits,
            ui::Ui& ui, const std::vector<std::string>& form) {
  using Clock = std::chrono::steady_clock;
  socket.StartConnect(server, waits.port);
  const auto deadline = Clock::now() + waits.connect;
  // The wizard keeps its window alive while the connection is made.
  while (!socket.PollConnected(std::chrono::milliseconds(20))) {
    ui.ProcessMessages();
    if (Clock::now() >= deadline) throw EKeysError("no connection to " + server);
  }
  std::string greeting;
  for (;;) {
    const std::string line = socket.ReadLine(waits.greetingLine);
    greeting += line;
    if (line.size() < 4 || line[3] != '-') break;
  }
  if (greeting.find("220") == std::string::npos)
    throw EKeysError("Server Returned on server Connect while using Relay " + greeting);
  for (const std::string& line : form) socket.SendLine(line);
  socket.ReadLine(waits.answer);
}

}  // namespace

void TNimbraCrypto::PublishKey(const KeyRecord& key, const std::string& publicKey1,
                               const std::string& publicKey2) {
  if (wsIni_.empty()) LoadGeneralSettings();
  const std::string host = Host(wsIni_);
  if (host.empty()) return;
  platform::ProfileFile ws(host);
  const std::vector<std::string> form = SubmissionForm(key, publicKey1, publicKey2);
  for (const char* name : {"Server1", "Server2"}) {
    const std::string server = ws.ReadString("KeyServer", name, "");
    if (server.empty()) continue;
    platform::TcpSocket socket;
    try {
      Submit(socket, server, keyServerWaits, ui_, form);
    } catch (const std::exception&) {
      // Submission errors are not the user's concern: the key stays stored.
    }
    socket.Close();
  }
}

}  // namespace nimbra::keys
