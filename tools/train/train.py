#!/usr/bin/python3
"""Tarnvel 2's learned evaluation, one step a command:

  games     self-play records through `tarnvel match` (or the engine library)
  dbsample  database-labelled records through `tarnvel-egdb sample`
  merge     check, deduplicate and shuffle record files into one training file
  fit       fit the network with PyTorch, resumable from its checkpoint
  export    the quantised weights file and its checksum
  check     the weights file's scores in Python against the engine's

Run with Debian's python3 (python3-torch, python3-numpy); README.md in this
directory has the recipe."""
import argparse
import glob
import os
import subprocess
import sys
import time

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import records  # noqa: E402
import selfplay  # noqa: E402

BUILD = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'build', 'release')


def say(text):
    print(text, file=sys.stderr, flush=True)


def record_files(paths):
    files = []
    for p in paths:
        files += sorted(glob.glob(os.path.join(p, '*.rec'))) if os.path.isdir(p) else [p]
    return files


def games(a):
    os.makedirs(a.out, exist_ok=True)
    tarnvel = os.path.join(a.build, 'tarnvel')
    usage = subprocess.run([tarnvel, 'match', '--help'], capture_output=True, text=True).stdout
    started = time.time()
    if '--positions-out' in usage:
        # Each seed's games in a PDN of their own, which --resume counts.
        out = os.path.join(a.out, f'match-{a.seed}')
        subprocess.run([tarnvel, 'match', '--engine', a.engine, '--engine', a.engine, '--time', str(a.time),
                        '--games', str(a.games), '--random-plies', str(a.random_plies), '--seed', str(a.seed),
                        '--concurrency', str(a.concurrency), '--positions-out', out + '.rec',
                        '--pdn-out', out + '.pdn', '--resume'], check=True)
    else:
        selfplay.play(os.path.join(a.build, 'libTarnvel.so'), a.out, a.games, a.seed, a.random_plies, a.time, say,
                      a.concurrency, a.db)
    say(f'games: done in {time.time() - started:.0f} s')


