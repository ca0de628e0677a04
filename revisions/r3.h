// Build settings of CSpindrel-r3, the newest revision: an 18 by 18 board in a 640 by 480 window.
// Every program compiles the same sources; only this header differs.
#pragma once

// Burnout changes the node record itself, so the preprocessor needs it too.
#define SPINDREL_BURNOUT_ENABLED 0

namespace revision {
inline constexpr int boardSize = 18;  // columns = rows = N
inline constexpr int windowWidth = 640;
inline constexpr int windowHeight = 480;
inline constexpr int boardOriginX = 204;  // cell (0, 0), top-left corner
inline constexpr int boardOriginY = 24;
inline constexpr int backgroundColumns = 12;  // 64-pixel tiles
inline constexpr int backgroundRows = 9;
inline constexpr bool burnoutEnabled = SPINDREL_BURNOUT_ENABLED;
inline constexpr bool previewArrows = false;
inline constexpr bool diagnosticsEnabled = false;
}  // namespace revision
