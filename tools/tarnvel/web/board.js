// The page of `tarnvel serve`. The server holds the game with its
// variations: it lists the legal moves with their paths, judges every move
// and asks the engines, so this file only draws, collects clicks and asks.
'use strict';

const SVG = 'http://www.w3.org/2000/svg';
const CELL = 100;
const POLL_MS = 200;
const $ = (id) => document.getElementById(id);

const view = {
  state: null,
  flipped: false,
  numbers: false,
  path: [],        // squares chosen so far for the move being made
  editing: null,   // 32 piece letters while placing pieces
  busy: false,     // a request that changes the game is on its way
  focus: 22,
  poll: 0,         // the timer of the next poll while the engine thinks
  asking: null,    // the latest request that starts a search
  stopping: false, // a search is being stopped for a new game or position
  verdicts: null,  // {position, moves} from the database for the shown position
};

const VERDICT_ORDER = { win: 0, draw: 1, loss: 2 };
const CHART = { width: 800, height: 140, pad: 10, clamp: 400 };

// Square 1…32 to its row and column, row 0 on Black's side at the top.
function cellOf(square) {
  const row = Math.floor((square - 1) / 4);
  const column = 2 * ((square - 1) % 4) + (row % 2 === 0 ? 1 : 0);
  return view.flipped ? { row: 7 - row, column: 7 - column } : { row, column };
}

function squareAt(row, column) {
  if (view.flipped) { row = 7 - row; column = 7 - column; }
  if ((row + column) % 2 === 0) return 0;
  return 4 * row + Math.floor(column / 2) + 1;
}

async function api(method, path, body) {
  // The server takes changes only as JSON (another site cannot send that).
  const options = { method, headers: { 'Content-Type': 'application/json' } };
  if (body !== undefined) options.body = JSON.stringify(body);
  const response = await fetch(path, options);
  const data = await response.json().catch(() => ({ error: 'bad reply from the server' }));
  if (!response.ok) throw new Error(data.error || response.statusText);
  return data;
}

function say(text) { $('message').textContent = text || ''; }

function pieces() {
  return view.editing || (view.state ? view.state.board : '.'.repeat(32));
}

function candidates() {
  if (!view.state || view.editing) return [];
  return view.state.moves.filter((m) => view.path.every((s, i) => m.path[i] === s));
}

function el(name, attributes, parent) {
  const node = document.createElementNS(SVG, name);
  for (const [k, v] of Object.entries(attributes)) node.setAttribute(k, v);
  if (parent) parent.appendChild(node);
  return node;
}

function drawPiece(parent, letter, x, y, extraClass) {
  const white = letter === 'w' || letter === 'W';
  const g = el('g', { class: extraClass || '' }, parent);
  el('circle', { cx: x, cy: y, r: 38, class: white ? 'piece-white' : 'piece-black' }, g);
  if (letter === 'B' || letter === 'W') {
    const crown = el('text', { x, y, class: 'crown ' + (white ? 'crown-white' : 'crown-black') }, g);
    crown.textContent = '♔';
  }
  return g;
}

function drawBoard() {
  const board = $('board');
  board.replaceChildren();
  const letters = pieces();
  const next = new Set();
  const chosen = new Set(view.path);
  if (view.path.length) for (const m of candidates()) next.add(m.path[view.path.length]);
  const last = new Set(view.state && !view.editing ? view.state.lastMove : []);
  const verdictAt = destinationVerdicts();
  for (let row = 0; row < 8; ++row) {
    for (let column = 0; column < 8; ++column) {
      const square = squareAt(row, column);
      const x = column * CELL, y = row * CELL;
      if (!square) {
        el('rect', { x, y, width: CELL, height: CELL, class: 'sq-light' }, board);
        continue;
      }
      const letter = letters[square - 1];
      const g = el('g', {
        class: 'square' + (chosen.has(square) ? ' selected' : '') + (last.has(square) ? ' last' : ''),
        'data-square': square, tabindex: square === view.focus ? 0 : -1, role: 'gridcell',
        'aria-label': 'square ' + square + (letter === '.' ? '' : ' ' + describe(letter)) +
                      (verdictAt.has(square) ? ', a move here: ' + verdictAt.get(square) : ''),
      }, board);
      el('rect', { x, y, width: CELL, height: CELL, class: 'sq-dark' }, g);
      if (verdictAt.has(square)) {
        g.classList.add('verdict-' + verdictAt.get(square));
        el('rect', { x: x + 5, y: y + 5, width: CELL - 10, height: CELL - 10, class: 'verdict-mark' }, g);
      }
      if (view.numbers) el('text', { x: x + 6, y: y + 22, class: 'number' }, g).textContent = square;
      if (letter !== '.') drawPiece(g, letter, x + CELL / 2, y + CELL / 2);
      if (next.has(square)) el('circle', { cx: x + CELL / 2, cy: y + CELL / 2, r: 14, class: 'target-dot' }, g);
    }
  }
  drawVariationArrows(board);
}

