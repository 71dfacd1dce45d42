#pragma once

#include <optional>
#include <string_view>

#include "detect/detect_context.h"
#include "detect/detected_account.h"

namespace nimbra::detect {

// The client writers: each points one account's e-mail program at the
// account's mapping fields (the local addresses, or under Quickroute the
// server names themselves) and marks the account active. A mapping of the
// form host + ":" + port is split where the program keeps the port apart.
// A program whose settings key or file does not open is left unchanged.
// Files are rewritten whole through the atomic writer, every line they do
// not change kept byte for byte; registry changes are saved with the
// registry.

// Writes the settings of the account's client type; `section` is the
// number of the account's section of WS.INI. False only when a mailbox's
// account could not be written through its program's library (or there is
// no mailbox reader).
bool WriteClientSettings(DetectContext& context, DetectedAccount& account, int section);

// Registry-based programs.
void WriteNavigator(DetectContext& context, const DetectedAccount& account);
void WriteOutlook(DetectContext& context, const DetectedAccount& account);
void WriteExchange(DetectContext& context, const DetectedAccount& account);
// Also records the section number as the account's sub-client.
void WriteInternetMail(DetectContext& context, DetectedAccount& account, int section);

// File-based programs.
void WriteCommunicator(DetectContext& context, const DetectedAccount& account);
void WriteEudora(DetectContext& context, const DetectedAccount& account);
void WritePegasus(DetectContext& context, const DetectedAccount& account);
void WriteTurnpike(DetectContext& context, const DetectedAccount& account);

// The time-out, in seconds, the writers set where a program keeps one.
inline constexpr int kClientTimeout = 7200;

// A port given as decimal text (1 to 65535); nullopt for anything else.
std::optional<int> PortNumber(std::string_view text);

}  // namespace nimbra::detect
