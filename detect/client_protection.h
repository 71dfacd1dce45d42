#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "detect/detect_context.h"
#include "ui/form.h"

namespace nimbra::detect {

// Protects the accounts of every checked entry of the form's check list
// "SoftwareList": entry i is the account of section "UNINSTALL" + (i + 1)
// of WS.INI in `folder`. Each is loaded (refreshed from its program), its
// servers without a mapping are mapped (through Quickroute when the check
// box "Quickroute" is checked, with the proxy ports of "POP3Port",
// "SMTPPort" and "IMAPPort"), its program is pointed at the mappings and its
// section written back active, with the real servers in its "Org..." keys.
// The status panel "CurrentTask" names the entry being protected, then
// "Email Clients Complete". With Quickroute, the server names listed in
// section "Quickroute" of the installer script `scriptPath` get their
// Quickroute addresses too.
//
// An account that is protected already (a second run, or a second account
// of one settings file) keeps its local addresses: its real servers are
// never written back into its program.
//
// Each account, and the further Quickroute names, is one step run through
// `step` (when given): its name ("UNINSTALL<n>" or "Quickroute"), whether
// all its writes reach the disk as it makes them (files; a client kept in
// the registry reaches it only when the machine is saved), and the work.
// An installation journals the steps, so that a resumed one does not redo
// what reached the disk.
//
// Errors are not caught here; they end the protection.
using ProtectionStep =
    std::function<void(const std::string& name, bool onDisk, const std::function<void()>& work)>;
void ProtectClients(DetectContext& context, ui::Form& form, const std::string& folder,
                    const std::string& scriptPath, const ProtectionStep& step = {});

// Whether a client of this kind keeps its settings in files (not the
// registry or a mail library).
bool SettingsInFiles(std::uint8_t clientType);

}  // namespace nimbra::detect
