// The address page's buttons, driven as a person would click them.

#include <deque>

#include "setup/tests/wizard_fixture.h"

namespace nimbra::setup::testing {
namespace {

// Answers each input box with the next queued text.
class QueuedInputUi : public AnswerFileUi {
 public:
  QueuedInputUi() : AnswerFileUi("") {}
  std::deque<std::string> inputs;

 protected:
  std::optional<std::string> DoInput(const ui::Question&, std::string_view) override {
    std::string next = inputs.front();
    inputs.pop_front();
    return next;
  }
};

class AddressPage : public WizardTest {
 public:
  AddressPage() : wizard(input, *machine, "D:\\") {
    ScriptType(1);
    wizard.FormCreate();
    wizard.ShowPage("TabSheet11");
  }
  void Add(const std::string& text) {
    input.inputs.push_back(text);
    wizard.Form().Click("AddAddress");
  }
  ui::Control& List() { return wizard.Form().At("EmailAddrs"); }
  std::vector<std::string> Items() {
    std::vector<std::string> out;
    for (const auto& item : List().items) out.push_back(item.text);
    return out;
  }

  QueuedInputUi input;
  TSetupForm wizard;
};

TEST_F(AddressPage, EntryRefillsFromDetectedAddressesAndPicksTheFirstDefault) {
  wizard.Settings().DetectedAddresses = {"", "a@x.com", "b@x.com"};
  wizard.Context().Handlers("TabSheet11")->enter();
  EXPECT_EQ(Items(), (std::vector<std::string>{"a@x.com", "b@x.com"}));
  EXPECT_EQ(wizard.Form().At("PrimeEmail").text, "a@x.com");
}

TEST_F(AddressPage, AddingIgnoresCaseDuplicatesAndRejectsNonAddresses) {
  Add("Jane@Example.com");
  EXPECT_EQ(List().itemIndex, 0);
  EXPECT_TRUE(wizard.Form().At("SetDefault").enabled);
  Add("jane@example.COM");
  EXPECT_EQ(Items(), std::vector<std::string>{"Jane@Example.com"});
  Add("not an address");
  EXPECT_EQ(Items().size(), 1u);
  EXPECT_EQ(List().itemIndex, -1);
  EXPECT_FALSE(wizard.Form().At("SetDefault").enabled);
  EXPECT_EQ(input.LastMessage().rfind("The address must be in internet email format (e.g. ", 0),
            0u);
}

TEST_F(AddressPage, SetAsDefaultNeedsAListAndASelection) {
  ui::Form& f = wizard.Form();
  f.At("SetDefault").enabled = true;
  f.Click("SetDefault");
  EXPECT_EQ(input.LastMessage(),
            "There are no emails listed. Please use the Add Address button to add email address "
            "to the list,\r\n then select a Primary Email Address");
  Add("a@x.com");
  List().itemIndex = -1;
  f.Click("SetDefault");
  EXPECT_EQ(input.LastMessage(), "Please Select an Email Address from the list on the left");
  List().itemIndex = 0;
  f.Click("SetDefault");
  EXPECT_EQ(f.At("PrimeEmail").text, "a@x.com");
}

TEST_F(AddressPage, DeletingSelectsTheNeighbourAndClearsTheDefault) {
  ui::Form& f = wizard.Form();
  for (const char* a : {"a@x.com", "b@x.com", "c@x.com"}) Add(a);
  f.At("PrimeEmail").text = "c@x.com";
  List().itemIndex = 2;
  f.Click("DeleteAddress");
  EXPECT_EQ(Items(), (std::vector<std::string>{"a@x.com", "b@x.com"}));
  EXPECT_EQ(List().itemIndex, 1);
  EXPECT_EQ(f.At("PrimeEmail").text, "");
  EXPECT_FALSE(f.At("SetDefault").enabled);

  List().itemIndex = 0;
  f.Click("DeleteAddress");
  EXPECT_EQ(List().Selected(), "b@x.com");
  f.Click("DeleteAddress");
  EXPECT_TRUE(List().items.empty());
  EXPECT_EQ(List().itemIndex, -1);
}

TEST_F(AddressPage, ServerTypeButtonsExplainWhenPointedAt) {
  ui::Control& gateway = wizard.Form().At("InternetGateway");
  gateway.onPointerEnter();
  EXPECT_EQ(wizard.Form().At("TypeDescription").text, "Internet Gateway Install");
  EXPECT_EQ(wizard.Form().At("TypeExplanation").text.rfind("If you have a proprietary email", 0),
            0u);
}

}  // namespace
}  // namespace nimbra::setup::testing
