#include "ui/pumped_wait.h"

#include <algorithm>
#include <thread>

namespace nimbra::ui {

bool WaitPumping(Ui& ui, std::chrono::milliseconds limit, const std::function<bool()>& busy) {
  using Clock = std::chrono::steady_clock;
  // Often enough to notice a closed window at once, seldom enough to leave
  // the processor to the program being waited for.
  constexpr auto kPause = std::chrono::milliseconds(10);
  const auto deadline = Clock::now() + limit;
  while (busy()) {
    const auto now = Clock::now();
    if (now >= deadline) return false;
    ui.ProcessMessages();
    std::this_thread::sleep_for(std::min<Clock::duration>(kPause, deadline - now));
  }
  return true;
}

}  // namespace nimbra::ui