// The best verdict of the moves that end on each square (of the chosen
// piece's moves once one is chosen).
function destinationVerdicts() {
  const marks = new Map();
  const v = view.verdicts;
  if (!v || view.editing || !view.state || v.position !== view.state.position) return marks;
  for (const m of v.moves) {
    const to = m.path[m.path.length - 1];
    const chosen = view.path.every((s, i) => m.path[i] === s);
    if (m.verdict in VERDICT_ORDER && chosen && !marks.has(to)) marks.set(to, m.verdict);
  }
  return marks;
}

function centre(square) {
  const { row, column } = cellOf(square);
  return [column * CELL + CELL / 2, row * CELL + CELL / 2];
}

// The first moves of the engine's principal variation, while it is about
// the position shown: the search running, or an analysis of it.
function drawVariationArrows(board) {
  const s = view.state;
  if (!s || view.editing || !(s.searching || !s.searchPlays)) return;
  const defs = el('defs', {}, board);
  const marker = el('marker', { id: 'arrowhead', viewBox: '0 0 10 10', refX: 5, refY: 5,
                                markerWidth: 3, markerHeight: 3, orient: 'auto-start-reverse' }, defs);
  el('path', { d: 'M 0 0 L 10 5 L 0 10 z', class: 'arrow-head' }, marker);
  s.pv.slice(0, 3).forEach((path, i) => {
    const points = path.map(centre).map((p) => p.join(',')).join(' ');
    el('polyline', { points, class: 'arrow arrow-' + i, 'marker-end': 'url(#arrowhead)' }, board);
  });
}

function describe(letter) {
  return { b: 'black man', B: 'black king', w: 'white man', W: 'white king' }[letter];
}

function engineSide() { return $('engine-side').value; }
function enginePlays(side) { const e = engineSide(); return e === 'both' || e === side; }

function showState() {
  const s = view.state;
  document.body.dataset.ply = s.ply;
  document.body.dataset.searching = s.searching;
  document.body.dataset.position = s.position;
  $('engine-name').textContent = s.engines.join(' · ');
  fillEngineChoice(s.engines);
  $('report').textContent = s.report || '\u00a0';
  if (document.activeElement !== $('pdn')) $('pdn').value = s.pdn;
  if (document.activeElement !== $('position-text')) $('position-text').value = s.position;
  const banner = $('banner');
  banner.hidden = !s.over && !s.engineError;
  banner.textContent = s.engineError ||
    (s.over ? 'Game over: ' + s.outcome + ' (' + s.reason + '), ' + s.result : '');
  const side = s.sideToMove[0].toUpperCase() + s.sideToMove.slice(1);
  const thinking = s.searchPlays ? ' is thinking for ' + side + '…' : ' analyses (Stop to end)…';
  $('turn').textContent = s.searching ? s.engine + thinking : (s.over ? '' : side + ' to move');
  $('stop').disabled = !s.searching;
  drawBoard();
  drawMoveList();
  drawChart();
  showVerdicts();
}

function fillEngineChoice(names) {
  const box = $('engine-choice');
  if (box.dataset.filled) return;
  box.dataset.filled = 'yes';
  box.hidden = names.length < 2;
  for (const id of ['engine-black', 'engine-white', 'engine-analysis']) {
    names.forEach((name, i) => {
      const option = document.createElement('option');
      option.value = i;
      option.textContent = (i + 1) + ': ' + name;
      $(id).appendChild(option);
    });
  }
  $('engine-black').value = names.length - 1;
}

