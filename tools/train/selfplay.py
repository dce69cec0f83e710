"""Self-play through `tarnvel move`, for hosts whose `tarnvel match` cannot
write positions: random plain moves open each game, then the engine plays
both sides; every quiet position it searched is kept with its score and,
once the game is over, its result."""
import os
import random
import re
import subprocess
from concurrent.futures import ThreadPoolExecutor

import numpy as np

import records

GAMES_A_FILE = 10
MAX_PLIES = 300
QUIET_MOVES_FOR_DRAW = 80  # plies without a man move or capture
WON = 32767                # a win in n plies is scored WON - n


def _bit(row, column):
    return 4 * row + column // 2 if 0 <= row < 8 and 0 <= column < 8 else None


# STEP[bit] = ((neighbour, jump-landing) for each direction), rows upward first.
STEP = [[(_bit(i // 4 + dr, 2 * (i % 4) + i // 4 % 2 + dc), _bit(i // 4 + 2 * dr, 2 * (i % 4) + i // 4 % 2 + 2 * dc))
         for dr, dc in ((1, -1), (1, 1), (-1, -1), (-1, 1))] for i in range(32)]
SQUARE = [4 * (i // 4) + 4 - i % 4 for i in range(32)]


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


def text_of(board, white):
    def side(men, kings):
        return ','.join(sorted([str(SQUARE[b]) for b in range(32) if men >> b & 1] +
                               [f'K{SQUARE[b]}' for b in range(32) if kings >> b & 1], key=lambda s: int(s.strip('K'))))
    return f"{'W' if white else 'B'}:W{side(board[0], board[1])}:B{side(board[2], board[3])}."


def board_of(text):
    board = [0, 0, 0, 0]
    for part in text.rstrip('.').split(':')[1:]:
        for square in filter(None, part[1:].split(',')):
            king = square.startswith('K')
            n = int(square.lstrip('K')) - 1
            board[(0 if part[0] == 'W' else 2) + king] |= 1 << (4 * (n // 4) + 3 - n % 4)
    return tuple(board), text.startswith('W')


def engine_move(tarnvel, board, white, depth, where):
    """(score for the side to move, board after, white to move after). The
    engine runs in `where`, a directory without a database to preload."""
    out = subprocess.run([tarnvel, 'move', '--depth', str(depth), '--hash', '1', text_of(board, white)],
                         capture_output=True, text=True, check=True, cwd=where).stdout
    label, value = re.search(r'\b(value|win|loss)=(-?\d+)', out).groups()
    score = {'value': int(value), 'win': WON - int(value), 'loss': int(value) - WON}[label]
    after, to_move = board_of(re.search(r'^position: (\S+)', out, re.M).group(1))
    return max(-WON, min(WON, score)), after, to_move


def verdict(tarnvel, board, white, db_home):
    """The database's result for the side to move, None when it has none."""
    out = subprocess.run([tarnvel, 'eval', text_of(board, white)], capture_output=True, text=True, check=True,
                         cwd=db_home).stdout
    return {'win': 1, 'loss': -1, 'draw': 0}.get(re.search(r'^EGTB *= (\w+)', out, re.M).group(1))


def play_game(tarnvel, rng, random_plies, depth, where, adjudicator):
    board, white = board_of('B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.')
    kept, seen, quiet_plies, result = [], {}, 0, 0  # result for White
    for ply in range(MAX_PLIES):
        capture, plain = has_capture(board, white), plain_moves(board, white)
        if not capture and not plain:
            result = -1 if white else 1
            break
        decided = adjudicator(board, white, capture)
        if decided is not None:
            result = decided if white else -decided
            break
        seen[board, white] = seen.get((board, white), 0) + 1
        if seen[board, white] == 3 or quiet_plies >= QUIET_MOVES_FOR_DRAW:
            break
        if ply < random_plies and not capture:
            after = rng.choice(plain)
        else:
            score, after, _ = engine_move(tarnvel, board, white, depth, where)
            if not has_capture(board, not white) and not capture:
                kept.append((*board, score, white, ply))
        progress = capture or after[0] != board[0] or after[2] != board[2]
        quiet_plies = 0 if progress else quiet_plies + 1
        board, white = after, not white
    r = np.zeros(len(kept), records.RECORD)
    for i, (wm, wk, bm, bk, score, w, ply) in enumerate(kept):
        r[i] = (wm, wk, bm, bk, score, w, result if w else -result, records.FROM_GAME, 0, ply)
    return r


def play(tarnvel, out_dir, games, seed, random_plies, depth, say, concurrency=1, db_home=None, db_pieces=6):
    """With db_home (a directory holding db/), a game ends at its first quiet
    position of at most db_pieces pieces, with the database's result."""
    files = -(-games // GAMES_A_FILE)

    def adjudicator(board, white, capture):
        if not db_home or capture or has_capture(board, not white) or sum(bin(b).count('1') for b in board) > db_pieces:
            return None
        return verdict(tarnvel, board, white, db_home)

    def batch(i):
        out = os.path.join(out_dir, f'selfplay-seed{seed}-{i:04d}.rec')
        if os.path.exists(out):
            return
        rng = random.Random(seed * 100000 + i)
        n = min(GAMES_A_FILE, games - i * GAMES_A_FILE)
        made = [play_game(tarnvel, rng, random_plies, depth, out_dir, adjudicator) for _ in range(n)]
        records.write(out, np.concatenate(made))
        say(f'games: file {i + 1} of {files}, {n} games, {sum(len(m) for m in made)} positions')

    with ThreadPoolExecutor(concurrency) as pool:
        list(pool.map(batch, range(files)))
