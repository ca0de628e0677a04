// What the online page says beside the board: the lobby's form, the waiting
// room (who has joined, the links, why Start waits), whose turn it is, the
// seats' counts, the result, and the turn's alerts (the tab's title, a
// notification when the tab is hidden, a short sound when sound is on).
// Everything comes from the page's state S (online_page.js) and its game.
'use strict';

window.OnlineView = function (S, address) {
  var NAMES = ['Blue', 'Red', 'Green', 'Yellow'];
  var SHAPES = ['\u25a0', '\u25c6', '\u2739', '\u271a'];  // square, diamond, cog, cross: the nodes' shapes
  var STRENGTHS = { 1: 'NORMAL', 2: 'TOUGH' };
  var TITLE = document.title;
  var $ = function (id) { return document.getElementById(id); };
  var view = {};

  function seatName(seat) {
    return '<span class="seat seat' + seat + '">' + SHAPES[seat - 1] + ' ' + NAMES[seat - 1] + '</span>';
  }
  function mine(seat) { return S.seats.indexOf(seat) >= 0; }
  function humans() {
    var seats = [];
    for (var seat = 1; seat <= S.settings.players; ++seat) if (S.settings.seats[seat - 1].kind === 'human') seats.push(seat);
    return seats;
  }
  // joined (here now), away (was here, gone) or not joined yet (its link never opened here).
  function presence(seat) {
    if (S.present.indexOf(seat) >= 0) return 'joined';
    return S.seen[seat] ? 'away' : 'not joined yet';
  }

  // The lobby: a small board beside the two lines, and the form's rows.
  var CHOICES = [['browser', 'this browser'], ['friend', 'a friend'],
                 ['c1', 'the computer, NORMAL'], ['c2', 'the computer, TOUGH']];
  view.lobby = function () {
    var picture = '', owners = '112200110200100022003322033322333300';
    for (var i = 0; i < 36; ++i) {
      var x = i % 6 + 0.5, y = Math.floor(i / 6) + 0.5, o = Number(owners[i]), angle = (i * 7) % 4 * 90;
      picture += '<line x1="' + x + '" y1="' + y + '" x2="' + x + '" y2="' + (y - 0.5) + '" stroke="#555" stroke-width="0.12"' +
        ' transform="rotate(' + angle + ' ' + x + ' ' + y + ')"/>';
      picture += o === 0 ? '<circle cx="' + x + '" cy="' + y + '" r="0.2" fill="#7f7f85"/>'
        : '<text x="' + x + '" y="' + (y + 0.2) + '" font-size="0.6" text-anchor="middle" class="seat' + o + '"' +
          ' fill="currentColor">' + SHAPES[o - 1] + '</text>';
    }
    $('picture').innerHTML = picture;
    var body = $('seat-choices');
    NAMES.forEach(function (name, i) {
      var row = body.insertRow(), select = document.createElement('select');
      row.insertCell().innerHTML = seatName(i + 1);
      select.id = 'seat' + (i + 1);
      CHOICES.forEach(function (c) { select.add(new Option(c[1], c[0])); });
      select.value = ['browser', 'friend', 'c1', 'c1'][i];
      row.insertCell().appendChild(select);
      row.className = i >= 2 ? 'far' : '';
    });
  };

  function linksHtml() {
    var invites = JSON.parse(localStorage.getItem('spindrel-invites-' + S.room) || '{}');
    var rows = Object.keys(invites).map(function (seat) {
      return [seat, 'Invite link for ' + seatName(Number(seat)) + ': send it to the friend who plays ' +
        NAMES[seat - 1], address(S.room, [invites[seat]])];
    });
    rows.push([0, 'Watch link: anyone who opens it follows the game, without playing', address(S.room, [])]);
    return rows.map(function (r, i) { return linkHtml('link' + i, r[0], r[1], r[2]); }).join('');
  }
  function linkHtml(id, seat, label, url) {
    return '<div class="link seat' + seat + '"><label for="' + id + '">' + label + '</label>' +
      '<input readonly id="' + id + '" value="' + url + '"><br>' +
      '<button type="button" data-copy="' + id + '">Copy</button>' +
      (navigator.share ? ' <button type="button" data-share="' + id + '">Share</button>' : '') + '</div>';
  }

  var shown = {};
  function replace(id, html) {
    if (shown[id] !== html) $(id).innerHTML = shown[id] = html;
  }

  // The line under the board's title: whose turn it is, in this page's terms.
  function turnLine(turn, status) {
    if (!turn) return S.gameNumber ? 'The game is starting' : 'Waiting for the game to start';
    if (turn.winner) return seatName(turn.winner) + ' won';
    if (S.state !== 'connected' && !S.left) return 'Out of touch with the room until the connection is back';
    if (S.game.catchingUp) return 'Catching up with the game\u2026';
    if (status.finishing) return 'Nobody is left to play: the computers finish the game';
    var who = seatName(turn.current);
    var watching = S.seats.length ? '' : 'You are watching: ';
    if (!turn.atRest || !turn.human) {
      return watching + (turn.current > 0 && S.settings.seats[turn.current - 1].kind === 'computer'
        ? 'the computer plays ' + who : 'the nodes are firing');
    }
    if (mine(turn.current)) return 'Your turn (' + who + ')';
    if (presence(turn.current) !== 'joined') return watching + who + '\'s turn (' + presence(turn.current) + ': the game waits)';
    return watching + who + '\'s turn';
  }

  // The result, in this page's player's terms.
  function result(turn, status) {
    if (!turn) return '';
    var out = S.seats.length && S.seats.every(function (seat) { return status.out[seat]; });
    if (turn.winner) return mine(turn.winner) ? 'You won' : out ? 'You are out' : NAMES[turn.winner - 1] + ' won';
    return out ? 'You are out' : '';
  }

  function seatsHtml(turn, status) {
    var rows = [];
    for (var seat = 1; seat <= S.settings.players; ++seat) {
      var who = S.settings.seats[seat - 1], state = '';
      var text = who.kind === 'computer' ? 'the computer, ' + STRENGTHS[who.strength] : mine(seat) ? 'you' : 'a friend';
      if (who.kind === 'human' && !mine(seat)) {
        state = presence(seat);
        state = '<span class="' + (state === 'away' ? 'away' : state === 'joined' ? '' : 'pending') + '">' + state + '</span>';
      }
      var nodes = status ? status.counts[seat - 1] + ' nodes' : '';
      var mark = turn && turn.atRest && turn.winner === 0 && turn.current === seat ? ' class="turn"' : '';
      rows.push('<tr' + mark + '><td>' + seatName(seat) + '</td><td>' + text + '</td><td>' + nodes + '</td><td>' +
        state + '</td></tr>');
    }
    return rows.join('');
  }

  // Why Start waits, or nothing when it can start.
  function startWaits() {
    if (S.state !== 'connected') return 'Waiting for the connection to the server';
    var missing = humans().filter(function (seat) { return presence(seat) !== 'joined'; });
    if (!missing.length) return '';
    var seat = missing[0];
    return 'Waiting for ' + NAMES[seat - 1] + (presence(seat) === 'away' ? ' to come back' : ' to open their invite link');
  }

  // How to play here: by touch on a screen without a mouse, else by mouse and keys.
  var touch = matchMedia('(hover: none) and (pointer: coarse)');
  touch.addEventListener('change', function () { view.show(); });
  // Once the game has its result for this page (won, or its seats out), no node is left to play.
  function keysLine(turn, end) {
    var plays = S.seats.length && turn && !end;
    if (touch.matches) return plays ? 'Tap one of your nodes on your turn to mark it, then tap it again to play it' : '';
    return (plays ? 'Click one of your nodes on your turn, or pick it with the arrow keys and play it with Enter \u00b7 ' : '') +
      'S: sound on/off \u00b7 F: full screen' + (S.seats.length ? ' \u00b7 Esc: leave the game' : '');
  }

  view.show = function () {
    $('create').hidden = !!S.room;
    $('room').hidden = !S.room;
    $('screen').hidden = !S.game.begun;
    var turn = S.game.turn(), status = S.game.status(), end = result(turn, status);
    var keys = keysLine(turn, end);
    $('keys').hidden = !S.game.begun || !keys;
    $('keys').textContent = keys;
    if (!S.room || !S.settings) return;
    replace('seats', seatsHtml(turn, status));
    replace('turn', turnLine(turn, status));
    replace('counters', status ? 'Round ' + (status.rounds + 1) + ' \u00b7 ' + status.moves + (status.moves === 1 ? ' move' : ' moves') : '');
    $('result').hidden = !end;
    replace('result', end);
    replace('invites', !turn && S.gameNumber === 0 ? linksHtml() : '');
    var won = !!(turn && turn.winner);
    replace('again', won ? linkHtml('again-link', 0, 'Watch this game again from its first move',
      address(S.room, []) + '&game=' + S.gameNumber + '&from=start') : '');
    $('again').hidden = !won;

    var start = $('start'), why = startWaits();
    start.hidden = !S.seats.length || S.left || !(S.gameNumber === 0 || won);
    start.disabled = !!why;
    start.textContent = S.gameNumber === 0 ? 'Start the game' : 'New game, same seats';
    replace('why', start.hidden ? '' : why);
    alertTurn(S.state === 'connected' && S.game.idle() && mine(turn.current));
  };

  // When it becomes this page's player's turn: the title, a notification if
  // the tab is hidden, a short sound if the game's sound is on.
  var myTurn = false;
  function alertTurn(now) {
    document.title = now ? 'Your turn \u00b7 ' + TITLE : TITLE;
    if (now === myTurn) return;
    myTurn = now;
    if (!now) return;
    if (document.hidden && window.Notification && Notification.permission === 'granted') {
      S.notified = (S.notified || 0) + 1;
      new Notification('CSpindrel: your turn', { body: 'It is your turn in the online game.', tag: 'spindrel-turn' });
    }
    if (S.game.soundOn()) beep();
  }
  var audio = null;
  function beep() {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return;
    audio = audio || new Context();
    audio.resume();
    var tone = audio.createOscillator(), gain = audio.createGain(), t = audio.currentTime;
    tone.frequency.value = 660;
    gain.gain.setValueAtTime(0.15, t);
    gain.gain.exponentialRampToValueAtTime(0.001, t + 0.15);
    tone.connect(gain).connect(audio.destination);
    tone.start(t);
    tone.stop(t + 0.16);
    tone.onended = function () { audio.suspend(); };  // a running context costs a phone's battery
    S.beeps = (S.beeps || 0) + 1;
  }

  // Once, after the player has joined a game: may the page tell of a turn while its tab is hidden?
  view.askToNotify = function () {
    if (!window.Notification || Notification.permission !== 'default' || localStorage.getItem('spindrel-asked')) return;
    localStorage.setItem('spindrel-asked', '1');
    Notification.requestPermission();
  };

  document.addEventListener('click', function (e) {
    var copy = e.target.getAttribute('data-copy'), share = e.target.getAttribute('data-share');
    var input = $(copy || share);
    if (!input) return;
    if (share) return navigator.share({ title: TITLE, url: input.value }).catch(function () {});
    input.select();
    if (navigator.clipboard) navigator.clipboard.writeText(input.value).catch(function () { document.execCommand('copy'); });
    else document.execCommand('copy');
  });

  return view;
};
