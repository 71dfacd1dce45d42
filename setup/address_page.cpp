#include "setup/tsetup_form.h"
#include "ui/questions.h"

namespace nimbra::setup {

void TSetupForm::AddressesEnter() {
  ui::Control& list = form_->At("EmailAddrs");
  list.Clear();
  for (const auto& address : settings_.DetectedAddresses) {
    if (!address.empty()) list.AddLine(address);
  }
  ui::Control& prime = form_->At("PrimeEmail");
  if (prime.text.empty() && !list.items.empty()) prime.text = list.items.front().text;
}

void TSetupForm::AddAddressClick() {
  auto text = ui_.Input(
      {std::string(ui::q::AddEmailAddress), "Enter an Email Address", "Add Email Address"}, "");
  if (!text) return;
  ui::Control& list = form_->At("EmailAddrs");
  if (list.IndexOf(*text, true) >= 0) return;
  if (text->find('@') != std::string::npos) {
    list.AddLine(*text);
    list.itemIndex = static_cast<int>(list.items.size()) - 1;
    form_->At("SetDefault").enabled = true;
    return;
  }
  list.itemIndex = -1;
  form_->At("SetDefault").enabled = false;
  context_->Message("The address must be in internet email format (e.g. jane.doe@example.com)");
}

void TSetupForm::SetDefaultClick() {
  ui::Control& list = form_->At("EmailAddrs");
  if (list.items.empty()) {
    context_->Message(
        "There are no emails listed. Please use the Add Address button to add email address to "
        "the list,\r\n then select a Primary Email Address");
    return;
  }
  if (list.itemIndex < 0 || list.itemIndex >= static_cast<int>(list.items.size())) {
    context_->Message("Please Select an Email Address from the list on the left");
    return;
  }
  form_->At("PrimeEmail").text = list.Selected();
}

void TSetupForm::DeleteAddressClick() {
  ui::Control& list = form_->At("EmailAddrs");
  const int index = list.itemIndex;
  if (index >= 0 && index < static_cast<int>(list.items.size())) {
    if (list.items[static_cast<std::size_t>(index)].text == form_->At("PrimeEmail").text) {
      form_->At("PrimeEmail").text.clear();
    }
    list.items.erase(list.items.begin() + index);
    const int count = static_cast<int>(list.items.size());
    list.itemIndex = index < count ? index : count - 1;
  }
  form_->At("SetDefault").enabled = false;
}

void TSetupForm::AddressesExit() {
  if (!form_->At("PrimeEmail").text.empty()) return;
  context_->Message("You must select a Primary Email Address from the list of Email Addresses");
  context_->Refuse("PrimeEmail");
  // Back to the page before this one in the sequence in use (the random-data
  // page of the desktop sequences, the software page of the older
  // generation's); with none before it the user stays.
  const int index = GetPageNo();
  if (index > 0 && !settings_.PageList[static_cast<std::size_t>(index) - 1].empty()) {
    ShowPage(settings_.PageList[static_cast<std::size_t>(index) - 1]);
  } else {
    settings_.MayLeavePage = false;
  }
}

}  // namespace nimbra::setup
