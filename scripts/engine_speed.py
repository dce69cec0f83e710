#!/usr/bin/env python3
"""Depth and speed of an engine library on the bench positions, and how fast
it answers the play-now word, measured as a host sees them.

    scripts/engine_speed.py LIBRARY SECONDS [--hash MB] [--threads N] [--play-now CALLS]

Each bench position (tools/tarnvel/bench.cpp) is searched for SECONDS after
a new game, in one process, after one untimed call that lets the library
set up. Run it where there is no db/ folder to measure the search alone.
--threads is passed to engines that take it (Tarnvel 2); nodes are then
all threads' together.
With --play-now, CALLS searches of the initial position are given a minute
each and stopped by the play-now word after 20-300 ms; the latency is from
setting the word to getmove's return."""
import argparse
import ctypes
import pathlib
import random
import re
import threading
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
WHITE_MAN, WHITE_KING, BLACK_MAN, BLACK_KING = 5, 9, 6, 10  # tarnvel.h
HOST_WHITE, HOST_BLACK, NEW_GAME = 1, 2, 1
INITIAL = 'B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.'


def bench_positions():
    source = (ROOT / 'tools/tarnvel/bench.cpp').read_text()
    block = source[source.index('BENCH_POSITIONS[] = {'):]
    return re.findall(r'"([BW]:[^"]*)"', block[:block.index('};')])


def host_board(text):
    """The host's board[column][row] and colour of a position text."""
    side, *parts = text.rstrip('.').split(':')
    board = ((ctypes.c_int * 8) * 8)()
    for part in parts:
        white = part[0] == 'W'
        for piece in filter(None, part[1:].split(',')):
            king = piece.startswith('K')
            s = int(piece.lstrip('K')) - 1
            # Square 1 is at the top right of Black's side; rows count from Black's edge.
            row, column = s // 4, 2 * (3 - s % 4) + (s // 4) % 2
            board[column][row] = (WHITE_KING if king else WHITE_MAN) if white else \
                (BLACK_KING if king else BLACK_MAN)
    return board, HOST_WHITE if side == 'W' else HOST_BLACK


def search(lib, text, seconds, play_now=None):
    board, colour = host_board(text)
    report = ctypes.create_string_buffer(256)
    word = play_now if play_now is not None else ctypes.c_int(0)
    lib.getmove(board, colour, ctypes.c_double(seconds), report, ctypes.byref(word), NEW_GAME, 0, 0)
    return report.value.decode(errors='replace')


def field(report, name):
    match = re.search(name + r'=(\d+)', report)
    return int(match.group(1)) if match else 0


def play_now_latency(lib, calls):
    rng = random.Random(5)
    latency = []
    for _ in range(calls):
        word = ctypes.c_int(0)
        set_at = []

        def host(delay=rng.uniform(0.02, 0.3)):
            time.sleep(delay)
            set_at.append(time.perf_counter())
            word.value = 1
        thread = threading.Thread(target=host)
        thread.start()
        search(lib, INITIAL, 60.0, word)  # ctypes lets go of the interpreter lock meanwhile
        returned = time.perf_counter()
        thread.join()
        latency.append((returned - set_at[0]) * 1000)
    latency.sort()
    return latency


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('library')
    parser.add_argument('seconds', type=float)
    parser.add_argument('--hash', type=int, default=64, help='table size in MB (default 64)')
    parser.add_argument('--threads', type=int, default=0, help='search threads (default: the engine\'s own)')
    parser.add_argument('--play-now', type=int, default=0, metavar='CALLS')
    a = parser.parse_args()
    lib = ctypes.CDLL(a.library)
    reply = ctypes.create_string_buffer(1024)
    lib.enginecommand(f'set hashsize {a.hash}'.encode(), reply)
    if a.threads:
        lib.enginecommand(f'set threads {a.threads}'.encode(), reply)
    positions = bench_positions()
    search(lib, positions[0], a.seconds)
    reports = [search(lib, p, a.seconds) for p in positions]
    n = len(reports)
    nodes = sum(field(r, 'nodes') for r in reports)
    ms = max(1, sum(field(r, 'time') for r in reports))
    print(f'{a.library} at {a.seconds:g} s a move: {n} positions, mean depth '
          f'{sum(field(r, "depth") for r in reports) / n:.1f}, mean nodes {nodes // n}, '
          f'{nodes / ms / 1000:.2f} M nodes/s')
    if a.play_now:
        latency = play_now_latency(lib, a.play_now)
        print(f'play-now latency over {len(latency)} searches: median {latency[len(latency) // 2]:.2f} ms, '
              f'max {latency[-1]:.2f} ms')


if __name__ == '__main__':
    main()
