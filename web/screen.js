// Full screen for the game's pages. F makes the game ask for full screen,
// and the browser grants it when the key comes up. What it toggles is the
// page's full screen of SCREEN, the element around the canvas, with the
// canvas scaled to fit and its pixels kept square (not resized, as
// Emscripten's own full screen would). Returns the toggle, to be put in as
// Module.requestFullscreen once the runtime is up.
'use strict';

window.spindrelScreen = function (canvas, screen) {
  function fit() {
    if (document.fullscreenElement === screen) {
      var scale = Math.min(innerWidth / canvas.width, innerHeight / canvas.height);
      canvas.style.width = Math.floor(canvas.width * scale) + 'px';
      canvas.style.height = Math.floor(canvas.height * scale) + 'px';
    } else {
      canvas.style.width = canvas.style.height = '';
    }
  }
  document.addEventListener('fullscreenchange', fit);
  addEventListener('resize', fit);
  return function () {
    if (document.fullscreenElement) document.exitFullscreen();
    else screen.requestFullscreen();
  };
};
