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

void PolicyStore::AddPolicy(const Policy& policy) {
  platform::ProfileFile file(path_);
  platform::ProfileBatch batch(file);
  const std::string section = PolicySection(policy.name);
  file.WriteBool(section, "KeyHeaders", policy.keyHeaders);
  file.WriteString(section, "FixedSender", policy.fixedSender);
  file.WriteBool(section, "DecryptNotify", policy.decryptNotify);
  file.WriteInteger(section, "Compression", policy.compression);
  file.WriteInteger(section, "CompressLimit", policy.compressLimit);
  file.WriteBool(section, "Encrypt", policy.mayEncrypt);
  batch.Commit();
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
  platform::ProfileFile file(path_);
  platform::ProfileBatch batch(file);
  const std::string section = RuleSection(rule.pattern);
  file.WriteString(section, "RuleName", rule.ruleName);
  file.WriteString(section, "InPolicy", rule.inPolicyFile);
  file.WriteString(section, "OutPolicy", rule.outPolicyFile);
  file.WriteString(section, "TimeStamp", rule.timeStamp);
  file.WriteString(section, "Action", rule.action);
  file.WriteBool(section, "Enabled", rule.enabled);
  batch.Commit();
}

}  // namespace nimbra::keys
