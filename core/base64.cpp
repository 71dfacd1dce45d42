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
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    const std::uint32_t v = (bytes[i] << 16) | (rest == 2 ? bytes[i + 1] << 8 : 0);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
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
  std::vector<std::uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  std::uint32_t acc = 0;
  int count = 0;    // characters in the current group
  int padding = 0;  // "=" seen
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (IsSpace(c)) continue;
    if (c == '=') {
      if (count < 2 || count + padding >= 4) {
        throw ConvertError("misplaced base64 padding at position " + std::to_string(i + 1));
      }
      ++padding;
      continue;
    }
    const int v = kDecode[static_cast<unsigned char>(c)];
    if (v < 0) {
      throw ConvertError("invalid base64 character at position " + std::to_string(i + 1));
    }
    if (padding > 0) {
      throw ConvertError("base64 data after padding at position " + std::to_string(i + 1));
    }
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<std::uint8_t>(acc >> 16));
      out.push_back(static_cast<std::uint8_t>(acc >> 8));
      out.push_back(static_cast<std::uint8_t>(acc));
      acc = 0;
      count = 0;
    }
  }
  if (count == 1) throw ConvertError("base64 text ends in a dangling character");
  if (count == 2) out.push_back(static_cast<std::uint8_t>(acc >> 4));
  if (count == 3) {
    out.push_back(static_cast<std::uint8_t>(acc >> 10));
    out.push_back(static_cast<std::uint8_t>(acc >> 2));
  }
  return out;
}

}  // namespace nimbra
