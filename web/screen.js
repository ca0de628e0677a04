// Full screen for the game's pages. F makes the game ask for full screen,
// and the browser grants it when the key comes up. What it toggles is the
// page's full screen of SCREEN, the element around the canvas, where fit.js
// scales the picture to the whole screen with its pixels kept square (not
// resized, as Emscripten's own full screen would). Returns the toggle, to be
// put in as Module.requestFullscreen once the runtime is up.
'use strict';

window.spindrelScreen = function (canvas, screen) {
  return function () {
    if (document.fullscreenElement) document.exitFullscreen();
    else screen.requestFullscreen();
  };
};
