#include "platform/files/path.h"

#include <cstdint>

#include "platform/registry/reg_text.h"

namespace nimbra::platform {

std::string NormalizeLocation(std::string_view location) {
  std::string text(location);
  text += '\\';
  const std::size_t keep = text.size() < 2 ? text.size() : 2;
  std::string result = text.substr(0, keep);
  for (std::size_t i = keep; i < text.size(); ++i) {
    // A backslash directly after another one (in the part after the first
    // two characters) is dropped, so every run collapses to one.
    if (text[i] == '\\' && result.size() > keep && result.back() == '\\') continue;
    result += text[i];
  }
  return result;
}

std::string MoveToDriveOf(std::string_view location, std::string_view drive_source) {
  const std::size_t colon = location.find(':');
  if (colon == std::string_view::npos) return std::string(location);
  return std::string(drive_source.substr(0, 2)) + std::string(location.substr(colon + 1));
}

std::string WithTrailingBackslash(std::string_view path) {
  std::string result(path);
  if (result.empty() || result.back() != '\\') result += '\\';
  return result;
}

std::string ExtractFilePath(std::string_view path) {
  const std::size_t pos = path.find_last_of("\\/:");
  if (pos == std::string_view::npos) return {};
  return std::string(path.substr(0, pos + 1));
}

std::string ExtractFileName(std::string_view path) {
  const std::size_t pos = path.find_last_of("\\/:");
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string ExtractFileDir(std::string_view path) {
  const std::size_t cut = path.find_last_of("\\/");
  if (cut == std::string_view::npos) return {};
  return std::string(path.substr(0, cut == 2 && path[1] == ':' ? 3 : cut));
}

std::string JoinWindowsPath(std::string_view dir, std::string_view name) {
  std::string joined(dir);
  while (!joined.empty() && (joined.back() == '\\' || joined.back() == '/')) joined.pop_back();
  std::size_t skip = 0;
  while (skip < name.size() && (name[skip] == '\\' || name[skip] == '/')) ++skip;
  joined += '\\';
  joined += name.substr(skip);
  return joined;
}

bool HasDirectoryPart(std::string_view name) {
  return name.find_first_of("\\/:") != std::string_view::npos;
}

std::string WithDefaultExtension(std::string_view name, std::string_view extension) {
  // A trailing dot means "no extension, do not add one"; the dot itself is
  // not part of the file name.
  if (!name.empty() && name.back() == '.') return std::string(name.substr(0, name.size() - 1));
  if (ExtractFileName(name).find('.') != std::string::npos) return std::string(name);
  return std::string(name) + std::string(extension);
}

std::vector<std::string> SplitPathComponents(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = path.find_first_of("\\/", start);
    const std::size_t stop = end == std::string_view::npos ? path.size() : end;
    if (stop > start) parts.emplace_back(path.substr(start, stop - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return parts;
}

namespace {

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Length of a valid UTF-8 sequence at text[i] encoding a character of the
// basic plane, with its code point; 0 when the bytes are not one.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, std::uint32_t& cp) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return 0;
  return length;
}

}  // namespace

std::string AnsiToHostName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (const char16_t unit : reg::AnsiToUtf16(name)) AppendUtf8(out, unit);
  return out;
}

std::string HostNameToAnsi(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size();) {
    std::uint32_t cp = 0;
    const std::size_t length =
        static_cast<unsigned char>(name[i]) < 0x80 ? 0 : DecodeUtf8(name, i, cp);
    if (length == 0) {
      out += name[i++];
      continue;
    }
    out += reg::Utf16ToAnsi(std::u16string(1, static_cast<char16_t>(cp)));
    i += length;
  }
  return out;
}

}  // namespace nimbra::platform
