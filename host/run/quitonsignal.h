#pragma once

namespace vesh {

// Makes SIGINT and SIGTERM quit the running event loop, so that the usual
// clean-up (applets destroyed, plugins unloaded) runs before exit; a second
// signal ends the process at once.
void quitOnTerminationSignals();

// Whether such a signal has come, for work that runs outside the event
// loop and should end early.
bool quitRequested();

} // namespace vesh
