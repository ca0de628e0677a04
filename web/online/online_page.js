// The online page: the connection to the server, the room's messages and
// the player's input. The game itself is OnlineGame (online_lockstep.js),
// what the page says is OnlineView (online_view.js), the program Emscripten
// builds is online.js and online.wasm.
//   online.html                               the lobby: create a game
//   online.html#room=CODE&token=TOKEN...      play the seats of those tokens
//   online.html#room=CODE                     watch
//   online.html#room=CODE&game=N&from=start   watch game N again from its first move, at the game's pace
// online.html?speed=N runs up to N passes per display frame (for tests).
'use strict';

(function () {
  var HEX = /^[0-9a-f]{32,128}$/i;
  var $ = function (id) { return document.getElementById(id); };

  var link = new URLSearchParams(location.hash.slice(1));
  var speed = Math.max(1, Math.min(10000, parseInt(new URLSearchParams(location.search).get('speed'), 10) || 1));
  var S = window.online = {
    room: link.get('room'),
    tokens: link.getAll('token'),
    again: link.get('from') === 'start',  // a finished game watched again
    seen: JSON.parse(localStorage.getItem('spindrel-seen-' + link.get('room')) || '{}'),  // seats seen in the room
    seats: [],          // the seats this page plays
    settings: null,
    gameNumber: 0,
    seed: null,
    present: [],
    seq: {},            // per seat: the last seq sent or taken
    lastN: 0,           // the last move of the current game received
    outstanding: null,  // a move sent and not come back
    socket: null,
    attempt: 0,
    state: 'not connected',
    broken: null,
    left: false,
    ready: false,
    catchUp: false,
    sent: [],
    errors: [],
    choices: null
  };

  var canvas = $('canvas'), toggleFullscreen = window.spindrelScreen(canvas, $('screen'));

  window.Module = {
    canvas: canvas,
    noAudioDecoding: true,
    // The game's diagnostics go to the console, but not while the page catches up: a line a click adds up.
    print: function (line) { if (!S.game.catchingUp && !S.game.finishing) console.log(line); },
    onRuntimeInitialized: function () {
      Module.requestFullscreen = toggleFullscreen;  // F (screen.js)
      // The board only, fitted to the screen: online_phone.js (fit.js).
      S.ready = true;
      S.readyAt = performance.timeOrigin + performance.now();
      begin();
    }
  };
  var passesShown = 0;
  var view = window.OnlineView(S, address);
  S.game = window.OnlineGame(Module, {
    speed: speed,
    onPress: press,
    onRecord: show,
    onCaughtUp: function () { dim(); show(); },
    onPass: function (pass) { if (pass - passesShown >= 6) { passesShown = pass; show(); } },
    onStopped: leave
  });

  // What the server may send, as the protocol's schema says (protocol.js); anything else means the
  // connection is broken. A joined message of a game under way also brings its seed.
  var SCHEMA = window.SpindrelProtocol;
  function isObject(v) { return v !== null && typeof v === 'object' && !Array.isArray(v); }
  function fits(v, type) {
    if (type === 'hex') return typeof v === 'string' && HEX.test(v);
    if (type === 'string') return typeof v === 'string';
    if (typeof type === 'string') return fits(v, SCHEMA.types[type]);
    if (type.int) return Number.isInteger(v) && v >= type.int[0] && v <= type.int[1];
    if (type['one of']) return type['one of'].indexOf(v) >= 0;
    if (type.object) return isObject(v) && fields(v, type.object);
    var list = type['list of'], map = type['seat map of'];
    if (list) {
      return Array.isArray(v) && (type.length === undefined || v.length === type.length) &&
        (type['at most'] === undefined || v.length <= type['at most']) && v.every(function (x) { return fits(x, list); });
    }
    return !!map && isObject(v) && Object.keys(v).every(function (k) { return /^[1-4]$/.test(k) && fits(v[k], map); });
  }
  function fields(v, shape) {
    return Object.keys(shape).every(function (name) {
      var optional = name.slice(-1) === '?', key = optional ? name.slice(0, -1) : name;
      return optional && v[key] === undefined || fits(v[key], shape[name]);
    });
  }
  function valid(m) {
    var shape = isObject(m) && SCHEMA['to page'].hasOwnProperty(m.type) && SCHEMA['to page'][m.type];
    return !!shape && fields(m, shape) && (m.type !== 'joined' || m.game === 0 || m.seed !== undefined);
  }

  function receive(data) {
    var m = null;
    try { m = typeof data === 'string' ? JSON.parse(data) : null; } catch (e) { m = null; }
    if (!valid(m))
      return broken('the server sent something this page cannot read');
    HANDLERS[m.type](m);
    show();
  }

  var HANDLERS = {
    created: function (m) {
      if (!S.choices) return;
      var mine = [], invites = {};
      Object.keys(m.tokens).sort().forEach(function (seat) {
        if (S.choices[seat - 1] === 'browser') mine.push(m.tokens[seat]); else invites[seat] = m.tokens[seat];
      });
      S.choices = null;
      localStorage.setItem('spindrel-invites-' + m.room, JSON.stringify(invites));
      S.room = m.room;
      S.tokens = mine;
      history.replaceState(null, '', '#' + fragment(m.room, mine));
      join();
    },
    joined: function (m) {
      S.joinedAt = performance.timeOrigin + performance.now();
      S.attempt = 0;
      S.retryWhy = null;
      S.broken = null;
      S.seats = m.seats;
      S.settings = m.settings;
      seen(m.present, m.joined);
      S.seats.forEach(function (seat) { S.seq[seat] = Math.max(S.seq[seat] || 0, m.lastSeq[seat] || 0); });
      // A move the server never took is lost with the connection: the player clicks again.
      if (S.outstanding && (m.lastSeq[S.outstanding.seat] || 0) < S.outstanding.seq) S.outstanding = null;
      if (S.tokens.length > S.seats.length) message('Some of this link\'s seats are not seats of this room.');
      setState('connected');
      if (S.seats.length && m.game > 0) view.askToNotify();
      if (S.again && Number(link.get('game')) !== m.game)
        message('The room has started another game since: this is its latest game.');
      if (m.game === 0) return;
      if (S.game.begun && m.game !== S.gameNumber) return location.reload();  // a new game began meanwhile
      if (!S.game.begun) {
        S.gameNumber = m.game;
        S.seed = m.seed;
        S.catchUp = !S.again;
        begin();
      }
    },
    started: function (m) {
      if (m.game <= S.gameNumber) return;
      if (S.game.begun) return location.reload();  // every game starts from a fresh program
      S.gameNumber = m.game;
      S.seed = m.seed;
      if (S.seats.length) view.askToNotify();
      begin();
    },
    move: function (m) {
      if (m.game !== S.gameNumber) {
        if (m.game > S.gameNumber && S.game.begun) location.reload();
        return;
      }
      if (m.n <= S.lastN) return;  // had it already
      if (m.n !== S.lastN + 1) return broken('a move of the room is missing');
      S.lastN = m.n;
      S.movesAt = performance.timeOrigin + performance.now();
      if (S.outstanding && S.outstanding.seat === m.seat) S.outstanding = null;
      S.game.receive({ n: m.n, seat: m.seat, col: m.col, row: m.row }, S.again);
    },
    presence: function (m) { seen(m.present, m.joined); },
    error: function (m) {
      S.errors.push(m.message);
      message('The server says: ' + m.message);
    }
  };

  // present: the seats with a page now; joined: those whose link was ever opened.
  function seen(present, joined) {
    S.present = present;
    present.concat(joined).forEach(function (seat) { S.seen[seat] = true; });
    localStorage.setItem('spindrel-seen-' + S.room, JSON.stringify(S.seen));
  }

  function begin() {
    if (!S.ready || S.seed === null || S.game.begun) return;
    S.game.begin(S.seed, S.settings, S.catchUp);
    S.begunAt = performance.timeOrigin + performance.now();
    canvas.focus();
  }

  function fragment(room, tokens) {
    return 'room=' + room + tokens.map(function (t) { return '&token=' + t; }).join('');
  }
  function address(room, tokens) { return location.origin + location.pathname + '#' + fragment(room, tokens); }

  function send(m) {
    if (!S.socket || S.socket.readyState !== WebSocket.OPEN) return false;
    S.socket.send(JSON.stringify(m));
    return true;
  }
  S.send = send;

  function join() {
    send({ type: 'join', room: S.room, tokens: S.tokens, since: S.lastN });
  }

  function sendMove(seat, col, row) {
    if (S.state !== 'connected' || S.seats.indexOf(seat) < 0 || S.outstanding) return;
    var seq = (S.seq[seat] || 0) + 1;
    if (!send({ type: 'move', game: S.gameNumber, seat: seat, col: col, row: row, seq: seq })) return;
    S.seq[seat] = seq;
    S.outstanding = { seat: seat, seq: seq };
    S.sent.push({ seat: seat, col: col, row: row, seq: seq, at: performance.timeOrigin + performance.now() });
  }

  // A press on a cell of the board. A mouse click plays it at once; a tap
  // marks the node, and a second tap on the marked node plays it.
  var pointerKind = 'mouse';
  canvas.addEventListener('pointerdown', function (e) { pointerKind = e.pointerType; }, true);
  function press(col, row) {
    var marked = S.game.marked();
    if (pointerKind !== 'touch' || (marked[0] === col && marked[1] === row)) play(col, row);
    else S.game.mark(col, row);
  }
  function play(col, row) {
    var turn = S.game.turn();
    if (!turn || S.seats.indexOf(turn.current) < 0 || !S.game.playable(col, row)) return;
    S.game.mark(-1, -1);
    sendMove(turn.current, col, row);
  }
  // A key, or the tab shown or hidden, wakes a resting game first (a hidden
  // page runs no passes, resting or not).
  addEventListener('keydown', S.game.wake, true);
  addEventListener('keyup', S.game.wake, true);
  document.addEventListener('visibilitychange', S.game.wake);
  // The keys: the arrows move the mark (the first marks the board's middle),
  // Enter or Space plays the marked node.
  var STEPS = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
  addEventListener('keydown', function (e) {
    if (!S.game.begun || !S.seats.length || e.altKey || e.ctrlKey || e.metaKey) return;
    var marked = S.game.marked(), step = STEPS[e.key];
    if (step) {
      S.game.step(step[0], step[1]);
    } else if ((e.key === 'Enter' || e.key === ' ') && marked[0] >= 0) {
      play(marked[0], marked[1]);
    } else return;
    e.preventDefault();
    e.stopPropagation();
  }, true);

  // The connection: one WebSocket; when it ends, another after a pause that
  // doubles with every failed attempt, up to 8 s.
  function connect() {
    clearTimeout(S.timer);
    S.retryAt = null;
    setState('connecting');
    var ws = S.socket = new WebSocket((location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/ws' + (S.room ? '?room=' + encodeURIComponent(S.room) : ''));
    ws.onopen = function () {
      if (ws !== S.socket) return;
      if (S.room) join(); else { S.attempt = 0; setState('connected'); }
    };
    ws.onmessage = function (e) { if (ws === S.socket) receive(e.data); };
    ws.onclose = function (e) {
      if (ws !== S.socket) return;
      S.socket = null;
      if (!S.left) retry(e.reason);
    };
  }
  // The first try follows the lost connection; from the fourth on, three have
  // failed. why: what the server said when it closed, if anything.
  function retry(why) {
    var delay = Math.min(8000, 500 * Math.pow(2, S.attempt++)) * (0.8 + 0.4 * Math.random());
    S.retryAt = performance.now() + delay;
    if (why) S.retryWhy = why;
    S.timer = setTimeout(connect, delay);
    countdown();
  }
  // The seconds to the next try, said again every second.
  function countdown() {
    if (!S.retryAt) return;
    var left = Math.max(1, Math.ceil((S.retryAt - performance.now()) / 1000));
    setState((S.attempt > 3 ? 'the server cannot be reached' : S.retryWhy || 'connection lost') + '; trying again in ' + left + ' s');
    setTimeout(countdown, (S.retryAt - performance.now()) % 1000 || 1000);
  }
  function broken(why) {
    S.broken = why;
    setState('broken: ' + why);
    if (S.socket) S.socket.close();
  }
  S.reconnect = function () { if (S.socket) S.socket.close(); };

  function leave() {
    S.left = true;
    clearTimeout(S.timer);
    if (S.socket) S.socket.close();
    S.socket = null;
    setState('you left the game');
    var again = document.createElement('button');
    again.textContent = 'Back to the game';
    again.onclick = function () { location.reload(); };
    $('message').textContent = '';
    $('message').appendChild(again);
    again.focus();
    show();
  }

  function setState(state) {
    S.state = state;
    var text = state === 'connected' ? 'Connected' : state.charAt(0).toUpperCase() + state.slice(1);
    if (S.broken && state !== 'connected')
      text = 'Connection broken (' + S.broken + ')' + (state.indexOf('broken') === 0 ? '' : '; ' + state);
    $('connection').textContent = text;
    $('connection').className = state === 'connected' ? '' : 'bad';
    if (S.retryAt && S.attempt > 3) {
      var now = document.createElement('button');
      now.textContent = 'Try now';
      now.id = 'try-now';
      now.onclick = connect;
      $('connection').append(' ', now);
    }
    dim();
    show();
  }
  // The board is dimmed while it may not be the room's: not connected, behind, or left.
  function dim() {
    canvas.classList.toggle('dim', S.left || S.state !== 'connected' || S.game.catchingUp);
  }
  function message(text) { $('message').textContent = text; }

  // The lobby's form: players, turning and who plays each colour.
  function seatChoices() {
    view.lobby();
    var players = $('players'), body = $('seat-choices');
    function rows() {
      [].forEach.call(body.querySelectorAll('.far'), function (r) { r.hidden = players.value !== '4'; });
    }
    players.onchange = rows;
    rows();
    $('create').onsubmit = function (e) {
      e.preventDefault();
      var count = Number(players.value);
      var choices = [1, 2, 3, 4].map(function (seat, i) { return i < count ? $('seat' + (i + 1)).value : 'c1'; });
      if (!choices.some(function (c) { return c === 'browser' || c === 'friend'; }))
        return message('At least one colour needs a person.');
      S.choices = choices;
      if (!send({
        type: 'create', players: count, sense: $('sense').value,
        seats: choices.map(function (c) {
          return c === 'c1' || c === 'c2' ? { kind: 'computer', strength: c === 'c2' ? 2 : 1 } : { kind: 'human', strength: 1 };
        })
      })) message('Not connected to the server yet.');
    };
  }

  // What the page says, said again; while the page catches up, once.
  var toldCatchingUp = false;
  function show() {
    if (S.game.catchingUp && toldCatchingUp) return;
    toldCatchingUp = S.game.catchingUp;
    view.show();
  }

  $('start').onclick = function () { send({ type: 'start', game: S.gameNumber + 1 }); };
  addEventListener('hashchange', function () { location.reload(); });

  seatChoices();
  show();
  connect();
})();
