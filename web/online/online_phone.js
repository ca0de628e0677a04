// The online page on a phone or a tablet: the board alone, fitted to the
// screen (fit.js) beside the status when held sideways, above it when
// upright; taps reach the game as the mouse does (pointer.js); and a line
// that says the page needs a connection while it has none.
'use strict';

(function () {
  var $ = function (id) { return document.getElementById(id); };
  var ASIDE = 260 + 16;  // the status column and the gap before it
  var MARGIN = 16;       // above the board, and as much below it when held sideways
  var fit = window.spindrelFit($('canvas'), $('screen'), {
    board: true,
    room: function () {
      return innerWidth > innerHeight ? { width: innerWidth - ASIDE, height: innerHeight - 2 * MARGIN }
        : { width: innerWidth, height: innerHeight - 120 };
    }
  });
  window.spindrelPointer(fit, function (kind, x, y) {
    window.online.game.wake();
    if (Module._spindrel_pointer) Module._spindrel_pointer(kind, x, y);
  });

  function needs() {
    $('needs-connection').hidden = navigator.onLine && $('connection').textContent === 'Connected';
  }
  new MutationObserver(needs).observe($('connection'), { childList: true, characterData: true, subtree: true });
  addEventListener('online', needs);
  addEventListener('offline', needs);
  needs();
})();
