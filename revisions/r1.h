// Build settings of CSpindrel-r1, the oldest revision.
// Every program compiles the same sources; only this header differs.
#pragma once

// Burnout changes the node record itself, so the preprocessor needs it too.
#define SPINDREL_BURNOUT_ENABLED 0

namespace revision {
inline constexpr int boardSize = 24;  // columns = rows = N
inline constexpr int windowWidth = 800;
inline constexpr int windowHeight = 600;
inline constexpr int boardOriginX = 212;  // cell (0, 0), top-left corner
inline constexpr int boardOriginY = 12;
inline constexpr int backgroundColumns = 14;  // 64-pixel tiles
inline constexpr int backgroundRows = 11;
inline constexpr bool burnoutEnabled = SPINDREL_BURNOUT_ENABLED;
inline constexpr bool previewArrows = false;
inline constexpr bool diagnosticsEnabled = false;
}  // namespace revision
