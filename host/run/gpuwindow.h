#pragma once

namespace vesh {

class MachineFiles;

// Where the machine's chosen graphics card could suspend itself, waits for
// its next read window, saying on standard error that it waits and for how
// long at most, so that a reader that lives a moment reads it where every
// applet does and leaves it its quiet time. The decision is the applet's
// own. Called right before the first read; a wait ends early once
// stopped() says so.
void waitForGpuWindow(const MachineFiles &machine, bool (*stopped)());

} // namespace vesh
