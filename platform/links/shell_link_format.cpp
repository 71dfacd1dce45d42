#include "platform/links/shell_link_format.h"

#include <array>
#include <cstring>

namespace nimbra::platform {

namespace {

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::array<std::uint8_t, 16> kLinkClsid = {
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

namespace link_flags {
enum : std::uint32_t {
  kHasLinkTargetIdList = 0x01,
  kHasLinkInfo = 0x02,
  kHasName = 0x04,
  kHasRelativePath = 0x08,
  kHasWorkingDir = 0x10,
  kHasArguments = 0x20,
  kHasIconLocation = 0x40,
  kIsUnicode = 0x80,
  kForceNoLinkInfo = 0x100,
};
}  // namespace link_flags
using namespace link_flags;

constexpr std::uint32_t kVolumeIdAndLocalBasePath = 1;
constexpr std::uint32_t kCommonNetworkRelativeLink = 2;

// Windows-1252 bytes 0x80-0x9F; 0 marks the five undefined ones, which map
// to the same-numbered control characters, as Windows does.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

class Writer {
 public:
  void U16(std::uint16_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v));
    U32(static_cast<std::uint32_t>(v >> 32));
  }
  void Bytes(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
  }
  void CString(const std::string& s) { Bytes(s.c_str(), s.size() + 1); }
  void PatchU32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  std::size_t Size() const { return bytes_.size(); }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  void Need(std::size_t at, std::size_t n, const char* what) const {
    if (at > bytes_.size() || n > bytes_.size() - at) {
      throw ShellLinkError(std::string("shell link truncated in ") + what);
    }
  }
  std::uint16_t U16(std::size_t at, const char* what) const {
    Need(at, 2, what);
    return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
  }
  std::uint32_t U32(std::size_t at, const char* what) const {
    return U16(at, what) | (static_cast<std::uint32_t>(U16(at + 2, what)) << 16);
  }
  std::uint64_t U64(std::size_t at, const char* what) const {
    return U32(at, what) | (static_cast<std::uint64_t>(U32(at + 4, what)) << 32);
  }
  // NUL-terminated ANSI text at `at`, which must end before `limit`.
  std::string CString(std::size_t at, std::size_t limit, const char* what) const {
    Need(at, 0, what);
    limit = std::min(limit, bytes_.size());
    for (std::size_t i = at; i < limit; ++i) {
      if (bytes_[i] == 0) return std::string(bytes_.begin() + at, bytes_.begin() + i);
    }
    throw ShellLinkError(std::string("unterminated text in ") + what);
  }
  std::u16string WString(std::size_t at, std::size_t limit, const char* what) const {
    std::u16string text;
    limit = std::min(limit, bytes_.size());
    for (std::size_t i = at; i + 1 < limit; i += 2) {
      char16_t unit = static_cast<char16_t>(bytes_[i] | (bytes_[i + 1] << 8));
      if (unit == 0) return text;
      text += unit;
    }
    throw ShellLinkError(std::string("unterminated text in ") + what);
  }
  std::span<const std::uint8_t> Span(std::size_t at, std::size_t n, const char* what) const {
    Need(at, n, what);
    return bytes_.subspan(at, n);
  }
  std::size_t Size() const { return bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
};

void WriteStringData(Writer& out, const std::string& text, bool unicode) {
  if (unicode) {
    std::u16string wide = Cp1252ToUtf16(text);
    out.U16(static_cast<std::uint16_t>(wide.size()));
    for (char16_t unit : wide) out.U16(unit);
  } else {
    out.U16(static_cast<std::uint16_t>(text.size()));
    out.Bytes(text.data(), text.size());
  }
}

void CheckStringLength(const std::string& text, const char* what) {
  if (text.size() > 0xFFFF) throw ShellLinkError(std::string("shell link text too long: ") + what);
}

std::vector<std::uint8_t> EncodeLinkInfo(const ShellLinkFile& link) {
  Writer info;
  const std::uint32_t header = 0x1C;
  const std::uint32_t volume_size = 0x10 + static_cast<std::uint32_t>(link.volume_label.size()) + 1;
  const std::uint32_t base_offset = header + volume_size;
  const std::uint32_t suffix_offset =
      base_offset + static_cast<std::uint32_t>(link.local_base_path.size()) + 1;
  info.U32(suffix_offset + 1);  // LinkInfoSize: everything through the empty suffix
  info.U32(header);
  info.U32(kVolumeIdAndLocalBasePath);
  info.U32(header);  // VolumeIDOffset
  info.U32(base_offset);
  info.U32(0);  // CommonNetworkRelativeLinkOffset
  info.U32(suffix_offset);
  info.U32(volume_size);
  info.U32(link.drive_type);
  info.U32(link.drive_serial);
  info.U32(0x10);  // VolumeLabelOffset: ANSI label follows
  info.CString(link.volume_label);
  info.CString(link.local_base_path);
  info.CString("");  // CommonPathSuffix
  return info.Take();
}

void DecodeLinkInfo(const Reader& in, std::size_t start, ShellLinkFile& link) {
  const char* what = "LinkInfo";
  std::uint32_t size = in.U32(start, what);
  in.Need(start, size, what);
  std::uint32_t header = in.U32(start + 4, what);
  if (size < 0x1C || header < 0x1C || header > size) throw ShellLinkError("bad LinkInfo sizes");
  std::uint32_t flags = in.U32(start + 8, what);
  std::size_t end = start + size;
  auto at = [&](std::uint32_t offset) -> std::size_t {
    if (offset < header || offset >= size) throw ShellLinkError("LinkInfo offset out of range");
    return start + offset;
  };
  std::string suffix;
  std::uint32_t suffix_offset = in.U32(start + 0x18, what);
  if (suffix_offset != 0) suffix = in.CString(at(suffix_offset), end, what);
  bool wide = header >= 0x24;
  if (flags & kVolumeIdAndLocalBasePath) {
    std::size_t volume = at(in.U32(start + 0x0C, what));
    std::uint32_t volume_size = in.U32(volume, "VolumeID");
    if (volume_size <= 0x10 || volume_size > end - volume)
      throw ShellLinkError("bad VolumeID size");
    link.drive_type = in.U32(volume + 4, "VolumeID");
    link.drive_serial = in.U32(volume + 8, "VolumeID");
    std::uint32_t label_offset = in.U32(volume + 12, "VolumeID");
    if (label_offset == 0x14) {
      std::uint32_t wide_offset = in.U32(volume + 0x10, "VolumeID");
      if (wide_offset >= volume_size) throw ShellLinkError("bad volume label offset");
      link.volume_label =
          Utf16ToCp1252(in.WString(volume + wide_offset, volume + volume_size, "VolumeID"));
    } else {
      if (label_offset >= volume_size) throw ShellLinkError("bad volume label offset");
      link.volume_label = in.CString(volume + label_offset, volume + volume_size, "VolumeID");
    }
    std::string base = in.CString(at(in.U32(start + 0x10, what)), end, what);
    if (wide && in.U32(start + 0x1C, what) != 0) {
      base = Utf16ToCp1252(in.WString(at(in.U32(start + 0x1C, what)), end, what));
    }
    link.local_base_path = base + suffix;
  } else if (flags & kCommonNetworkRelativeLink) {
    std::size_t net = at(in.U32(start + 0x14, what));
    std::uint32_t net_size = in.U32(net, "CommonNetworkRelativeLink");
    if (net_size < 0x14 || net_size > end - net) throw ShellLinkError("bad network link size");
    std::uint32_t name_offset = in.U32(net + 8, "CommonNetworkRelativeLink");
    if (name_offset >= net_size) throw ShellLinkError("bad network name offset");
    std::string share = in.CString(net + name_offset, net + net_size, "CommonNetworkRelativeLink");
    link.drive_type = 4;  // remote
    link.local_base_path = suffix.empty() ? share : share + "\\" + suffix;
  }
}

}  // namespace

std::u16string Cp1252ToUtf16(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (unsigned char c : text) {
    wide += (c >= 0x80 && c < 0xA0) ? kHighControls[c - 0x80] : static_cast<char16_t>(c);
  }
  return wide;
}

std::string Utf16ToCp1252(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (char16_t unit : text) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
      narrow += static_cast<char>(unit);
      continue;
    }
    char byte = '?';
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
      if (kHighControls[i] == unit) byte = static_cast<char>(0x80 + i);
    }
    narrow += byte;
  }
  return narrow;
}

