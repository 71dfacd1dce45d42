#include <gtest/gtest.h>

#include "keys/tests/crypto_fixture.h"
#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"

namespace nimbra::keys {
namespace {

using testsupport::CommandResult;
using testsupport::ShellQuote;

class KeysToolTest : public test::CryptoFixture {
 protected:
  static CommandResult Tool(testsupport::TestMachine& machine, const std::string& arguments,
                            const std::string& input = "") {
    const std::string program = ShellQuote(testsupport::BuiltProgram("nimbra-keys").string());
    const std::string command =
        program + " --machine " + ShellQuote(machine.Root().string()) + " --user Ann " + arguments;
    return testsupport::RunCommand(
        input.empty() ? command : "printf '%s\\n' " + ShellQuote(input) + " | " + command);
  }
};

TEST_F(KeysToolTest, ExportedKeysImportOnASecondMachine) {
  ASSERT_TRUE(crypto->CreateKey(0, TNimbraMGR::kVrxStrong, "01/02/2030", "Default",
                                {"ann@x.example"}, 1, "Ann", "", "Ann"));
  const std::string vrxId = crypto->currentKey.keyId;
  ASSERT_TRUE(crypto->CreateKey(0, TNimbraMGR::kDsaSigning, "01/02/2030", "Default",
                                {"ann@x.example"}, 1, "Ann", "", "Ann"));
  const std::string dsaId = crypto->currentKey.keyId;
  crypto.reset();
  CloseAllTables();

  const CommandResult list = Tool(m, "--password a list");
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find("own\t" + vrxId + "\tVRX\tAnn\tann@x.example\t01/02/2030\t"),
            std::string::npos);
  EXPECT_NE(list.out.find("recipient\t" + dsaId + "\tDSA\tAnn\t"), std::string::npos);
  const CommandResult show = Tool(m, "show " + vrxId, "a");  // password from standard input
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_NE(show.out.find("VERSION: VRX Strong -1\n"), std::string::npos);
  EXPECT_NE(show.out.find("ENTITY_GROUP_NAME: Personal\n"), std::string::npos);

  testsupport::TempFolder files("export");
  std::string exported;
  for (const std::string& id : {vrxId, dsaId}) {
    const CommandResult out = Tool(m, "--password a export " + id);
    ASSERT_EQ(out.status, 0) << out.err;
    exported += out.out;
  }
  testsupport::WriteText(files.Path() / "keys.txt", exported);

  testsupport::TestMachine other;
  InstallProduct(other);
  const CommandResult imported =
      Tool(other, "--password a import " + ShellQuote((files.Path() / "keys.txt").string()));
  ASSERT_EQ(imported.status, 0) << imported.err;
  EXPECT_NE(imported.out.find("Detected New VRX NimbraPost Key Ann/VRX-" + vrxId),
            std::string::npos);
  EXPECT_NE(imported.out.find("The signature key is a root key signed by itself."),
            std::string::npos);
  const CommandResult again =
      Tool(other, "--password a import " + ShellQuote((files.Path() / "keys.txt").string()));
  EXPECT_NE(again.out.find("Detected Existing VRX NimbraPost Key"), std::string::npos);
  const CommandResult listed = Tool(other, "--password a list");
  EXPECT_NE(listed.out.find("recipient\t" + vrxId + "\tVRX\tAnn\t"), std::string::npos);
  EXPECT_EQ(listed.out.find("own\t"), std::string::npos);
}

TEST_F(KeysToolTest, ErrorsExitWithTwoAndOneLine) {
  crypto.reset();
  for (const std::string& arguments :
       {std::string("--password wrong list"), std::string("--password a show NOSUCHKEY"),
        std::string("--password a export NOSUCHKEY"), std::string("--password a import /no/file"),
        std::string("--password a frobnicate"), std::string("--password a show")}) {
    const CommandResult result = Tool(m, arguments);
    EXPECT_EQ(result.status, 2) << arguments;
    EXPECT_EQ(result.out, "") << arguments;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << arguments;
  }
}

}  // namespace
}  // namespace nimbra::keys
