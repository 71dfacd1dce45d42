#pragma once

#include <gtest/gtest.h>

#include <string>

#include "keys/tests/temp_dir.h"
#include "testsupport/run_program.h"

namespace nimbra::keys::test {

// Runs Python's email package over a message file (its first two lines, the
// recipient and the empty line, dropped) and returns what the script prints;
// the script sees the parsed message as msg.
inline std::string ParseWithPython(const TempDir& dir, const std::string& file,
                                   const std::string& script) {
  dir.Write("check.py",
            "import sys, email, email.policy\n"
            "raw = open(sys.argv[1], 'rb').read().split(b'\\r\\n', 2)[2]\n"
            "msg = email.message_from_bytes(raw, policy=email.policy.compat32)\n" +
                script);
  auto result = testsupport::RunCommand("python3 " + testsupport::ShellQuote(dir / "check.py") +
                                        " " + testsupport::ShellQuote(dir / file));
  EXPECT_EQ(result.status, 0) << result.err;
  return result.out;
}

}  // namespace nimbra::keys::test