std::vector<std::uint8_t> EncodeShellLink(const ShellLinkFile& link) {
  const std::string* texts[] = {&link.description, &link.relative_path, &link.working_dir,
                                &link.arguments, &link.icon_location};
  const char* names[] = {"description", "relative path", "working directory", "arguments",
                         "icon location"};
  const std::uint32_t text_flags[] = {kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments,
                                      kHasIconLocation};
  std::uint32_t flags = link.unicode ? std::uint32_t{kIsUnicode} : 0u;
  if (!link.local_base_path.empty()) flags |= kHasLinkInfo;
  for (int i = 0; i < 5; ++i) {
    CheckStringLength(*texts[i], names[i]);
    if (!texts[i]->empty()) flags |= text_flags[i];
  }

  Writer out;
  out.U32(kHeaderSize);
  out.Bytes(kLinkClsid.data(), kLinkClsid.size());
  out.U32(flags);
  out.U32(link.file_attributes);
  out.U64(link.creation_time);
  out.U64(link.access_time);
  out.U64(link.write_time);
  out.U32(link.file_size);
  out.U32(static_cast<std::uint32_t>(link.icon_index));
  out.U32(link.show_command);
  out.U16(link.hot_key);
  out.U16(0);
  out.U32(0);
  out.U32(0);
  if (flags & kHasLinkInfo) {
    std::vector<std::uint8_t> info = EncodeLinkInfo(link);
    out.Bytes(info.data(), info.size());
  }
  for (int i = 0; i < 5; ++i) {
    if (!texts[i]->empty()) WriteStringData(out, *texts[i], link.unicode);
  }
  out.U32(0);  // terminal block
  return out.Take();
}

