#include "detect/search_pages.h"

#include "detect/account_sections.h"
#include "detect/client_search.h"
#include "detect/search_drives.h"
#include "platform/files/path.h"

namespace nimbra::detect {

SearchPages::SearchPages(setup::WizardContext& wizard)
    : wizard_(wizard), detect_(wizard.machine, wizard.ui, wizard.SetupDir()) {}

std::string SearchPages::WsIniFolder() const {
  return platform::ExtractFilePath(wizard_.form.At("SoftwareLocation").text);
}

void SearchPages::TabSheet28Enter() {
  std::vector<std::string> roots;
  BuildDriveList(detect_, roots);
  ui::Control& drives = wizard_.form.At("DriveCheck");
  drives.Clear();
  if (roots.size() < 2) {
    wizard_.NextPage();
    return;
  }
  for (const std::string& root : roots) {
    drives.AddLine(DriveDisplayText(wizard_.machine, root));
    drives.items.back().checked = wizard_.machine.GetDriveType(root) != platform::DriveType::Remote;
  }
}

void SearchPages::TabSheet28Exit() {
  const ui::Control& drives = wizard_.form.At("DriveCheck");
  if (drives.items.empty()) return;
  std::vector<std::string> roots;
  for (const ui::ListItem& item : drives.items) {
    if (item.checked) roots.push_back(item.text.substr(0, 3));
  }
  SetSearchDrives(detect_, roots);
}

namespace {

// The hourglass for as long as the search runs, also when it ends in an
// exception.
class BusyCursor {
 public:
  explicit BusyCursor(ui::Ui& ui) : ui_(ui) { ui_.SetBusyCursor(true); }
  ~BusyCursor() { ui_.SetBusyCursor(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  ui::Ui& ui_;
};

constexpr const char* kNavigation[] = {"ExitSetup", "Next", "Prev"};

}  // namespace

void SearchPages::TabSheet7Enter() {
  ui::Form& form = wizard_.form;
  for (const char* button : kNavigation) form.At(button).enabled = false;
  const std::string folder = WsIniFolder();
  wizard_.machine.ForceDirectories(folder);
  try {
    BusyCursor busy(wizard_.ui);
    SearchForClients(detect_, form.At("Detect"), wizard_.settings.DetectedAddresses, folder);
  } catch (const std::exception&) {
    // The readers guard themselves; what is left is WS.INI out of reach.
  }
  std::vector<std::string> labels;
  try {
    labels = AccountSectionLabels(wizard_.machine, folder);
  } catch (const std::exception&) {
    // WS.INI out of reach: no accounts to list.
  }
  ui::Control& list = form.At("SoftwareList");
  list.Clear();
  for (std::string& label : labels) {
    wizard_.ui.LogLine("DETECTED " + std::to_string(list.items.size() + 1) + " " + label);
    list.items.push_back({std::move(label), true});
  }
  for (const char* button : kNavigation) form.At(button).enabled = true;
  wizard_.NextPage();
}

void SearchPages::TabSheet8Enter() {
  wizard_.form.At("Prev").enabled = true;
  wizard_.form.At("Next").enabled = true;
}

void SearchPages::TabSheet8Exit() {
  wizard_.form.At("Prev").enabled = true;
  wizard_.form.At("Next").enabled = true;
  const setup::InstallSettings& s = wizard_.settings;
  if (s.InstallType == 5 || s.InstallType == 8 || s.JoinExistingDatabase) BuildSummary();
}

// This page is the last before the summary page for the workstation
// installers and for a run that joins an existing database.
void SearchPages::BuildSummary() {
  ui::Form& f = wizard_.form;
  const setup::InstallSettings& s = wizard_.settings;
  ui::Control& summary = f.At("InstallSet");
  summary.visible = false;
  std::vector<std::string> lines = {"Installation Details",
                                    "--------------------",
                                    "Type = " + s.ProductType,
                                    "Version = " + s.Release,
                                    "Source = " + s.Source,
                                    " ",
                                    "Install Software Directory = " + f.At("SoftwareLocation").text,
                                    "Data Directory = " + f.At("DataLocation").text};
  if (!f.At("WSFilesLocation").text.empty()) {
    lines.push_back("Client Software Directory = " + f.At("WSFilesLocation").text);
  }
  for (const std::string& line :
       {"Program Group = " + f.At("ProgGroupName").text, std::string(" "), std::string(" "),
        std::string("Email Software"), std::string("--------------"), std::string(" ")}) {
    lines.push_back(line);
  }
  for (const std::string& entry : f.At("SoftwareList").CheckedItems()) lines.push_back(entry);
  summary.SetLines(lines);
  summary.visible = true;
  f.At("Next").text = "&Continue";
}

std::shared_ptr<SearchPages> RegisterSearchPages(setup::WizardContext& wizard) {
  auto pages = std::make_shared<SearchPages>(wizard);
  wizard.SetPageHandlers(
      "TabSheet28", {[pages] { pages->TabSheet28Enter(); }, [pages] { pages->TabSheet28Exit(); }});
  wizard.SetPageHandlers("TabSheet7", {[pages] { pages->TabSheet7Enter(); }, nullptr});
  wizard.SetPageHandlers(
      "TabSheet8", {[pages] { pages->TabSheet8Enter(); }, [pages] { pages->TabSheet8Exit(); }});
  return pages;
}

}  // namespace nimbra::detect
