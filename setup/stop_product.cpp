#include "core/strings.h"
#include "platform/processes/service.h"
#include "platform/processes/window.h"
#include "setup/tsetup_form.h"
#include "ui/pumped_wait.h"

namespace nimbra::setup {

namespace {

constexpr const char* kServiceName = "Nimbra";
constexpr const char* kDesktopWindow = "nimbra.exe";
constexpr const char* kServiceWindow = "nimbraSrv32.exe";
constexpr const char* kQueueWindow = "NimbraQue.exe";

}  // namespace

bool TSetupForm::ServiceFlavour() const {
  return context_->ServiceFlavour();
}

// Asks the window of one of the product's programs to quit until it is gone:
// the desktop run asks at most a number of times, waiting a while after each
// request; the server run asks again and again within one time limit. True
// when the window is gone.
bool TSetupForm::QuitProductWindow(const std::string& title, bool serverRun) {
  platform::Windows windows(machine_.Root());
  const auto open = [&] { return windows.FindWindow(std::nullopt, title) != 0; };
  if (!open()) return true;
  const auto postQuit = [&] {
    if (const auto window = windows.FindWindow(std::nullopt, title))
      windows.PostMessage(window, platform::kWmQuit);
  };
  if (serverRun) {
    return ui::WaitPumping(ui_, stopLimits.serverWindow, [&] {
      postQuit();
      return open();
    });
  }
  for (int attempt = 0; attempt < stopLimits.desktopQuitAttempts && open(); ++attempt) {
    ui_.ProcessMessages();
    postQuit();
    ui::WaitPumping(ui_, stopLimits.desktopQuitInterval, open);
  }
  return !open();
}

void TSetupForm::StopProduct(bool serverRun) {
  std::string title = kDesktopWindow;
  if (ServiceFlavour()) {
    title = kServiceWindow;
    // Whatever the service manager says, the installation goes on.
    platform::ServiceManager services(machine_);
    if (auto service = services.OpenService(kServiceName)) {
      const auto state = service->QueryStatus();
      if (serverRun || (state && *state != platform::ServiceState::Stopped)) {
        service->Stop();
        const bool stopped = ui::WaitPumping(ui_, stopLimits.service, [&] {
          const auto now = service->QueryStatus();
          return now && *now != platform::ServiceState::Stopped;
        });
        ui_.LogLine(std::string("STOP service ") + kServiceName +
                    (stopped ? " stopped" : " still not stopped"));
      }
    }
  } else {
    platform::Windows windows(machine_.Root());
    if (const auto window = windows.FindWindow(std::nullopt, title))
      windows.PostMessage(window, platform::kWmQuit);
  }
  QuitProductWindow(title, serverRun);
  if (!QuitProductWindow(kQueueWindow, serverRun)) {
    context_->Message(
        "A Version of NimbraPost is currently running and can not be stopped.\r\nWARNING: Some "
        "NimbraPost Program Files might not be updated during the install!");
  }
}

}  // namespace nimbra::setup