// Chosen engines by their index in the server's list.
function engineFor(side) { return Number($(side === 'analysis' ? 'engine-analysis' : 'engine-' + side).value || 0); }

function moveWord(node, ply, numbered) {
  const number = Math.floor(ply / 2) + 1;
  if (ply % 2 === 0) return number + '. ' + node.move;
  return numbered ? number + '… ' + node.move : node.move;
}

function moveButton(parent, id, ply, numbered) {
  const s = view.state;
  const b = document.createElement('button');
  b.className = 'move' + (id === s.shown ? ' current' : '');
  b.dataset.node = id;
  b.textContent = moveWord(s.nodes[id], ply, numbered);
  if (id === s.shown) b.setAttribute('aria-current', 'step');
  parent.appendChild(b);
}

// As PDN writes it: the first child continues, the others are variations
// in parentheses after the move they replace.
function drawLine(parent, id, ply, numbered) {
  const nodes = view.state.nodes;
  for (; nodes[id].children.length; ++ply) {
    const [next, ...others] = nodes[id].children;
    moveButton(parent, next, ply, numbered);
    numbered = false;
    for (const other of others) {
      const span = document.createElement('span');
      span.className = 'variation';
      parent.appendChild(span);
      moveButton(span, other, ply, true);
      drawLine(span, other, ply + 1, false);
      numbered = true;
    }
    id = next;
  }
}

function drawMoveList() {
  const s = view.state;
  const list = $('moves');
  list.replaceChildren();
  // Plies count from Black's first move, as the numbers do.
  drawLine(list, 0, s.startSide === 'white' ? 1 : 0, true);
  const current = list.querySelector('.current');
  if (current && document.activeElement.closest && !document.activeElement.closest('#moves')) {
    current.scrollIntoView({ block: 'nearest' });
  }
}

// The last search's score at each position of the line shown, Black's view
// upwards; decided games at the top or bottom.
function drawChart() {
  const s = view.state;
  const chart = $('chart');
  chart.replaceChildren();
  const { width, height, pad, clamp } = CHART;
  const x = (i) => pad + i * (width - 2 * pad) / Math.max(s.line.length - 1, 1);
  const y = (score) => {
    const v = score.decided ? score.decided * clamp : Math.max(-clamp, Math.min(clamp, score.forBlack));
    return height / 2 - v * (height / 2 - pad) / clamp;
  };
  el('rect', { x: 0, y: 0, width, height, class: 'chart-back' }, chart);
  el('line', { x1: 0, x2: width, y1: height / 2, y2: height / 2, class: 'chart-zero' }, chart);
  const shownAt = s.line.indexOf(s.shown);
  el('line', { x1: x(shownAt), x2: x(shownAt), y1: 0, y2: height, class: 'chart-shown' }, chart);
  const scored = s.line.map((id, i) => [id, i]).filter(([id]) => s.nodes[id].score);
  if (scored.length > 1) {
    const points = scored.map(([id, i]) => x(i) + ',' + y(s.nodes[id].score)).join(' ');
    el('polyline', { points, class: 'chart-line' }, chart);
  }
  for (const [id, i] of scored) {
    const dot = el('circle', { cx: x(i), cy: y(s.nodes[id].score), r: 9, class: 'chart-point', 'data-node': id }, chart);
    el('title', {}, dot).textContent = 'ply ' + i + ': ' + s.nodes[id].score.text;
  }
}

function showVerdicts() {
  const v = view.verdicts;
  const s = view.state;
  const known = v && v.position === s.position && v.moves.some((m) => m.verdict in VERDICT_ORDER);
  $('verdicts-box').hidden = !known;
  const list = $('verdicts');
  list.replaceChildren();
  if (!known) return;
  for (const m of v.moves) {
    const item = document.createElement('li');
    const b = document.createElement('button');
    b.className = 'verdict-' + m.verdict;
    b.textContent = m.notation + ' ' + m.verdict;
    b.onclick = () => { if (!s.searching && !view.busy) play(m.path); };
    item.appendChild(b);
    list.appendChild(item);
  }
}

