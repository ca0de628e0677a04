// Where everything sits: the pictures in the three sheets, the panel's
// buttons and text rows, the font's grid. The game reads the sheets with
// these numbers and the data generator draws them with the same numbers, so
// a change of layout is one edit here.
#pragma once

namespace layout {

// A rectangle of a sheet or of the screen: corner, width, height.
struct Rect {
  int x, y, width, height;
};

// --- nodes.bmp: one strip of 13 pictures, one every 25 pixels: five bodies
// by owner (nobody, blue, red, green, yellow), four arrows by direction, the
// horizontal and the vertical bar, the firing and the burnt mark.
inline constexpr int nodeStep = 25;  // from one picture to the next
inline constexpr int nodeSheetWidth = 13 * nodeStep;
inline constexpr int nodeSheetHeight = 25;
inline constexpr int nodePicture = 23;  // bodies, arrows and connectors are square
inline constexpr int markPicture = 25;  // the firing and burnt marks
inline constexpr int bodyX(int owner) { return nodeStep * owner; }
inline constexpr int arrowX(int direction) { return nodeStep * (5 + direction); }
inline constexpr int horizontalConnectorX = 9 * nodeStep;
inline constexpr int verticalConnectorX = 10 * nodeStep;
inline constexpr int firingMarkX = 11 * nodeStep;
inline constexpr int burntMarkX = 12 * nodeStep;
// A bar is drawn 12 pixels toward the neighbour, so that it spans from one
// node's centre to the next.
inline constexpr int connectorReach = 12;

// --- ui.bmp: the pointer, the background tile and the panel backdrop -----
inline constexpr int uiSheetWidth = 264;
inline constexpr int uiSheetHeight = 600;
inline constexpr Rect pointer{0, 31, 23, 22};
inline constexpr Rect backgroundTile{0, 53, 64, 64};
inline constexpr Rect panel{64, 0, 200, 600};  // drawn at the screen's (0, 0)

// --- font.bmp: a 16 x 8 grid of 16-pixel cells, one per character code ---
inline constexpr int fontSheetWidth = 256;
inline constexpr int fontSheetHeight = 128;
inline constexpr int fontCell = 16;
inline constexpr int fontColumns = 16;
inline constexpr int glyphInset = 1;   // the picture starts 1 pixel into its cell
inline constexpr int glyphSize = 15;   // and is 15 x 15
inline constexpr int textAdvance = 7;  // the pen moves 7 pixels per character

// --- The panel, in screen coordinates ------------------------------------
// Ten settings buttons in five pairs (players and direction, then one pair
// per seat), then New Game.
inline constexpr int settingGroups = 5;
inline constexpr int settingGroupPitch = 43;
inline constexpr Rect settingButton(int group, int second) {
  return Rect{10, 192 + settingGroupPitch * group + 20 * second, 180, 18};
}
inline constexpr Rect newGameButton{20, 410, 160, 30};

// Text rows: centred lines give the centre x, the others the left edge; y is
// the top of the line.
inline constexpr int panelCentreX = 100;
inline constexpr int statusY = 8;
inline constexpr int countsX = 37;
inline constexpr int countsY(int owner) { return 49 + 21 * owner; }
inline constexpr int countersY = 154;
inline constexpr int settingTextX = 116;
inline constexpr int settingTextY(int group, int second) {  // 3 below the button's top
  return settingButton(group, second).y + 3;
}
inline constexpr int newGameTextY = 412;
inline constexpr int newGameHintY = 422;
inline constexpr int helpY = 450;  // the second help line is 10 below
inline constexpr int helpPitch = 10;
inline constexpr int frameRateY = 585;  // left edge at the board's left edge

}  // namespace layout
