#include "keys/policy_store.h"

#include "platform/profile/profile_file.h"

namespace nimbra::keys {

namespace {
std::string PolicySection(std::string_view name) {
  return "POLICY:" + std::string(name);
}
std::string RuleSection(std::string_view pattern) {
  return "MAILRULE:" + std::string(pattern);
}
}  // namespace

std::optional<Policy> PolicyStore::FindPolicy(std::string_view name) const {
  platform::ProfileFile file(path_);
  const std::string section = PolicySection(name);
  if (!file.SectionExists(section)) return std::nullopt;
  Policy policy;
  policy.name = std::string(name);
  policy.keyHeaders = file.ReadBool(section, "KeyHeaders", true);
  policy.fixedSender = file.ReadString(section, "FixedSender", "");
  policy.decryptNotify = file.ReadBool(section, "DecryptNotify", false);
  policy.compression = file.ReadInteger(section, "Compression", 1);
  policy.compressLimit = file.ReadInteger(section, "CompressLimit", 0);
  policy.mayEncrypt = file.ReadBool(section, "Encrypt", true);
  return policy;
}

void PolicyStore::Write(const std::string& section,
                        const std::vector<std::pair<std::string, std::string>>& values) {
  if (writer_) {
    for (const auto& [key, value] : values) writer_(section, key, value);
    return;
  }
  platform::ProfileFile file(path_);
  platform::ProfileBatch batch(file);
  for (const auto& [key, value] : values) file.WriteString(section, key, value);
  batch.Commit();
}

void PolicyStore::AddPolicy(const Policy& policy) {
  auto flag = [](bool value) { return std::string(value ? "1" : "0"); };
  Write(PolicySection(policy.name), {{"KeyHeaders", flag(policy.keyHeaders)},
                                     {"FixedSender", policy.fixedSender},
                                     {"DecryptNotify", flag(policy.decryptNotify)},
                                     {"Compression", std::to_string(policy.compression)},
                                     {"CompressLimit", std::to_string(policy.compressLimit)},
                                     {"Encrypt", flag(policy.mayEncrypt)}});
}

std::optional<MailRule> PolicyStore::FindMailRule(std::string_view pattern) const {
  platform::ProfileFile file(path_);
  const std::string section = RuleSection(pattern);
  if (!file.SectionExists(section)) return std::nullopt;
  MailRule rule;
  rule.pattern = std::string(pattern);
  rule.ruleName = file.ReadString(section, "RuleName", "");
  rule.inPolicyFile = file.ReadString(section, "InPolicy", "");
  rule.outPolicyFile = file.ReadString(section, "OutPolicy", "");
  rule.timeStamp = file.ReadString(section, "TimeStamp", "");
  rule.action = file.ReadString(section, "Action", "Encrypt");
  rule.enabled = file.ReadBool(section, "Enabled", true);
  return rule;
}

void PolicyStore::AddMailRule(const MailRule& rule) {
  Write(RuleSection(rule.pattern), {{"RuleName", rule.ruleName},
                                    {"InPolicy", rule.inPolicyFile},
                                    {"OutPolicy", rule.outPolicyFile},
                                    {"TimeStamp", rule.timeStamp},
                                    {"Action", rule.action},
                                    {"Enabled", rule.enabled ? "1" : "0"}});
}

}  // namespace nimbra::keys
