#pragma once

#include <chrono>
#include <functional>

#include "ui/ui.h"

namespace nimbra::ui {

// Waits while `busy` holds, letting the window's messages run between looks
// so that the wizard stays alive, but no longer than `limit`. Returns true
// when `busy` ended in time. Every wait of the wizard (for another program,
// a window to close, a service to stop, a server to answer) goes through here.
bool WaitPumping(Ui& ui, std::chrono::milliseconds limit, const std::function<bool()>& busy);

}  // namespace nimbra::ui
