#!/usr/bin/python3
"""tools/train end to end in seconds: a few self-play games, a sample of a
4-piece database and a few hand-made game records, merged, fitted a few
steps (then resumed), exported and checked against the engine
(tarnvel-evalnet), which must give the Python integer model's scores
exactly. Without python3-torch it fails saying so. Run as:
tiny_pipeline_test.py BUILD_DIR"""
import os
import subprocess
import sys
import tempfile

try:
    import numpy as np
    import torch  # noqa: F401
except ImportError:
    print('FAIL: python3-torch is missing for /usr/bin/python3; run scripts/install-deps.sh train')
    sys.exit(1)

build = os.path.abspath(sys.argv[1])
train = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools', 'train')
sys.path.insert(0, train)
import records  # noqa: E402


def step(*args):
    done = subprocess.run(['/usr/bin/python3', os.path.join(train, 'train.py'), '--build', build, *args],
                          capture_output=True, text=True)
    assert done.returncode == 0, f'{args[0]}: {done.stdout}{done.stderr}'
    return done.stdout + done.stderr


with tempfile.TemporaryDirectory() as scratch:
    os.chdir(scratch)
    subprocess.run([os.path.join(build, 'tarnvel-egdb'), 'build', '--pieces', '4', '--threads', '1'],
                   check=True, capture_output=True)
    step('dbsample', '--db', 'db', '--out', 'data', '--pieces', '2-4', '--count', '3000', '--chunk', '1000',
         '--seed', '3')
    assert sorted(os.listdir('data')) == [f'db2-4-seed3-000{i}.rec' for i in range(3)]

    # Self-play through tarnvel match: each seed its own records and PDN, so
    # that a second seed neither resumes from the first nor is refused.
    for seed in ('1', '2'):
        step('games', '--out', 'selfplay', '--engine', '2', '--games', '1', '--time', '0.01', '--seed', seed)
    assert sorted(os.listdir('selfplay')) == ['match-1.pdn', 'match-1.rec', 'match-2.pdn', 'match-2.rec']
    assert all(len(records.read(f'selfplay/match-{seed}.rec')) > 20 for seed in (1, 2))

    # The opening and a middlegame from both sides, a duplicate, and one invalid record.
    games = np.zeros(6, records.RECORD)
    games[0] = (0xFFF00000, 0, 0x00000FFF, 0, 10, 0, 0, 0, 0, 0)
    games[1] = (0xFFF00000, 0, 0x00000FFF, 0, 10, 0, 0, 0, 0, 0)
    games[2] = (0x7E300000, 0, 0x00000EF7, 0, -120, 1, -1, 0, 0, 21)
    games[3] = (0x00F00000, 0x1, 0x00000F00, 0, 400, 1, 1, 0, 0, 60)
    games[4] = (0x00F00000, 0, 0x00000F00, 0x80000000, -32768, 0, 0, 0, 0, 61)
    games[5] = (0x0000000F, 0, 0x00000F00, 0, 5, 0, 0, 0, 0, 9)  # white men on their crowning row
    records.write('data/games.rec', games)
    merged = step('merge', 'data', '--out', 'train.rec', '--seed', '2')
    assert '3006 records read from 4 files, 1 invalid, ' in merged, merged
    r = records.read('train.rec')
    assert len(np.unique(r[['wm', 'wk', 'bm', 'bk', 'side']])) == len(r) and (r['source'] == 0).sum() == 4

    step('fit', '--data', 'train.rec', '--checkpoint', 'net.pt', '--epochs', '2', '--steps', '3', '--batch', '256')
    resumed = step('fit', '--data', 'train.rec', '--checkpoint', 'net.pt', '--epochs', '3', '--steps', '3',
                   '--batch', '256')
    assert 'resuming after epoch 2' in resumed and 'epoch 3/3' in resumed and 'epoch 2/3' not in resumed, resumed
    exported = step('export', '--checkpoint', 'net.pt', '--out', 'net.bin')
    assert ', 24912 bytes, sha256 ' in exported, exported
    checked = step('check', '--weights', 'net.bin', '--checkpoint', 'net.pt', '--data', 'train.rec')
    assert 'engine against Python integers: 0 differ' in checked and checked.rstrip().endswith('ok'), checked
    print(checked.strip())
print('1 passed, 0 failed')
