#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nimbra::keys {

// A user policy: what the product does with a user's mail. Stored in the
// users file, section "POLICY:" + name.
struct Policy {
  std::string name;
  bool keyHeaders = true;      // "KeyHeaders": add the key header lines to outgoing mail
  std::string fixedSender;     // "FixedSender": sender address used instead of the given one
  bool decryptNotify = false;  // "DecryptNotify": ask for decryption notices
  int compression = 1;         // "Compression": 0 never, 1 always, 2 up to CompressLimit bytes
  int compressLimit = 0;       // "CompressLimit"
  bool mayEncrypt = true;      // "Encrypt"
};

// A mail rule: what the product does with mail to addresses matching a
// pattern. Stored in the users file, section "MAILRULE:" + pattern.
struct MailRule {
  std::string pattern;             // "*@*"
  std::string ruleName;            // "RuleName"
  std::string inPolicyFile;        // "InPolicy": incoming content policy file
  std::string outPolicyFile;       // "OutPolicy": outgoing content policy file
  std::string timeStamp;           // "TimeStamp"
  std::string action = "Encrypt";  // "Action": Encrypt, Sign, Plain
  bool enabled = true;             // "Enabled"
};

// The key component's store of policies and mail rules in one users file
// (a host path). Names and patterns are matched without regard to case.
class PolicyStore {
 public:
  explicit PolicyStore(std::string usersFileHostPath) : path_(std::move(usersFileHostPath)) {}

  std::optional<Policy> FindPolicy(std::string_view name) const;
  void AddPolicy(const Policy& policy);
  std::optional<MailRule> FindMailRule(std::string_view pattern) const;
  void AddMailRule(const MailRule& rule);

 private:
  std::string path_;
};

}  // namespace nimbra::keys