async function loadVerdicts() {
  const position = view.state.position;
  let answer;
  try {
    answer = await api('POST', '/api/verdicts', { engine: engineFor('analysis') });
  } catch (e) {
    answer = { position, moves: [] };  // asked again when the position changes
  }
  // Answers and failures can arrive out of order: one for a position no
  // longer shown must not replace the shown position's, nor leave it unasked.
  if (answer.position !== view.state.position) {
    if (!view.verdicts || view.verdicts.position !== view.state.position) refresh();
    return;
  }
  view.verdicts = answer;
  drawBoard();
  showVerdicts();
}

async function refresh() {
  try {
    view.state = await api('GET', '/api/state');
  } catch (e) {
    say(e.message);
    return;
  }
  showState();
  const s = view.state;
  if (s.searching) {
    // One poll at a time, however many refreshes asked for one.
    clearTimeout(view.poll);
    view.poll = setTimeout(refresh, POLL_MS);
  } else if (!s.over && !s.engineError && !view.editing && !view.busy && !view.stopping &&
             enginePlays(s.sideToMove)) {
    engineMove();
  } else if (!view.busy && (!view.verdicts || view.verdicts.position !== s.position)) {
    loadVerdicts();
  }
}

async function change(method, path, body) {
  view.busy = true;
  try {
    view.state = await api(method, path, body);
    view.path = [];
    say('');
  } catch (e) {
    say(e.message);
  } finally {
    view.busy = false;
  }
  await refresh();
}

// Runs `work` with the board busy, says what went wrong, then redraws.
async function whileBusy(work) {
  view.busy = true;
  try {
    await work();
  } catch (e) {
    say(e.message);
  } finally {
    view.busy = false;
  }
  view.path = [];
  await refresh();
}

async function startSearch(body) {
  await whileBusy(() => {
    view.asking = api('POST', '/api/search', body);
    return view.asking;
  });
}

async function engineMove() {
  const seconds = Number($('seconds').value);
  await startSearch({ seconds: seconds > 0 ? seconds : 1, engine: engineFor(view.state.sideToMove) });
}

// Searches the shown position until Stop; the move is not played.
async function analyseShown() {
  $('engine-side').value = 'none';
  await startSearch({ seconds: 86400, engine: engineFor('analysis'), play: false });
}

// A new game or position given while an engine thinks: the search running
// or just asked for is stopped and waited for (the server refuses changes
// while one runs), and no engine starts another meanwhile.
async function takeOver(method, path, body) {
  view.stopping = true;
  try {
    if (view.asking) await view.asking.catch(() => {});
    while ((await api('GET', '/api/state')).searching) {
      await api('POST', '/api/stop');
      await new Promise((done) => setTimeout(done, POLL_MS / 4));
    }
  } catch (e) {
    say(e.message);
    return;
  } finally {
    view.stopping = false;
  }
  await change(method, path, body);
}

// Studying an earlier position: the engines stop taking turns there.
function goTo(node) {
  const s = view.state;
  if (!s || s.searching || view.busy || node === undefined || node === s.shown) return;
  $('engine-side').value = 'none';
  change('POST', '/api/goto', { node });
}

function step(key) {
  const s = view.state;
  const at = s.line.indexOf(s.shown);
  const target = { ArrowLeft: at - 1, ArrowRight: at + 1, Home: 0, End: s.line.length - 1 }[key];
  if (target >= 0 && target < s.line.length) goTo(s.line[target]);
}

