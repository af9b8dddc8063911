// The GTK 3 view: each window of the windowing layer shown by a GTK widget
// that mirrors its state, and a person's input at those widgets turned
// into the messages the layer expects. Runs on the thread that made it,
// which must be the thread of the program's windows.
#pragma once

#include <memory>

#include "platform/view.h"

namespace platform {

// The view, or null when no display can be opened.
std::unique_ptr<WindowView> OpenGtkView(int* argc, char*** argv);

}  // namespace platform
