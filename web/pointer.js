// The page handles the pointer on the game itself, touch, pen and mouse
// alike: each pointer event on a view of the picture (fit.js) is mapped from
// the view's rectangle on screen to the game's coordinates and handed to
// deliver(kind, x, y): 0 a move, 1 a left press, 2 a left release. The
// browser's own mouse and touch events never reach the SDL port under the
// views. One pointer at a time plays: a second finger is ignored, and a
// pointer the browser cancels (a call coming in) releases the button where
// it last was. The browser neither scrolls, zooms, selects nor opens a menu
// under a finger on the game.
'use strict';

window.spindrelPointer = function (fit, deliver) {
  var held = null, last = null;
  function mine(e) { return fit.views.indexOf(e.target) >= 0 || e.target === Module.canvas; }
  function at(e) { return fit.toGame(e.target === Module.canvas ? fit.views[0] : e.target, e.clientX, e.clientY); }

  fit.views.concat(Module.canvas).forEach(function (view) {
    var s = view.style;
    s.touchAction = 'none';
    s.userSelect = s.webkitUserSelect = 'none';
    s.webkitTouchCallout = 'none';
    s.webkitTapHighlightColor = 'transparent';
  });

  var handlers = {
    pointerdown: function (e) {
      if (held !== null || e.button !== 0) return;
      var p = at(e);
      if (!p) return;
      held = e.pointerId;
      last = p;
      if (e.target.setPointerCapture) e.target.setPointerCapture(e.pointerId);
      deliver(0, p[0], p[1]);
      deliver(1, p[0], p[1]);
    },
    pointermove: function (e) {
      if (held !== e.pointerId && (held !== null || e.pointerType !== 'mouse')) return;
      var p = at(e);
      if (!p) return;
      last = p;
      deliver(0, p[0], p[1]);
    },
    pointerup: function (e) { release(e); },
    pointercancel: function (e) { release(e); }
  };
  function release(e) {
    if (held !== e.pointerId) return;
    held = null;
    deliver(2, last[0], last[1]);
  }

  Object.keys(handlers).forEach(function (type) {
    document.addEventListener(type, function (e) {
      if (!mine(e) && held !== e.pointerId) return;
      e.preventDefault();
      handlers[type](e);
    }, { capture: true, passive: false });
  });
  // The SDL port listens for these on the canvas; the page has taken the pointer.
  ['mousedown', 'mouseup', 'mousemove', 'mouseout', 'touchstart', 'touchmove', 'touchend', 'touchcancel',
   'contextmenu', 'dblclick'].forEach(function (type) {
    document.addEventListener(type, function (e) {
      if (!mine(e)) return;
      e.stopPropagation();
      if (e.cancelable && type !== 'mousemove') e.preventDefault();
    }, { capture: true, passive: false });
  });
};