def dbsample(a):
    os.makedirs(a.out, exist_ok=True)
    egdb = os.path.join(a.build, 'tarnvel-egdb')
    low, _, high = a.pieces.partition('-')
    chunks = -(-a.count // a.chunk)
    started = time.time()
    for i in range(chunks):
        out = os.path.join(a.out, f'db{a.pieces}-seed{a.seed}-{i:04d}.rec')
        if os.path.exists(out):
            continue
        count = min(a.chunk, a.count - i * a.chunk)
        say(f'dbsample: chunk {i + 1} of {chunks}, {count} records')
        subprocess.run([egdb, 'sample', a.db, '--pieces', low, '--max-pieces', high or low, '--count', str(count),
                        '--seed', str(a.seed * 100000 + i), '--out', out], check=True)
    say(f'dbsample: {a.count} records in {chunks} chunks, {time.time() - started:.0f} s')


def merge(a):
    rng = np.random.default_rng(a.seed)
    parts = [records.read(f) for f in record_files(a.inputs)]
    r = np.concatenate(parts) if parts else np.zeros(0, records.RECORD)
    total = len(r)
    r = r[records.valid(r)]
    invalid = total - len(r)
    # One record per position and side to move: a database's exact verdict
    # before a game's, otherwise a random one of the game records.
    r = r[rng.permutation(len(r))]
    r = r[np.argsort(-r['source'].astype(int), kind='stable')]
    key = np.stack([r['wm'], r['wk'], r['bm'], r['bk'], r['side'].astype(np.uint32)], axis=1)
    _, first = np.unique(key, axis=0, return_index=True)
    r = r[rng.permutation(first)]
    records.write(a.out, r)
    games_n = int((r['source'] == records.FROM_GAME).sum())
    print(f'merge: {total} records read from {len(parts)} files, {invalid} invalid, {total - invalid - len(r)} '
          f'duplicates; wrote {len(r)} ({games_n} from games, {len(r) - games_n} from databases; '
          f'{int((r["result"] == 1).sum())} wins, {int((r["result"] == 0).sum())} draws, '
          f'{int((r["result"] == -1).sum())} losses) to {a.out}')


def torch_step(name):
    """fit, export and check: only they import PyTorch, which takes seconds."""
    def run(a):
        import fitting
        getattr(fitting, name)(a)
    return run


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--build', default=BUILD, help='directory of the built programs (default build/release)')
    sub = parser.add_subparsers(dest='step', required=True)

    p = sub.add_parser('games', help='self-play records')
    p.add_argument('--out', required=True, help='directory of record files')
    p.add_argument('--games', type=int, default=100)
    p.add_argument('--seed', type=int, default=1)
    p.add_argument('--random-plies', type=int, default=6, help='random plies opening each game')
    p.add_argument('--engine', default='v1.3', help='engine for tarnvel match')
    p.add_argument('--time', type=float, default=0.05, help='seconds a move')
    p.add_argument('--concurrency', type=int, default=1)
    p.add_argument('--db', help='database directory (named db) for self-play without tarnvel match')
    p.set_defaults(run=games)

    p = sub.add_parser('dbsample', help='database-labelled records')
    p.add_argument('--db', required=True, help='database directory, named db')
    p.add_argument('--out', required=True, help='directory of record files')
    p.add_argument('--pieces', required=True, help='piece counts, N or N-M')
    p.add_argument('--count', type=int, required=True)
    p.add_argument('--seed', type=int, default=1)
    p.add_argument('--chunk', type=int, default=500000, help='records a file; a rerun skips finished files')
    p.set_defaults(run=dbsample)

    p = sub.add_parser('merge', help='deduplicate and shuffle into one training file')
    p.add_argument('inputs', nargs='+', help='record files or directories of *.rec')
    p.add_argument('--out', required=True)
    p.add_argument('--seed', type=int, default=1)
    p.set_defaults(run=merge)

    p = sub.add_parser('fit', help='fit the network (resumable)')
    p.add_argument('--data', required=True, help='training file from merge')
    p.add_argument('--checkpoint', required=True, help='written after every epoch; resumed from when present')
    p.add_argument('--epochs', type=int, default=20)
    p.add_argument('--steps', type=int, default=0, help='batches an epoch (default: the whole file)')
    p.add_argument('--batch', type=int, default=4096)
    p.add_argument('--lr', type=float, default=1e-3)
    p.add_argument('--decay', type=float, default=0.85, help='learning rate factor per epoch')
    p.add_argument('--scale', type=float, default=150, help='points for which a score means 73%% of the points')
    p.add_argument('--blend', type=float, default=0.5, help="share of the search's score in a game record's target")
    p.add_argument('--game-weight', type=int, default=1, help='times each game record is seen an epoch')
    p.add_argument('--held-out', type=float, default=0.02, help='share of the file kept for the held-out loss')
    p.add_argument('--seed', type=int, default=1)
    p.add_argument('--threads', type=int, default=1)
    p.set_defaults(run=torch_step('fit'))

    p = sub.add_parser('export', help='quantised weights file')
    p.add_argument('--checkpoint', required=True)
    p.add_argument('--out', required=True)
    p.set_defaults(run=torch_step('export'))

    p = sub.add_parser('check', help="the engine's scores against Python's")
    p.add_argument('--weights', required=True)
    p.add_argument('--checkpoint', required=True, help='the fitted network the weights came from')
    p.add_argument('--data', required=True, help='records to evaluate')
    p.add_argument('--count', type=int, default=10000)
    p.add_argument('--tolerance', type=float, default=8, help='points the fitted network may differ by')
    p.set_defaults(run=torch_step('check'))

    a = parser.parse_args()
    a.run(a)


if __name__ == '__main__':
    main()
