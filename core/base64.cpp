#include "core/base64.h"

#include <array>

#include "core/error.h"

namespace nimbra {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<signed char, 256> MakeDecodeTable() {
  std::array<signed char, 256> t{};
  for (auto& v : t) v = -1;
  for (int i = 0; i < 64; ++i)
    t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
  return t;
}
constexpr std::array<signed char, 256> kDecode = MakeDecodeTable();

// The encoding without line breaks.
std::string EncodeFlat(std::span<const std::uint8_t> bytes) {
  std::string out((bytes.size() + 2) / 3 * 4, '\0');
  char* o = out.data();
  const std::uint8_t* in = bytes.data();
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3, o += 4) {
    const std::uint32_t v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
    o[2] = kAlphabet[(v >> 6) & 63];
    o[3] = kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    const std::uint32_t v = (in[i] << 16) | (rest == 2 ? in[i + 1] << 8 : 0);
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
    o[2] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    o[3] = '=';
  }
  return out;
}

bool IsSpace(char c) {
  return c == '\r' || c == '\n' || c == ' ' || c == '\t';
}

}  // namespace

std::string Base64Encode(std::span<const std::uint8_t> bytes, std::size_t line_length) {
  std::string flat = EncodeFlat(bytes);
  if (line_length == 0 || flat.size() <= line_length) return flat;
  std::string out;
  out.reserve(flat.size() + flat.size() / line_length * 2);
  for (std::size_t i = 0; i < flat.size(); i += line_length) {
    if (i > 0) out += "\r\n";
    out.append(flat, i, line_length);
  }
  return out;
}

std::vector<std::string> Base64Lines(std::span<const std::uint8_t> bytes, std::size_t line_length) {
  const std::string flat = EncodeFlat(bytes);
  std::vector<std::string> lines;
  if (line_length == 0) line_length = flat.size();
  for (std::size_t i = 0; i < flat.size(); i += line_length) {
    lines.push_back(flat.substr(i, line_length));
  }
  return lines;
}

std::vector<std::uint8_t> Base64Decode(std::string_view text) {
  std::vector<std::uint8_t> out(text.size() / 4 * 3 + 3);
  std::uint8_t* o = out.data();
  std::uint32_t acc = 0;
  int count = 0;    // characters in the current group
  int padding = 0;  // "=" seen
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    // Whole groups of four alphabet characters go straight through.
    if (count == 0 && padding == 0) {
      while (i + 4 <= n) {
        const int a = kDecode[static_cast<unsigned char>(text[i])];
        const int b = kDecode[static_cast<unsigned char>(text[i + 1])];
        const int c = kDecode[static_cast<unsigned char>(text[i + 2])];
        const int d = kDecode[static_cast<unsigned char>(text[i + 3])];
        if ((a | b | c | d) < 0) break;
        const std::uint32_t v = (a << 18) | (b << 12) | (c << 6) | d;
        o[0] = static_cast<std::uint8_t>(v >> 16);
        o[1] = static_cast<std::uint8_t>(v >> 8);
        o[2] = static_cast<std::uint8_t>(v);
        o += 3;
        i += 4;
      }
      if (i >= n) break;
    }
    const char ch = text[i];
    if (IsSpace(ch)) continue;
    if (ch == '=') {
      if (count < 2 || count + padding >= 4) {
        throw ConvertError("misplaced base64 padding at position " + std::to_string(i + 1));
      }
      ++padding;
      continue;
    }
    const int v = kDecode[static_cast<unsigned char>(ch)];
    if (v < 0) {
      throw ConvertError("invalid base64 character at position " + std::to_string(i + 1));
    }
    if (padding > 0) {
      throw ConvertError("base64 data after padding at position " + std::to_string(i + 1));
    }
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    if (++count == 4) {
      o[0] = static_cast<std::uint8_t>(acc >> 16);
      o[1] = static_cast<std::uint8_t>(acc >> 8);
      o[2] = static_cast<std::uint8_t>(acc);
      o += 3;
      acc = 0;
      count = 0;
    }
  }
  if (count == 1) throw ConvertError("base64 text ends in a dangling character");
  if (count == 2) *o++ = static_cast<std::uint8_t>(acc >> 4);
  if (count == 3) {
    *o++ = static_cast<std::uint8_t>(acc >> 10);
    *o++ = static_cast<std::uint8_t>(acc >> 2);
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

}  // namespace nimbra
