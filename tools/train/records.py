"""The 24-byte training record (tools/train/training_record.h) and the
network's inputs computed from it."""
import os

import numpy as np

RECORD = np.dtype([('wm', '<u4'), ('wk', '<u4'), ('bm', '<u4'), ('bk', '<u4'), ('score', '<i2'),
                   ('side', 'u1'), ('result', 'i1'), ('source', 'u1'), ('reserved', 'u1'), ('ply', '<u2')])
assert RECORD.itemsize == 24
UNKNOWN_SCORE = -32768
FROM_GAME, FROM_DATABASE = 0, 1
ROW_0, ROW_7 = 0x0000000F, 0xF0000000


def read(path):
    size = os.path.getsize(path)
    if size % RECORD.itemsize:
        raise SystemExit(f'{path}: {size} bytes is not a whole number of 24-byte records')
    return np.fromfile(path, dtype=RECORD)


def write(path, records):
    """Writes under a temporary name, then renames: a stop leaves no half file."""
    partial = path + '.partial'
    records.astype(RECORD).tofile(partial)
    os.replace(partial, path)


def valid(r):
    """Records a game or a database can produce: pieces on distinct squares,
    men off their crowning rows, fields in range."""
    boards = [r[k].astype(np.uint64) for k in ('wm', 'wk', 'bm', 'bk')]
    overlap = np.zeros(len(r), dtype=bool)
    for i in range(4):
        for j in range(i + 1, 4):
            overlap |= (boards[i] & boards[j]) != 0
    return (~overlap & ((r['wm'] & ROW_0) == 0) & ((r['bm'] & ROW_7) == 0) & (r['side'] <= 1)
            & (np.abs(r['result'].astype(int)) <= 1) & (r['source'] <= 1) & (r['reserved'] == 0)
            & ((r['wm'] | r['wk']) != 0) & ((r['bm'] | r['bk']) != 0))


def _bits(board):
    return ((board[:, None] >> np.arange(32, dtype=np.uint32)) & 1).astype(np.float32)


def views(r):
    """The 128 inputs of White's view and of Black's (the board turned, bit i
    to 31 - i, colours swapped): own men, own kings, other men, other kings."""
    wm, wk, bm, bk = (_bits(r[k]) for k in ('wm', 'wk', 'bm', 'bk'))
    white = np.concatenate([wm, wk, bm, bk], axis=1)
    black = np.concatenate([bm[:, ::-1], bk[:, ::-1], wm[:, ::-1], wk[:, ::-1]], axis=1)
    return white, black


def side_views(r):
    """The side to move's view, then the other side's."""
    white, black = views(r)
    white_to_move = (r['side'] == 1)[:, None]
    return np.where(white_to_move, white, black), np.where(white_to_move, black, white)
