// The game side of online play: every page of a room runs the same game from
// the room's seed, enters the room's settings as panel clicks, and clicks the
// room's moves in the server's order, each when the board is at rest and a
// human seat is to move. What a page clicks, and at which pass, is kept, so
// that the page can write its game as a script for the replay tool.
'use strict';

window.OnlineGame = function (Module, options) {
  var speed = options.speed || 1;          // passes per display frame (1: the game's pace)
  var catchUpBudgetMs = 25;                // unpaced passes per display frame while behind
  var catchUpMaxPasses = 20000;

  var game = {
    seed: null,
    begun: false,
    queue: [],        // moves of the server's order not yet taken
    records: [],      // per move: n, seat, col, row, outcome, the board once at rest
    rests: [],        // [pass, trace] each time the board comes to rest
    clicks: [],       // [pass, x, y]: every click this page gave the game
    catchingUp: false,
    stopped: false,
    appliedAt: {},    // move number -> time the page clicked it (performance.now)
    caughtUpAt: null  // time the last catch-up ended
  };
  var settingsClicks = [];  // [x, y] for passes 1, 2, ...
  var waiting = [];         // records whose board comes at the next rest
  var clickedRecord = null; // the record clicked in the pass being run
  var wasAtRest = false;
  var displayStart = 0;
  var layout = {};

  function call(name) { return Module['_online_' + name].apply(null, [].slice.call(arguments, 1)); }
  function trace() { return Module.UTF8ToString(call('trace')); }
  // The trace line without its pass number: the counters and the board.
  function state() { return trace().replace(/^T \d+ /, ''); }
  function atRest() { return call('settle') === -1; }
  function current() { return call('current'); }
  function humanToMove() {
    var seat = current();
    return seat >= 1 && seat <= call('last_seat') && !call('computer', seat);
  }
  function cellCentre(col, row) {
    return [layout.x + col * layout.cell + (layout.cell >> 1), layout.y + row * layout.cell + (layout.cell >> 1)];
  }

  // The room's settings as clicks on the panel, from what a fresh game
  // offers (two players, counter-clockwise, blue human, the others computers
  // at NORMAL), then New Game.
  function settingsAsClicks(settings) {
    var buttons = [];
    if (settings.players === 4) buttons.push(0);
    if (settings.sense === 'cw') buttons.push(1);
    settings.seats.forEach(function (seat, i) {
      var computer = seat.kind === 'computer';
      if (computer !== (i !== 0)) buttons.push(2 + 2 * i);
      if (computer && seat.strength === 2) buttons.push(3 + 2 * i);
    });
    buttons.push(10);
    return buttons.map(function (b) { return [call('layout', 10 + 2 * b), call('layout', 11 + 2 * b)]; });
  }

  function click(pass, x, y) {
    call('click', x, y);
    game.clicks.push([pass, x, y]);
  }

  function finish(record, board) {
    record.board = board;
    if (options.onRecord) options.onRecord(record);
  }

  // Takes moves off the queue until one is clicked: a move for another seat
  // than the one to move is dropped, and so is every move after a win.
  function takeMove(pass) {
    while (game.queue.length) {
      var move = game.queue.shift();
      var record = { n: move.n, seat: move.seat, col: move.col, row: move.row };
      game.records.push(record);
      if (call('winner') !== 0 || move.seat !== current()) {
        record.outcome = 'dropped';
        finish(record, state());
        continue;
      }
      var at = cellCentre(move.col, move.row);
      click(pass, at[0], at[1]);
      game.appliedAt[move.n] = performance.timeOrigin + performance.now();
      clickedRecord = record;
      return;
    }
  }

  Module.onlineBeforePass = function (pass, index) {
    if (game.stopped) return 0;
    if (index === 0) displayStart = performance.now();
    // Passes beyond the first only while there is something to run: a board at rest with nothing to click waits.
    if (index > 0 && wasAtRest && !game.queue.length && pass > settingsClicks.length + 1) return 0;
    var budgetSpent = index > 0 && performance.now() - displayStart > catchUpBudgetMs;
    if (game.catchingUp ? index >= catchUpMaxPasses || budgetSpent : index >= speed || budgetSpent) return 0;
    if (pass <= settingsClicks.length) {
      click(pass, settingsClicks[pass - 1][0], settingsClicks[pass - 1][1]);
    } else if (wasAtRest && pass > settingsClicks.length + 1 && humanToMove()) {
      takeMove(pass);
    } else if (wasAtRest && call('winner') !== 0) {
      takeMove(pass);
    }
    return 1;
  };

  Module.onlineAfterPass = function (pass) {
    var rest = atRest();
    if (clickedRecord) {
      // A click the rules refuse leaves the board at rest and the turn where it was.
      clickedRecord.outcome = rest ? 'refused' : 'applied';
      if (rest) finish(clickedRecord, state()); else waiting.push(clickedRecord);
      clickedRecord = null;
    }
    if (rest && !wasAtRest) {
      var line = state();
      game.rests.push([pass, line]);
      waiting.forEach(function (record) { finish(record, line); });
      waiting = [];
    }
    wasAtRest = rest;
    if (game.catchingUp && rest && !game.queue.length) {
      game.catchingUp = false;
      game.caughtUpAt = performance.timeOrigin + performance.now();
      if (options.onCaughtUp) options.onCaughtUp();
    }
    if (options.onPass) options.onPass(pass);
  };

  Module.onlineStopped = function () {
    game.stopped = true;
    if (options.onStopped) options.onStopped();
  };

  Module.onlineLocalClick = function (x, y) {
    if (!game.begun || game.stopped || options.onLocalClick === undefined) return;
    var col = Math.floor((x - layout.x) / layout.cell), row = Math.floor((y - layout.y) / layout.cell);
    var span = layout.cell * layout.size;
    if (!(layout.x < x && x < layout.x + span && layout.y < y && y < layout.y + span)) return;
    if (!game.idle()) return;
    // Only a node of the player to move, not burnt, would act: nothing else is sent.
    var cell = trace().split(' ')[8].substr(5 * (col * layout.size + row), 5);
    if (Number(cell[0]) !== current() || cell[4] === 'b') return;
    options.onLocalClick(current(), col, row);
  };

  // At rest, a human seat to move, nothing left to click: a click may be sent.
  game.idle = function () {
    return game.begun && !game.stopped && !game.catchingUp && !game.queue.length && wasAtRest &&
      call('winner') === 0 && humanToMove() && call('frame') > settingsClicks.length + 1;
  };
  game.turn = function () {
    if (!game.begun) return null;
    return { current: current(), winner: call('winner'), atRest: wasAtRest, human: humanToMove() };
  };
  game.pass = function () { return game.begun ? call('frame') : 0; };

  game.begin = function (seed, settings, catchUp) {
    game.seed = seed;
    layout = { x: call('layout', 0), y: call('layout', 1), cell: call('layout', 2), size: call('layout', 3) };
    settingsClicks = settingsAsClicks(settings);
    game.catchingUp = !!catchUp;
    game.begun = call('begin', seed) === 1;
    return game.begun;
  };

  game.receive = function (move) {
    game.queue.push(move);
    // A page that has fallen behind by more than one move runs unpaced.
    if (game.queue.length > 1) game.catchingUp = true;
  };

  // The game as this page played it, for the desktop replay tool.
  game.script = function (title) {
    var lines = ['# ' + (title || 'CSpindrel online'), 'seed ' + game.seed];
    game.clicks.forEach(function (c) { lines.push('at ' + c[0] + ' click ' + c[1] + ' ' + c[2]); });
    lines.push('frames ' + game.pass());
    return lines.join('\n') + '\n';
  };

  return game;
};
