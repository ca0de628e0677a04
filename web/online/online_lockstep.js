// The game side of online play: every page of a room runs the same game from
// the room's seed, enters the room's settings as panel clicks, and enters the
// room's moves in the server's order through the game's move entry
// (online_move), each when the board is at rest and a human seat is to move.
// What the game clicked, and at which pass, is kept, so that the page can
// write its game as a script for the replay tool. Everything the page knows
// of the game it reads through the game's named accessors (online_main.cpp).
'use strict';

window.OnlineGame = function (Module, options) {
  var speed = options.speed || 1;  // passes per display frame (1: the game's pace)
  var sliceMs = 8;                 // one slice of unpaced passes; the page answers between slices

  var game = {
    seed: null,
    begun: false,
    queue: [],        // moves of the server's order not yet taken
    records: [],      // per move: n, seat, col, row, outcome, the board once at rest
    rests: [],        // [pass, board] each time the board comes to rest
    clicks: [],       // [pass, x, y]: every click the game was given
    catchingUp: false,
    finishing: false, // every human seat is out: the computers play on unpaced
    out: {},          // human seat -> the pass it lost its last node, before the game was won
    stopped: false,
    appliedAt: {},    // move number -> time the page entered it (performance.now)
    caughtUpAt: null, // time the last catch-up ended
    finishingAt: null,// time the computers' game began to run unpaced
    endedAt: null,    // and when it ended
    slices: 0,        // unpaced slices run
    finishPasses: 0   // passes of the computers' game the slices ran
  };
  var settingsClicks = [];  // [x, y] for passes 1, 2, ...
  var waiting = [];         // records whose board comes at the next rest
  var enteredRecord = null; // the record entered in the pass being run
  var wasAtRest = false;
  var sliceRunning = false;
  var inSlice = false;      // passes run by a slice, not by a display frame
  var movesSeen = -1;       // the game's move count when the seats were last looked at
  var channel = new MessageChannel();

  function call(name) { return Module['_online_' + name].apply(null, [].slice.call(arguments, 1)); }
  function board() { return Module.UTF8ToString(call('board')); }
  function current() { return call('current'); }
  function human(seat) { return seat >= 1 && seat <= call('last_seat') && !call('computer', seat); }
  function started(pass) { return pass > settingsClicks.length + 1; }
  function humanSeats() {
    var seats = [];
    for (var seat = 1; seat <= call('last_seat'); ++seat) if (human(seat)) seats.push(seat);
    return seats;
  }
  // Notes the human seats left with no node while the game goes on; true
  // when none is left.
  function humansOut(pass) {
    if (call('winner') !== 0) return false;
    var seats = humanSeats();
    seats.forEach(function (seat) { if (call('count', seat) === 0 && !game.out[seat]) game.out[seat] = pass; });
    return seats.every(function (seat) { return game.out[seat]; });
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

  function entered(pass) { game.clicks.push([pass, call('clicked', 0), call('clicked', 1)]); }

  function finish(record, line) {
    record.board = line;
    if (options.onRecord) options.onRecord(record);
  }

  // Takes moves off the queue until one is entered: the game drops a move
  // for another seat than the one to move, and every move after a win.
  function takeMove(pass) {
    while (game.queue.length) {
      var move = game.queue.shift();
      var record = { n: move.n, seat: move.seat, col: move.col, row: move.row };
      game.records.push(record);
      if (!call('move', move.seat, move.col, move.row)) {
        record.outcome = 'dropped';
        finish(record, board());
        continue;
      }
      entered(pass);
      game.appliedAt[move.n] = performance.timeOrigin + performance.now();
      enteredRecord = record;
      return;
    }
  }

  Module.onlineBeforePass = function (pass, index) {
    if (game.stopped) return 0;
    var unpaced = game.catchingUp || game.finishing;
    // A board at rest with nothing to enter waits for the next display frame.
    if ((index > 0 || unpaced) && wasAtRest && !game.queue.length && started(pass) && !game.finishing) return 0;
    // A display frame never runs more than its share: the slices do the rest,
    // so that the page answers between them.
    if (!inSlice && index >= speed) return 0;
    if (pass <= settingsClicks.length) {
      call('click', settingsClicks[pass - 1][0], settingsClicks[pass - 1][1]);
      entered(pass);
    } else if (wasAtRest && started(pass) && (human(current()) || call('winner') !== 0)) {
      takeMove(pass);
    }
    return 1;
  };

  Module.onlineAfterPass = function (pass, quiet) {
    var rest = call('at_rest') === 1, cameToRest = rest && !wasAtRest;
    wasAtRest = rest;  // before the records are told: the page reads the turn then
    if (enteredRecord) {
      // A move the rules refuse leaves the board at rest and the turn where it was.
      enteredRecord.outcome = rest ? 'refused' : 'applied';
      if (rest) finish(enteredRecord, board()); else waiting.push(enteredRecord);
      enteredRecord = null;
    }
    if (cameToRest) {
      var line = board();
      game.rests.push([pass, line]);
      waiting.forEach(function (record) { finish(record, line); });
      waiting = [];
    }
    if (game.finishing && call('winner') !== 0) {
      game.finishing = false;
      game.endedAt = performance.timeOrigin + performance.now();
    } else if (started(pass) && call('moves') !== movesSeen) {
      // A move has ended. Nobody left to play: the computers' game runs to its end unpaced.
      movesSeen = call('moves');
      if (humansOut(pass)) {
        game.finishing = true;
        game.finishingAt = performance.timeOrigin + performance.now();
        unpace();
      }
    }
    if (game.catchingUp && rest && !game.queue.length && started(pass)) {
      game.catchingUp = false;
      game.caughtUpAt = performance.timeOrigin + performance.now();
    }
    if (options.onPass && !quiet) options.onPass(pass);
  };

  // Unpaced slices, one after another through a message channel (no timer
  // clamping, no display frames), until the page is in step; then one picture.
  function slice() {
    if (game.stopped) { sliceRunning = false; return; }
    var finishing = game.finishing;
    inSlice = true;
    try {
      var passes = call('unpaced', sliceMs);
      if (finishing) game.finishPasses += passes;
    } finally { inSlice = false; }
    ++game.slices;
    if ((game.catchingUp || game.finishing) && !game.stopped) return channel.port2.postMessage(0);
    sliceRunning = false;
    call('paced');
    if (options.onCaughtUp) options.onCaughtUp();
  }
  channel.port1.onmessage = slice;
  function unpace() {
    if (sliceRunning || !game.begun) return;
    sliceRunning = true;
    channel.port2.postMessage(0);
  }

  // The page may rest while the board waits for a person's move (or the game
  // is won) and nothing is left to enter; a move wakes it (receive).
  Module.onlineMayRest = function () {
    return !game.stopped && !game.catchingUp && !game.finishing && !game.queue.length && wasAtRest &&
      (human(current()) || call('winner') !== 0) ? 1 : 0;
  };
  // A resting page makes up the passes it skipped before anything changes.
  game.wake = function () { if (game.begun && !game.stopped) Module._spindrel_wake(); };

  Module.onlineStopped = function () {
    game.stopped = true;
    if (options.onStopped) options.onStopped();
  };

  // A left press on the board's cell (column, row): the page decides what it means.
  Module.onlinePress = function (col, row) {
    if (game.begun && !game.stopped && options.onPress) options.onPress(col, row);
  };

  // At rest, a human seat to move, nothing left to enter: a move may be sent.
  game.idle = function () {
    return game.begun && !game.stopped && !game.catchingUp && !game.finishing && !game.queue.length &&
      wasAtRest && call('winner') === 0 && human(current()) && started(call('frame'));
  };
  // Whether the node would be played by a move of the seat to move now.
  game.playable = function (col, row) { return game.idle() && call('playable', col, row) === 1; };
  game.turn = function () {
    if (!game.begun) return null;
    return { current: current(), winner: call('winner'), atRest: wasAtRest, human: human(current()) };
  };
  // What the page shows: the counts, the rounds and moves, who is out.
  game.status = function () {
    if (!game.begun) return null;
    var counts = [];
    for (var seat = 1; seat <= 4; ++seat) counts.push(call('count', seat));
    return { counts: counts, moves: call('moves'), rounds: call('rounds'), finishing: game.finishing, out: game.out };
  };
  game.board = board;
  game.soundOn = function () { return game.begun && !game.stopped && call('sound_on') === 1; };
  game.pass = function () { return game.begun ? call('frame') : 0; };
  game.mark = function (col, row) { call('mark', col, row); };
  game.step = function (columns, rows) { call('mark_step', columns, rows); };
  game.marked = function () { return [call('mark_at', 0), call('mark_at', 1)]; };

  game.begin = function (seed, settings, catchUp) {
    game.seed = seed;
    settingsClicks = settingsAsClicks(settings);
    game.catchingUp = !!catchUp;
    game.begun = call('begin', seed) === 1;
    if (game.catchingUp) unpace();
    return game.begun;
  };

  // A move of the room. A page that has fallen behind by more than one move,
  // or that nobody looks at, runs unpaced, unless it plays the game again at
  // the game's pace.
  game.receive = function (move, paced) {
    game.wake();
    game.queue.push(move);
    if (!paced && (game.queue.length > 1 || document.hidden)) {
      game.catchingUp = true;
      unpace();
    }
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