function clickSquare(square) {
  view.focus = square;
  if (view.editing) {
    const letters = view.editing.split('');
    letters[square - 1] = $('piece').value;
    view.editing = letters.join('');
    drawBoard();
    return;
  }
  const s = view.state;
  if (!s || s.over || s.searching || view.busy) return;
  if (enginePlays(s.sideToMove)) {
    say('the engine plays ' + s.sideToMove + '; change "Engine plays" to move for it');
    return;
  }
  const extended = view.path.length
    ? candidates().filter((m) => m.path[view.path.length] === square) : [];
  if (extended.length) {
    view.path.push(square);
    if (extended.length === 1) return play(extended[0].path);
  } else {
    const ending = candidates().filter((m) => view.path.length && m.path[m.path.length - 1] === square);
    if (ending.length === 1) return play(ending[0].path);
    const starting = s.moves.filter((m) => m.path[0] === square);
    view.path = starting.length ? [square] : [];
    if (!starting.length && s.board[square - 1] !== '.') say('that piece has no legal move');
  }
  drawBoard();
  focusSquare(square);
}

function play(path) { return change('POST', '/api/move', { path }); }

function focusSquare(square) {
  const node = $('board').querySelector('[data-square="' + square + '"]');
  if (node) node.focus();
}

// Arrow keys walk the dark squares diagonally-aware: left/right by two
// columns on the same row, up/down to the nearest dark square of the next row.
function moveFocus(key) {
  const { row, column } = cellOf(view.focus);
  const steps = { ArrowLeft: [0, -2], ArrowRight: [0, 2], ArrowUp: [-1, -1], ArrowDown: [1, 1] }[key];
  let r = row + steps[0], c = column + steps[1];
  if (steps[0] !== 0 && (c < 0 || c > 7)) c = column - steps[1];
  if (r < 0 || r > 7 || c < 0 || c > 7) return;
  const square = squareAt(r, c);
  if (square) { view.focus = square; drawBoard(); focusSquare(square); }
}

function squareFromEvent(event) {
  const node = document.elementFromPoint(event.clientX, event.clientY);
  const g = node && node.closest('[data-square]');
  return g ? Number(g.dataset.square) : 0;
}

let drag = null;

function pointerDown(event) {
  const square = squareFromEvent(event);
  if (!square) return;
  event.preventDefault();
  const letter = pieces()[square - 1];
  const movable = view.state && view.state.moves.some((m) => m.path[0] === square);
  if (!view.editing && view.path.length === 0 && movable && letter !== '.') {
    drag = { from: square, letter, ghost: null };
  }
  clickSquare(square);
}

function pointerMove(event) {
  if (!drag) return;
  const board = $('board');
  const box = board.getBoundingClientRect();
  const x = (event.clientX - box.left) * 800 / box.width;
  const y = (event.clientY - box.top) * 800 / box.height;
  if (!drag.ghost) drag.ghost = drawPiece(board, drag.letter, 0, 0, 'ghost');
  drag.ghost.setAttribute('transform', 'translate(' + x + ',' + y + ')');
}

function pointerUp(event) {
  if (!drag) return;
  const from = drag.from;
  if (drag.ghost) drag.ghost.remove();
  drag = null;
  const square = squareFromEvent(event);
  if (square && square !== from) clickSquare(square);
}

function download() {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([$('pdn').value], { type: 'application/x-pdn' }));
  link.download = 'tarnvel-game.pdn';
  link.click();
  URL.revokeObjectURL(link.href);
}

async function copyPdn() {
  try {
    await navigator.clipboard.writeText($('pdn').value);
    say('PDN copied');
  } catch (e) {
    $('pdn').select();
    say(document.execCommand('copy') ? 'PDN copied' : 'select the text and copy it');
  }
}

function toggleEditing() {
  const on = !view.editing;
  view.editing = on ? view.state.board : null;
  view.path = [];
  $('edit').setAttribute('aria-pressed', on);
  $('palette').hidden = !on;
  if (on) $('edit-side').value = view.state.sideToMove === 'white' ? 'W' : 'B';
  drawBoard();
  if (!on) refresh();
}

// The placed pieces as a position text: "B:W21,K3:B1,2."
function editedPosition() {
  const white = [], black = [];
  view.editing.split('').forEach((letter, i) => {
    const square = (letter === 'B' || letter === 'W' ? 'K' : '') + (i + 1);
    if (letter === 'w' || letter === 'W') white.push(square);
    if (letter === 'b' || letter === 'B') black.push(square);
  });
  return $('edit-side').value + ':W' + white.join(',') + ':B' + black.join(',') + '.';
}

