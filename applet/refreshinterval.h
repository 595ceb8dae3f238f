#pragma once

namespace vesh {

// How often the applet samples, in milliseconds.
inline constexpr int RefreshIntervalMs = 2000;

} // namespace vesh
