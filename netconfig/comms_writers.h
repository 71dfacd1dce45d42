#pragma once

#include <string>
#include <string_view>

#include "platform/machine.h"
#include "setupstate/wizard_context.h"

namespace nimbra::netconfig {

// The relay the product sends through when nothing else is set ("GOODROUTE"
// "SERVER").
inline constexpr std::string_view kDefaultGoodRoute = "relay.nimbrapost.example";

// Where the writers put what they write: one INI key, or a whole file. Both
// take Windows paths and report success; a failed write does not stop the
// writers.
class ConfigSink {
 public:
  virtual ~ConfigSink() = default;
  virtual bool WriteIni(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value) = 0;
  virtual bool WriteFile(std::string_view path, std::string_view content) = 0;
};

// Writes straight to the machine: INI keys through the profile writer, files
// through the atomic writer.
class MachineSink : public ConfigSink {
 public:
  explicit MachineSink(platform::Machine& machine) : machine_(machine) {}
  bool WriteIni(std::string_view file, std::string_view section, std::string_view key,
                std::string_view value) override;
  bool WriteFile(std::string_view path, std::string_view content) override;

 private:
  platform::Machine& machine_;
};

// The routing entries of the server editions in "WS.INI" of the folder of the
// program location box; exactly one of them runs for an installation:
// DatabaseComms for a client database, else KeyServerComms for a key server,
// else GatewayComms for a gateway, else NetworkComms. They report nothing to
// the user; each returns whether every write succeeded.
bool NetworkComms(setup::WizardContext& wizard, ConfigSink& sink);
// Also saves the report of the last gateway page as "Gateway-Config.txt"
// beside WS.INI, even when routing entries could not be written.
bool GatewayComms(setup::WizardContext& wizard, ConfigSink& sink);
bool KeyServerComms(setup::WizardContext& wizard, ConfigSink& sink);
bool DatabaseComms(setup::WizardContext& wizard, ConfigSink& sink);

// The folder the writers write into: the folder part of the program location
// box, ending in "\".
std::string ServerConfigFolder(const ui::Form& form);

}  // namespace nimbra::netconfig
