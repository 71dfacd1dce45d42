#include "setupstate/install_settings.h"

namespace nimbra::setup {

void InstallSettings::ResetFlags() {
  PreviousFound = false;
  OldVersionFound = false;
  CreateNewKeys = false;
  JoinExistingDatabase = false;
  SharedInstaller = false;
  GatewayServer = false;
  KeyServerOnly = false;
  DatabaseOnly = false;
  Distribute = false;
  FromFriend = false;
  UpdateRequestSent = false;
  DetectedAddresses.clear();
  PageList.clear();
  PageIndex = 1;
  MayLeavePage = true;
}

std::string EditionWord(int installType) {
  switch (installType) {
    case 0:
      return "Sapling";
    case 1:
      return "Bramble";
    case 2:
      return "Thicket";
    case 3:
      return "Palisade";
    case 4:
      return "Canopy";
    case 5:
      return "Client";
    default:
      return {};
  }
}

}  // namespace nimbra::setup
