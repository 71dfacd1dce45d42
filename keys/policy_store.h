#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
  // Where the store's writes go: by default into the file, one atomic save
  // per policy or rule; an installation routes them through its journaled
  // INI operation instead.
  using KeyWriter = std::function<void(const std::string& section, const std::string& key,
                                       const std::string& value)>;

  explicit PolicyStore(std::string usersFileHostPath, KeyWriter writer = {})
      : path_(std::move(usersFileHostPath)), writer_(std::move(writer)) {}

  std::optional<Policy> FindPolicy(std::string_view name) const;
  void AddPolicy(const Policy& policy);
  std::optional<MailRule> FindMailRule(std::string_view pattern) const;
  void AddMailRule(const MailRule& rule);

 private:
  void Write(const std::string& section,
             const std::vector<std::pair<std::string, std::string>>& values);

  std::string path_;
  KeyWriter writer_;
};

}  // namespace nimbra::keys
