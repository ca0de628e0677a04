// The online page: the lobby, the connection to the server and what the page
// shows beside the canvas. The game itself is OnlineGame (online_lockstep.js),
// the program Emscripten builds is online.js and online.wasm.
//   online.html                               the lobby: create a game
//   online.html#room=CODE&token=TOKEN...      play the seats of those tokens
//   online.html#room=CODE                     watch
// online.html?speed=N runs up to N passes per display frame (for tests).
'use strict';

(function () {
  var NAMES = ['Blue', 'Red', 'Green', 'Yellow'];
  var STRENGTHS = { 1: 'NORMAL', 2: 'TOUGH' };
  var HEX = /^[0-9a-f]{32,128}$/i;
  var MAX_INT = 2147483647;
  var $ = function (id) { return document.getElementById(id); };

  var link = new URLSearchParams(location.hash.slice(1));
  var speed = Math.max(1, Math.min(10000, parseInt(new URLSearchParams(location.search).get('speed'), 10) || 1));
  var S = window.online = {
    room: link.get('room'),
    tokens: link.getAll('token'),
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
    onRuntimeInitialized: function () {
      Module.requestFullscreen = toggleFullscreen;  // F (screen.js)
      S.ready = true;
      begin();
    }
  };
  var passesShown = 0;
  S.game = window.OnlineGame(Module, {
    speed: speed,
    onLocalClick: sendMove,
    onRecord: show,
    onCaughtUp: show,
    onPass: function (pass) { if (pass - passesShown >= 6) { passesShown = pass; show(); } },
    onStopped: leave
  });

  // What the server may send; anything else means the connection is broken.
  function whole(v, low, high) { return Number.isInteger(v) && v >= low && v <= high; }
  function seatList(v) { return Array.isArray(v) && v.length <= 4 && v.every(function (s) { return whole(s, 1, 4); }); }
  function seatMap(v, check) {
    return v !== null && typeof v === 'object' && !Array.isArray(v) &&
      Object.keys(v).every(function (k) { return /^[1-4]$/.test(k) && check(v[k]); });
  }
  function settings(v) {
    return v !== null && typeof v === 'object' && (v.players === 2 || v.players === 4) &&
      (v.sense === 'ccw' || v.sense === 'cw') && Array.isArray(v.seats) && v.seats.length === 4 &&
      v.seats.every(function (s) {
        return s !== null && typeof s === 'object' && (s.kind === 'human' || s.kind === 'computer') &&
          (s.strength === 1 || s.strength === 2);
      });
  }
  var VALID = {
    created: function (m) { return HEX.test(m.room) && seatMap(m.tokens, function (t) { return HEX.test(t); }); },
    joined: function (m) {
      return HEX.test(m.room) && seatList(m.seats) && settings(m.settings) && whole(m.game, 0, MAX_INT) &&
        (m.game === 0 || whole(m.seed, 0, 4294967295)) && seatList(m.present) &&
        seatMap(m.lastSeq, function (q) { return whole(q, 0, Number.MAX_SAFE_INTEGER); });
    },
    started: function (m) { return whole(m.game, 1, MAX_INT) && whole(m.seed, 0, 4294967295); },
    move: function (m) {
      return whole(m.game, 1, MAX_INT) && whole(m.n, 1, Number.MAX_SAFE_INTEGER) && whole(m.seat, 1, 4) &&
        whole(m.col, 0, 23) && whole(m.row, 0, 23);
    },
    presence: function (m) { return seatList(m.present); },
    error: function (m) { return typeof m.message === 'string'; }
  };

  function receive(data) {
    var m = null;
    try { m = typeof data === 'string' ? JSON.parse(data) : null; } catch (e) { m = null; }
    if (m === null || typeof m !== 'object' || !VALID.hasOwnProperty(m.type) || !VALID[m.type](m))
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
      S.broken = null;
      S.seats = m.seats;
      S.settings = m.settings;
      S.present = m.present;
      S.seats.forEach(function (seat) { S.seq[seat] = Math.max(S.seq[seat] || 0, m.lastSeq[seat] || 0); });
      // A move the server never took is lost with the connection: the player clicks again.
      if (S.outstanding && (m.lastSeq[S.outstanding.seat] || 0) < S.outstanding.seq) S.outstanding = null;
      if (S.tokens.length > S.seats.length) message('Some of this link\'s seats are not seats of this room.');
      setState('connected');
      if (m.game === 0) return;
      if (S.game.begun && m.game !== S.gameNumber) return location.reload();  // a new game began meanwhile
      if (!S.game.begun) {
        S.gameNumber = m.game;
        S.seed = m.seed;
        S.catchUp = true;
        begin();
      }
    },
    started: function (m) {
      if (m.game <= S.gameNumber) return;
      if (S.game.begun) return location.reload();  // every game starts from a fresh program
      S.gameNumber = m.game;
      S.seed = m.seed;
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
      if (S.outstanding && S.outstanding.seat === m.seat) S.outstanding = null;
      S.game.receive({ n: m.n, seat: m.seat, col: m.col, row: m.row });
    },
    presence: function (m) { S.present = m.present; },
    error: function (m) {
      S.errors.push(m.message);
      message('The server says: ' + m.message);
    }
  };

  function begin() {
    if (!S.ready || S.seed === null || S.game.begun) return;
    S.game.begin(S.seed, S.settings, S.catchUp);
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

  // The connection: one WebSocket; when it ends, another after a pause that
  // doubles with every failed attempt, up to 8 s.
  function connect() {
    clearTimeout(S.timer);
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
  function retry(why) {
    var delay = Math.min(8000, 500 * Math.pow(2, S.attempt++)) * (0.8 + 0.4 * Math.random());
    setState((why ? why + ': ' : '') + 'reconnecting in ' + (delay / 1000).toFixed(1) + ' s');
    S.timer = setTimeout(connect, delay);
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
    canvas.style.opacity = 0.4;
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
    show();
  }
  function message(text) { $('message').textContent = text; }

  // The lobby's form: players, turning and who plays each colour.
  var CHOICES = [['browser', 'this browser'], ['friend', 'a friend (invite link)'],
                 ['c1', 'the computer, NORMAL'], ['c2', 'the computer, TOUGH']];
  function seatChoices() {
    var body = $('seat-choices');
    NAMES.forEach(function (name, i) {
      var row = body.insertRow(), select = document.createElement('select');
      row.insertCell().innerHTML = '<span class="seat seat' + (i + 1) + '">' + name + '</span>';
      select.id = 'seat' + (i + 1);
      CHOICES.forEach(function (c) { select.add(new Option(c[1], c[0])); });
      select.value = ['browser', 'friend', 'c1', 'c1'][i];
      row.insertCell().appendChild(select);
      row.className = i >= 2 ? 'far' : '';
    });
    var players = $('players');
    function rows() {
      [].forEach.call(body.querySelectorAll('.far'), function (r) { r.hidden = players.value !== '4'; });
    }
    players.onchange = rows;
    rows();
    $('create').onsubmit = function (e) {
      e.preventDefault();
      var count = Number(players.value);
      var choices = NAMES.map(function (_, i) { return i < count ? $('seat' + (i + 1)).value : 'c1'; });
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

  function invitesHtml() {
    var invites = JSON.parse(localStorage.getItem('spindrel-invites-' + S.room) || '{}');
    var rows = Object.keys(invites).map(function (seat) {
      return [NAMES[seat - 1] + '\'s invite link (send it to your friend)', address(S.room, [invites[seat]])];
    });
    rows.push(['Watch link (anyone, read-only)', address(S.room, [])]);
    return rows.map(function (r, i) {
      return '<p>' + r[0] + ' <button type="button" data-copy="link' + i + '">Copy</button>' +
        '<input readonly id="link' + i + '" value="' + r[1] + '"></p>';
    }).join('');
  }

  var shown = {};
  function replace(id, html) {
    if (shown[id] !== html) $(id).innerHTML = shown[id] = html;
  }

  // Beside the canvas: who plays which colour, whose turn it is, the links.
  function show() {
    $('create').hidden = !!S.room;
    $('room').hidden = !S.room;
    if (!S.room || !S.settings) return;
    var turn = S.game.turn(), settings = S.settings;
    var rows = [];
    for (var seat = 1; seat <= settings.players; ++seat) {
      var who = settings.seats[seat - 1], here = S.present.indexOf(seat) >= 0;
      var text = who.kind === 'computer' ? 'the computer, ' + STRENGTHS[who.strength]
        : S.seats.indexOf(seat) >= 0 ? 'you' : 'a friend';
      if (who.kind === 'human' && !here) text += ' <span class="away">(away)</span>';
      var mark = turn && turn.atRest && turn.winner === 0 && turn.current === seat ? ' class="turn"' : '';
      rows.push('<tr' + mark + '><td class="seat seat' + seat + '">' + NAMES[seat - 1] + '</td><td>' + text + '</td></tr>');
    }
    replace('seats', rows.join(''));

    var line;
    if (!turn) line = S.gameNumber ? 'The game is starting' : 'Waiting for the game to start';
    else if (turn.winner) line = NAMES[turn.winner - 1] + ' has won';
    else if (S.game.catchingUp) line = 'Catching up with the game';
    else if (!turn.atRest || !turn.human) line = 'Busy';
    else {
      line = NAMES[turn.current - 1] + '\'s turn';
      if (S.seats.indexOf(turn.current) >= 0) line += ' (yours)';
      else if (S.present.indexOf(turn.current) < 0) line += ' (away: the game waits)';
    }
    replace('turn', line.replace(/'/g, '&#39;'));

    replace('invites', !turn ? invitesHtml() : '');

    var humans = settings.seats.slice(0, settings.players).map(function (s, i) { return s.kind === 'human' ? i + 1 : 0; })
      .filter(Boolean);
    var everyone = humans.every(function (s) { return S.present.indexOf(s) >= 0; });
    var start = $('start');
    start.hidden = !S.seats.length || S.left || !(S.gameNumber === 0 || (turn && turn.winner));
    start.disabled = !everyone || S.state !== 'connected';
    start.textContent = S.gameNumber === 0 ? 'Start the game' : 'New game, same seats';
  }

  $('invites').onclick = function (e) {
    var id = e.target.getAttribute('data-copy');
    if (!id) return;
    var input = $(id);
    input.select();
    if (navigator.clipboard) navigator.clipboard.writeText(input.value).catch(function () { document.execCommand('copy'); });
    else document.execCommand('copy');
  };
  $('start').onclick = function () { send({ type: 'start', game: S.gameNumber + 1 }); };
  addEventListener('hashchange', function () { location.reload(); });

  seatChoices();
  show();
  connect();
})();
