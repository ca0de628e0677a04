// Fits the game's picture to the room the page gives it (the element SCREEN's
// box): the largest size that fits, with square pixels, fitted again on
// rotation, resize and full screen. The picture is shown through views, each
// a part of the canvas:
//   whole    the whole picture;
//   stacked  the board (right of the panel) on top and, below it, the panel
//            cut in two side by side: the status and counts, then the
//            settings and New Game; chosen where it makes the cells bigger,
//            as on a phone held upright;
//   board    the board alone (options.board), for a page that shows the
//            status itself.
// options.whole keeps the whole picture always (a page whose program does not
// tell it of each picture, which the panel's copy needs).
// Sharp on dense screens: a picture pixel covers a whole number of device
// pixels where that costs at most a fifth of the size, and is drawn
// pixelated otherwise. fit.toGame(element, clientX, clientY) maps a point on
// a view to the game's coordinates (scroll, zoom and scale included), or null.
'use strict';

window.spindrelFit = function (canvas, screen, options) {
  options = options || {};
  var PANEL = 200;             // the panel's width, left of the board
  var SPLIT = 189;             // the panel's settings start below its counts
  var PANEL_BOTTOM = 474;      // and its help ends above this line
  var frame = document.createElement('div');
  var copy = document.createElement('canvas');
  frame.className = 'spindrel-view';
  copy.className = 'spindrel-view';
  frame.style.cssText = 'position: relative; overflow: hidden; flex: none';
  copy.style.cssText = 'display: none; image-rendering: pixelated; flex: none';
  canvas.parentNode.insertBefore(frame, canvas);
  frame.appendChild(canvas);
  screen.appendChild(copy);
  canvas.style.position = 'absolute';
  [frame, copy].forEach(function (view) {
    view.oncontextmenu = function (e) { e.preventDefault(); };
  });
  var layout = null;

  // The panel's two halves on the copy: [x, y, width, height] on the canvas,
  // then where they go on the copy.
  function halves() {
    return [[0, 0, PANEL, SPLIT, 0, 0], [0, SPLIT, PANEL, PANEL_BOTTOM - SPLIT, PANEL, 0]];
  }

  function choose(room) {
    var w = canvas.width, h = canvas.height, board = w - PANEL;
    var whole = { scale: Math.min(room.width / w, room.height / h), source: [0, 0, w, h] };
    var alone = { scale: Math.min(room.width / board, room.height / h), source: [PANEL, 0, board, h] };
    var stacked = { scale: Math.min(room.width / board, room.width / (2 * PANEL),
                                    room.height / (h + PANEL_BOTTOM - SPLIT)),
                    source: alone.source, panel: true };
    if (options.board) return alone;
    return stacked.scale > whole.scale && !options.whole ? stacked : whole;
  }

  function sharp(scale) {
    var ratio = window.devicePixelRatio || 1, device = scale * ratio;
    if (device >= 1 && Math.floor(device) >= 0.8 * device) device = Math.floor(device);
    return device / ratio;
  }

  function px(v) { return v + 'px'; }

  function fit() {
    if (!canvas.width || !canvas.height) return;
    var full = document.fullscreenElement === screen;
    var room = options.room && !full ? options.room() : { width: screen.clientWidth, height: screen.clientHeight };
    if (full) room = { width: innerWidth, height: innerHeight };
    layout = choose(room);
    var s = layout.scale = sharp(layout.scale), src = layout.source;
    frame.style.width = px(src[2] * s);
    frame.style.height = px(src[3] * s);
    canvas.style.width = px(canvas.width * s);
    canvas.style.height = px(canvas.height * s);
    canvas.style.left = px(-src[0] * s);
    canvas.style.top = px(-src[1] * s);
    copy.style.display = layout.panel ? 'block' : 'none';
    if (layout.panel) {
      copy.width = 2 * PANEL;
      copy.height = PANEL_BOTTOM - SPLIT;
      copy.style.width = px(copy.width * s);
      copy.style.height = px(copy.height * s);
      present();
    }
  }

  // The panel's copy follows each picture the game shows.
  function present() {
    if (!layout || !layout.panel) return;
    var context = copy.getContext('2d');
    halves().forEach(function (p) { context.drawImage(canvas, p[0], p[1], p[2], p[3], p[4], p[5], p[2], p[3]); });
  }

  function toGame(element, clientX, clientY) {
    if (element !== canvas && element !== frame && element !== copy) return null;
    var box = (element === copy ? copy : canvas).getBoundingClientRect();
    var source = element === copy ? copy : canvas;
    if (!box.width || !box.height) return null;
    var x = Math.floor((clientX - box.left) * source.width / box.width);
    var y = Math.floor((clientY - box.top) * source.height / box.height);
    if (element !== copy) return [Math.min(Math.max(x, 0), canvas.width - 1), Math.min(Math.max(y, 0), canvas.height - 1)];
    var half = halves().filter(function (p) {
      return x >= p[4] && x < p[4] + p[2] && y >= p[5] && y < p[5] + p[3];
    })[0];
    return half ? [x - half[4] + half[0], y - half[5] + half[1]] : null;
  }

  new MutationObserver(fit).observe(canvas, { attributes: true, attributeFilter: ['width', 'height'] });
  addEventListener('resize', fit);
  addEventListener('orientationchange', fit);
  document.addEventListener('fullscreenchange', fit);
  fit();
  return { toGame: toGame, present: present, refit: fit, views: [frame, copy] };
};
