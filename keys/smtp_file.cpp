#include "keys/smtp_file.h"

#include <algorithm>
#include <random>
#include <stdexcept>

#include "core/base64.h"
#include "core/stream.h"
#include "core/strings.h"
#include "keys/clock.h"
#include "keys/key_texts.h"
#include "platform/files/atomic_file.h"

namespace nimbra::keys {

namespace {

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

int HostRandom(int limit) {
  static thread_local std::mt19937 generator{std::random_device{}()};
  return std::uniform_int_distribution<int>(0, limit - 1)(generator);
}

}  // namespace

DateTime TSMTPFile::CurrentTime() const {
  return Clock ? Clock() : Now();
}

std::string TSMTPFile::Text() const {
  std::string text;
  for (const auto& line : lines_) text += line + "\r\n";
  return text;
}

void TSMTPFile::AddHeader(const std::string& line) {
  if (OnHeaderLine) OnHeaderLine(line);
  if (!boundary_.empty() && StartsText(line, "CONTENT-TYPE:")) {
    lines_.push_back("Content-Type: multipart/mixed;");
    lines_.push_back("\tboundary=" + Quoted(boundary_));
    return;
  }
  lines_.push_back(line);
}

// A line starting with "." gets a second one, so that the transfer, which
// removes one leading dot, neither ends the message early nor loses a dot.
void TSMTPFile::AddBody(const std::string& line) {
  std::string text = (!line.empty() && line[0] == '.') ? "." + line : line;
  do {
    lines_.push_back(text.substr(0, kMaxLineLength));
    text.erase(0, std::min(text.size(), kMaxLineLength));
    // A continuation starting with a dot is stuffed as well.
    if (!text.empty() && text[0] == '.') text.insert(0, ".");
  } while (!text.empty());
  ++body_line_;
}

void TSMTPFile::AddAttachment(const std::filesystem::path& file) {
  auto content = platform::ReadFileIfExists(file);
  if (!content) throw std::runtime_error("attachment cannot be read: " + file.string());
  const std::string name = file.filename().string();
  AddBody("--" + boundary_);
  AddBody("Content-Type: application/octet-stream;");
  AddBody("\tname=" + Quoted(name));
  AddBody("Content-Transfer-Encoding: base64");
  AddBody("Content-Disposition: attachment;");
  AddBody("\tfilename=" + Quoted(name));
  AddBody("");
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(content->data());
  for (const auto& line : Base64Lines({bytes, content->size()}, 60)) AddBody(line);
  ++attachment_;
}

bool TSMTPFile::Compose(Stream& stream) {
  lines_.clear();
  body_line_ = attachment_ = data_line_ = 0;
  boundary_.clear();
  const DateTime now = CurrentTime();
  std::vector<std::string> preamble;
  if (!EmailFiles.empty()) {
    boundary_ = "= Multipart Boundary " + FormatDateTime("mmmddyyhhnn", now);
    preamble = {"This is a multipart MIME message.",
                "",
                "--" + boundary_,
                "Content-Type: text/plain; charset=" + Quoted(CharSet),
                "Content-Transfer-Encoding: 7bit",
                ""};
  }
  for (const auto& line : SplitTextLines(NimbraHeaders)) {
    if (!line.empty()) AddHeader(line);
  }
  AddHeader(FromName.empty() ? "From: <" + FromEmail + ">"
                             : "From: " + Quoted(FromName) + " <" + FromEmail + ">");
  AddHeader("To: " + HdrTo);
  if (!HdrCC.empty()) AddHeader("CC: " + HdrCC);
  if (!HdrReply.empty()) AddHeader("Reply-To: " + HdrReply);
  AddHeader("Subject: " + HdrSubject);
  AddHeader("Date: " + FormatMailDate(now));
  AddHeader("Mime-Version: 1.0");
  AddHeader("Content-Type: text/plain; charset=" + Quoted(CharSet));
  lines_.push_back("");
  for (const auto& line : preamble) lines_.push_back(line);
  try {
    for (const auto& line : body_) AddBody(line);
    if (OnGetData) {
      for (;;) {
        std::string line;
        bool more = false;
        OnGetData(data_line_, line, kMaxLineLength, more);
        if (!more) break;
        ++data_line_;
        AddBody(line);
      }
    }
    for (const auto& file : EmailFiles) AddAttachment(file);
    if (!EmailFiles.empty()) {
      AddBody("");
      AddBody("--" + boundary_ + "--");
    }
  } catch (const std::exception&) {
    // The body ends at the line that could not be produced.
  }
  lines_.push_back(".");
  const std::string text = Text();
  stream.WriteBuffer(text.data(), text.size());
  return true;
}

void TSMTPFile::ComposeEnvelope(const std::string& recipient, std::span<const std::uint8_t> sealed,
                                bool show_subject) {
  const DateTime now = CurrentTime();
  auto random = [this](int limit) { return Random ? Random(limit) : HostRandom(limit); };
  const long long r1 = random(255), r2 = random(255), r3 = random(5);
  const std::string b = "VRX-ENVELOPE" + std::to_string((r1 + 100) * (r2 + 54) * (r3 + 2));
  lines_ = {
      recipient,
      "",
      "From: " + FromEmail,
      "To: " + Quoted("VRX-ENVELOPE:") + " <" + recipient + ">",
      show_subject ? "Subject: " + HdrSubject
                   : "Subject: Encrypted NimbraPost Envelope for " + recipient,
      "Date: " + FormatMailDate(now),
      "Message-Id: <\"VRX-ENVELOPE." + FormatDateTime("ddmmmyyhhNnss", now) + recipient + "\">",
      "Mime-Version: 1.0",
      "Content-Type: multipart/mixed; boundary=" + Quoted(b),
      "",
      "This is a multipart message in MIME format",
      "",
      "--" + b,
      "Content-Type: text/plain; charset=" + Quoted("us-ascii"),
      "Content-Transfer-Encoding: 7bit",
      "",
      "This is a private VRX NimbraPost Envelope Format 2.0 for",
      "To: " + recipient,
      "If you are using NimbraPost 2.12 or earlier Upgrade FREE to the latest NimbraPost",
      "to support the New Format Encrypted Envelopes decrypt messages",
      "",
      "--" + b,
      "Content-Type: application/NimbraPost; name=" + Quoted("Message.VRX"),
      "Content-Transfer-Encoding: Base64",
      "Content-Disposition: attachment; filename=" + Quoted("Message.VRX"),
      ""};
  for (auto& line : Base64Lines(sealed, 60)) lines_.push_back(std::move(line));
  lines_.push_back("");
  // The closing delimiter ends the multipart body, so that a MIME reader
  // sees the two parts and no empty third one.
  lines_.push_back("--" + b + "--");
}

bool TSMTPFile::ComposeEnvelopes(EnvelopeEncryptor& crypto, const EnvelopeEvent& callback,
                                 void* callback_data) {
  MemoryStream plain;
  Compose(plain);
  if (!crypto.PrepareMessage(plain.Data())) {
    plain.Seek(0, SeekOrigin::Begin);
    if (callback) callback(&plain, callback_data);
    return false;
  }
  const std::string plain_text(plain.Data().begin(), plain.Data().end());
  bool made = false;
  for (const auto& recipient : RcptName) {
    if (auto sealed = crypto.EncryptFor(recipient)) {
      ComposeEnvelope(recipient, *sealed, crypto.ShowSubject());
      made = true;
    } else {
      // The plain message already ends with CR LF; Text() adds one per line.
      lines_ = {recipient, "", plain_text.substr(0, plain_text.size() - 2)};
    }
    if (callback) callback(nullptr, callback_data);
  }
  return made;
}

}  // namespace nimbra::keys
