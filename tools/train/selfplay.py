"""Self-play through the engine library (getmove), for hosts whose
`tarnvel match` cannot write positions: random plain moves open each game,
then the engine plays both sides; every quiet position it searched is kept
with its score and, once the game is over, its result."""
import ctypes
import multiprocessing
import os
import random
import re
import signal
import sys

import numpy as np

import records

GAMES_A_FILE = 10
MAX_PLIES = 300
QUIET_MOVES_FOR_DRAW = 80  # plies without a man move or capture
WON = 32767                # a win in n plies is scored WON - n
HOST_CODES = (5, 9, 6, 10)  # white man, white king, black man, black king (tarnvel.h)
DECIDED = {0: 0, 1: 1, 2: -1}  # getmove's draw, win, loss for the side to move
INITIAL = (0xFFF00000, 0, 0x00000FFF, 0)


def _bit(row, column):
    return 4 * row + column // 2 if 0 <= row < 8 and 0 <= column < 8 else None


# STEP[bit] = ((neighbour, jump-landing) for each direction), rows upward first.
STEP = [[(_bit(i // 4 + dr, 2 * (i % 4) + i // 4 % 2 + dc), _bit(i // 4 + 2 * dr, 2 * (i % 4) + i // 4 % 2 + 2 * dc))
         for dr, dc in ((1, -1), (1, 1), (-1, -1), (-1, 1))] for i in range(32)]


def _pieces(board, white):
    """(bit, directions) of the side's pieces: Black's men go up, White's down."""
    wm, wk, bm, bk = board
    men, kings = (wm, wk) if white else (bm, bk)
    men_dirs = (2, 3) if white else (0, 1)
    for b in range(32):
        if men >> b & 1:
            yield b, men_dirs
        elif kings >> b & 1:
            yield b, (0, 1, 2, 3)


def has_capture(board, white):
    enemy = (board[2] | board[3]) if white else (board[0] | board[1])
    occupied = board[0] | board[1] | board[2] | board[3]
    for b, dirs in _pieces(board, white):
        for d in dirs:
            over, land = STEP[b][d]
            if land is not None and enemy >> over & 1 and not occupied >> land & 1:
                return True
    return False


def plain_moves(board, white):
    """Boards after each plain move (a man reaching the far row is crowned)."""
    occupied = board[0] | board[1] | board[2] | board[3]
    out = []
    for b, dirs in _pieces(board, white):
        for d in dirs:
            to = STEP[b][d][0]
            if to is None or occupied >> to & 1:
                continue
            after = list(board)
            kind = next(k for k in range(4) if board[k] >> b & 1)
            after[kind] ^= 1 << b
            crowned = kind in (0, 2) and to // 4 == (0 if kind == 0 else 7)
            after[kind + crowned] |= 1 << to
            out.append(tuple(after))
    return out


def host_board(board):
    """The host's [column][row] array (tarnvel.h) of a position."""
    host = ((ctypes.c_int * 8) * 8)()
    for b in range(32):
        for kind, code in enumerate(HOST_CODES):
            if board[kind] >> b & 1:
                host[2 * (b % 4) + b // 4 % 2][b // 4] = code
    return host


def board_of(host):
    board = [0, 0, 0, 0]
    for b in range(32):
        code = host[2 * (b % 4) + b // 4 % 2][b // 4]
        if code in HOST_CODES:
            board[HOST_CODES.index(code)] |= 1 << b
    return tuple(board)


class Engine:
    """The engine library in this process; it reads db/ in the working directory."""

    def __init__(self, library, seconds):
        self.lib, self.seconds = ctypes.CDLL(library), seconds
        self.lib.getmove.restype = ctypes.c_int

    def move(self, board, white, new_game):
        """(result code, score for the side to move, board after)."""
        host, text, play_now = host_board(board), ctypes.create_string_buffer(256), ctypes.c_int(0)
        result = self.lib.getmove(host, 1 if white else 2, ctypes.c_double(self.seconds), text,
                                  ctypes.byref(play_now), int(new_game), 0, 0)
        label, value = re.search(r'\b(value|win|loss)=(-?\d+)', text.value.decode()).groups()
        score = {'value': int(value), 'win': WON - int(value), 'loss': int(value) - WON}[label]
        return result, max(-WON, min(WON, score)), board_of(host)


def play_game(engine, rng, random_plies):
    board, white = INITIAL, False
    kept, seen, quiet_plies, result = [], {}, 0, 0  # result for White
    for ply in range(MAX_PLIES):
        capture, plain = has_capture(board, white), plain_moves(board, white)
        if not capture and not plain:
            result = -1 if white else 1
            break
        seen[board, white] = seen.get((board, white), 0) + 1
        if seen[board, white] == 3 or quiet_plies >= QUIET_MOVES_FOR_DRAW:
            break
        if ply < random_plies and not capture:
            after = rng.choice(plain)
        else:
            code, score, after = engine.move(board, white, not kept)
            if not has_capture(board, not white) and not capture:
                kept.append((*board, score, white, ply))
            if code in DECIDED:
                result = DECIDED[code] if white else -DECIDED[code]
                break
        progress = capture or after[0] != board[0] or after[2] != board[2]
        quiet_plies = 0 if progress else quiet_plies + 1
        board, white = after, not white
    r = np.zeros(len(kept), records.RECORD)
    for i, (wm, wk, bm, bk, score, w, ply) in enumerate(kept):
        r[i] = (wm, wk, bm, bk, score, w, result if w else -result, records.FROM_GAME, 0, ply)
    return r


def _batch(job):
    library, where, seconds, out, seed, n, random_plies = job
    os.chdir(where)
    engine = Engine(library, seconds)
    rng = random.Random(seed)
    made = [play_game(engine, rng, random_plies) for _ in range(n)]
    records.write(out, np.concatenate(made))
    return out, n, sum(len(m) for m in made)


def play(library, out_dir, games, seed, random_plies, seconds, say, concurrency=1, db=None):
    """Files of GAMES_A_FILE games, each from its own seed; a rerun skips
    finished files. With db (a directory named db) the engine plays with
    the database and a game ends when the engine calls it decided."""
    out_dir = os.path.abspath(out_dir)
    where = os.path.dirname(os.path.abspath(db)) if db else out_dir
    files = -(-games // GAMES_A_FILE)
    jobs = [(library, where, seconds, os.path.join(out_dir, f'selfplay-seed{seed}-{i:04d}.rec'), seed * 100000 + i,
             min(GAMES_A_FILE, games - i * GAMES_A_FILE), random_plies) for i in range(files)]
    jobs = [j for j in jobs if not os.path.exists(j[3])]
    # A stop by SIGTERM leaves the pool's context, which ends the workers too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    with multiprocessing.Pool(concurrency) as pool:
        for done, (out, n, positions) in enumerate(pool.imap_unordered(_batch, jobs), 1):
            say(f'games: {os.path.basename(out)}: {n} games, {positions} positions ({done} of {len(jobs)} files)')