ShellLinkFile DecodeShellLink(std::span<const std::uint8_t> bytes) {
  Reader in(bytes);
  if (in.Size() < kHeaderSize || in.U32(0, "header") != kHeaderSize ||
      std::memcmp(bytes.data() + 4, kLinkClsid.data(), kLinkClsid.size()) != 0) {
    throw ShellLinkError("not a shell link (bad header size or class identifier)");
  }
  ShellLinkFile link;
  std::uint32_t flags = in.U32(0x14, "header");
  link.file_attributes = in.U32(0x18, "header");
  link.creation_time = in.U64(0x1C, "header");
  link.access_time = in.U64(0x24, "header");
  link.write_time = in.U64(0x2C, "header");
  link.file_size = in.U32(0x34, "header");
  link.icon_index = static_cast<std::int32_t>(in.U32(0x38, "header"));
  link.show_command = in.U32(0x3C, "header");
  link.hot_key = in.U16(0x40, "header");
  link.unicode = (flags & kIsUnicode) != 0;

  std::size_t pos = kHeaderSize;
  if (flags & kHasLinkTargetIdList) {
    link.had_id_list = true;
    std::uint16_t size = in.U16(pos, "LinkTargetIDList");
    in.Need(pos + 2, size, "LinkTargetIDList");
    pos += 2 + size;
  }
  if (flags & kHasLinkInfo) {
    std::uint32_t size = in.U32(pos, "LinkInfo");
    if (!(flags & kForceNoLinkInfo)) DecodeLinkInfo(in, pos, link);
    in.Need(pos, size, "LinkInfo");
    pos += size;
  }
  if (link.local_base_path.empty()) {
    // Volume facts without a target are not kept: a write would drop them.
    ShellLinkFile defaults;
    link.drive_type = defaults.drive_type;
    link.drive_serial = defaults.drive_serial;
    link.volume_label.clear();
  }
  std::string* texts[] = {&link.description, &link.relative_path, &link.working_dir,
                          &link.arguments, &link.icon_location};
  const std::uint32_t text_flags[] = {kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments,
                                      kHasIconLocation};
  for (int i = 0; i < 5; ++i) {
    if (!(flags & text_flags[i])) continue;
    std::uint16_t count = in.U16(pos, "StringData");
    pos += 2;
    if (link.unicode) {
      auto raw = in.Span(pos, std::size_t{count} * 2, "StringData");
      std::u16string wide;
      for (std::size_t j = 0; j < count; ++j) {
        wide += static_cast<char16_t>(raw[2 * j] | (raw[2 * j + 1] << 8));
      }
      *texts[i] = Utf16ToCp1252(wide);
      pos += std::size_t{count} * 2;
    } else {
      auto raw = in.Span(pos, count, "StringData");
      texts[i]->assign(raw.begin(), raw.end());
      pos += count;
    }
  }
  return link;
}

}  // namespace nimbra::platform