async function finishEditing() {
  const text = editedPosition();
  view.editing = null;
  $('edit').setAttribute('aria-pressed', false);
  $('palette').hidden = true;
  $('engine-side').value = 'none';
  await takeOver('POST', '/api/position', { position: text });
}

async function undo() {
  const s = view.state;
  if (engineSide() === 'both') $('engine-side').value = 'none';
  await whileBusy(async () => {
    let now = await api('POST', '/api/undo');
    // Back to a position where the person moves.
    if (now.ply > 0 && enginePlays(now.sideToMove) && s.ply > 1) now = await api('POST', '/api/undo');
    view.state = now;
    say('');
  });
}

async function evaluate() {
  try {
    const a = await api('POST', '/api/analysis', { engine: engineFor('analysis') });
    $('verdict').textContent = 'database: ' + a.verdict;
    $('evaluation').textContent = a.evaluation;
  } catch (e) {
    say(e.message);
  }
}

function wire() {
  const board = $('board');
  board.addEventListener('pointerdown', pointerDown);
  window.addEventListener('pointermove', pointerMove);
  window.addEventListener('pointerup', pointerUp);
  board.addEventListener('focusin', (event) => {
    const g = event.target.closest('[data-square]');
    if (g) view.focus = Number(g.dataset.square);
  });
  board.addEventListener('keydown', (event) => {
    if (event.key === 'Enter' || event.key === ' ') {
      event.preventDefault();
      clickSquare(view.focus);
    } else if (event.key.startsWith('Arrow')) {
      event.preventDefault();
      moveFocus(event.key);
    } else if (event.key === 'Escape') {
      view.path = [];
      drawBoard();
      focusSquare(view.focus);
    }
  });
  $('move-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const move = $('move-text').value.trim();
    $('move-text').value = '';
    if (move) change('POST', '/api/move', { move });
  });
  $('new').onclick = () => takeOver('POST', '/api/new');
  $('undo').onclick = undo;
  $('flip').onclick = () => { view.flipped = !view.flipped; drawBoard(); };
  $('numbers').onclick = () => {
    view.numbers = !view.numbers;
    $('numbers').setAttribute('aria-pressed', view.numbers);
    drawBoard();
  };
  $('go').onclick = engineMove;
  $('analyse').onclick = analyseShown;
  $('stop').onclick = () => api('POST', '/api/stop').catch((e) => say(e.message));
  $('engine-side').onchange = refresh;
  $('evaluate').onclick = evaluate;
  $('engine-analysis').onchange = () => { view.verdicts = null; refresh(); };
  $('first').onclick = () => step('Home');
  $('back').onclick = () => step('ArrowLeft');
  $('forward').onclick = () => step('ArrowRight');
  $('last').onclick = () => step('End');
  $('moves').addEventListener('click', (event) => {
    const b = event.target.closest('[data-node]');
    if (b) goTo(Number(b.dataset.node));
  });
  $('chart').addEventListener('click', (event) => {
    const dot = event.target.closest('[data-node]');
    if (dot) goTo(Number(dot.dataset.node));
  });
  // ←/→, Home and End walk the game wherever the keys have no other use.
  document.addEventListener('keydown', (event) => {
    const t = event.target;
    if (event.altKey || event.ctrlKey || event.metaKey || !view.state) return;
    if (t.closest('#board') || t.matches('input, textarea, select')) return;
    if (['ArrowLeft', 'ArrowRight', 'Home', 'End'].includes(event.key)) {
      event.preventDefault();
      step(event.key);
    }
  });
  $('position-set').onclick = () => {
    $('engine-side').value = 'none';
    takeOver('POST', '/api/position', { position: $('position-text').value.trim() });
  };
  $('edit').onclick = toggleEditing;
  $('clear').onclick = () => { view.editing = '.'.repeat(32); drawBoard(); };
  $('edit-done').onclick = finishEditing;
  $('pdn-copy').onclick = copyPdn;
  $('pdn-download').onclick = download;
  $('pdn-load').onclick = () => {
    $('engine-side').value = 'none';
    takeOver('POST', '/api/position', { pdn: $('pdn').value });
  };
}

wire();
refresh();
