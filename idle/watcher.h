#pragma once

namespace pellavin::idle {

// The whole of PellavinIdle: connects to the session, watches the settings
// beside the program and starts the runner there when the session has been
// left alone for the stored delay. Returns the exit status.
int run_watcher();

}  // namespace pellavin::idle
