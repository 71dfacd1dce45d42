#include "keys/key_texts.h"

#include "core/hex.h"
#include "core/sha1.h"
#include "core/strings.h"

namespace nimbra::keys {

std::string Fingerprint(std::string_view publicKey) {
  const std::string hex = HexUpper(Sha1(UpperCase(publicKey)));
  std::string grouped;
  for (std::size_t i = 0; i < hex.size(); i += 4) {
    if (i > 0) grouped += ' ';
    grouped += hex.substr(i, 4);
  }
  return grouped;
}

std::string SignedText(const KeyRecord& key, std::string_view publicKey) {
  return UpperCase(key.entityName + std::string(publicKey) + key.keyId + key.aliases);
}

std::string FlagsText(bool multiRecip, bool dsaSigning, bool showSubject) {
  std::string text = " [";
  text += multiRecip ? " =M" : " !M";
  text += dsaSigning ? " =D" : " !D";
  text += showSubject ? " =S" : " !S";
  return text + "]";
}

VersionParts ParseVersionText(std::string_view text) {
  VersionParts parts;
  std::string version(text);
  const std::size_t open = version.find('[');
  if (open != std::string::npos && version.find(']') != std::string::npos) {
    parts.flags = version.substr(open, 30);
    version.erase(open);
  }
  const std::size_t dash = version.find('-');
  if (dash != std::string::npos) {
    if (dash + 1 < version.size() && version[dash + 1] >= '0' && version[dash + 1] <= '9') {
      parts.keyClass = static_cast<std::uint8_t>(version[dash + 1] - '0');
      version.erase(dash, 2);
    }
  }
  parts.version = std::string(Trim(version));
  if (parts.keyClass > 5) parts.keyClass = 0;
  return parts;
}

std::optional<DateTime> ParseExpiry(std::string_view text, char separator) {
  if (auto date = TryParseDate(text, '/')) return date;
  if (separator != '/') return TryParseDate(text, separator);
  return std::nullopt;
}

DateTime ExpiryOrDefault(std::string_view text, char separator) {
  return ParseExpiry(text, separator).value_or(DateTime::Date(2099, 1, 1));
}

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.emplace_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

std::string LabelOwner(std::string_view label) {
  return std::string(label.substr(0, label.find('/')));
}

}  // namespace nimbra::keys
