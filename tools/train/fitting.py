"""The steps that use PyTorch: fit, export, check."""
import os
import subprocess
import sys
import tempfile
import time

import numpy as np
import torch

import network
import records


def say(text):
    print(text, file=sys.stderr, flush=True)


def targets(r, scale, blend):
    """Expected share of the points for the side to move: the result, blended
    with the search's score where there is one."""
    result = (r['result'].astype(np.float32) + 1) / 2
    score = r['score'].astype(np.float32)
    known = r['score'] != records.UNKNOWN_SCORE
    from_score = 1 / (1 + np.exp(-np.clip(score, -3200, 3200) / scale))
    return np.where(known, blend * from_score + (1 - blend) * result, result).astype(np.float32)


def batches(r, size, scale, blend):
    for at in range(0, len(r), size):
        part = r[at:at + size]
        own, other = records.side_views(part)
        yield torch.from_numpy(own), torch.from_numpy(other), torch.from_numpy(targets(part, scale, blend))


def loss_of(net, own, other, target, scale):
    predicted = torch.sigmoid(net(own, other) * 100 / scale)
    return torch.mean((predicted - target) ** 2)


def held_out_loss(net, r, a):
    with torch.no_grad():
        total = sum(loss_of(net, *b, a.scale).item() * len(b[2]) for b in batches(r, 65536, a.scale, a.blend))
    return total / max(1, len(r))


def fit(a):
    torch.set_num_threads(a.threads)
    data = records.read(a.data)
    held = max(1, int(len(data) * a.held_out))
    train, test = data[:-held], data[-held:]
    torch.manual_seed(a.seed)
    net = network.Net()
    optimiser = torch.optim.Adam(net.parameters(), lr=a.lr)
    epoch = 0
    if os.path.exists(a.checkpoint):
        state = torch.load(a.checkpoint)
        net.load_state_dict(state['net'])
        optimiser.load_state_dict(state['optimiser'])
        epoch = state['epoch']
        say(f'fit: resuming after epoch {epoch} from {a.checkpoint}')
    say(f'fit: {len(train)} training records, {len(test)} held out; {a.epochs} epochs of batches of {a.batch}')
    for epoch in range(epoch, a.epochs):
        started = time.time()
        for group in optimiser.param_groups:
            group['lr'] = a.lr * a.decay ** epoch
        games = np.flatnonzero(train['source'] == records.FROM_GAME)
        order = np.concatenate([np.arange(len(train))] + [games] * (a.game_weight - 1))
        order = np.random.default_rng([a.seed, epoch]).permutation(order)
        shuffled = train[order[:a.steps * a.batch] if a.steps else order]
        total, n = 0.0, 0
        for own, other, target in batches(shuffled, a.batch, a.scale, a.blend):
            optimiser.zero_grad()
            loss = loss_of(net, own, other, target, a.scale)
            loss.backward()
            optimiser.step()
            net.keep_in_bounds()
            total += loss.item() * len(target)
            n += len(target)
        held_loss = held_out_loss(net, test, a)
        from_games = test['source'] == records.FROM_GAME
        by_source = held_out_loss(net, test[from_games], a), held_out_loss(net, test[~from_games], a)
        state = {'net': net.state_dict(), 'optimiser': optimiser.state_dict(), 'epoch': epoch + 1}
        torch.save(state, a.checkpoint + '.partial')
        os.replace(a.checkpoint + '.partial', a.checkpoint)
        say(f'fit: epoch {epoch + 1}/{a.epochs}: training loss {total / max(1, n):.6f}, held-out loss '
            f'{held_loss:.6f} (games {by_source[0]:.6f}, databases {by_source[1]:.6f}), {time.time() - started:.0f} s')


def load_net(checkpoint):
    net = network.Net()
    net.load_state_dict(torch.load(checkpoint)['net'])
    return net


def export(a):
    data = network.to_bytes(network.quantised(load_net(a.checkpoint)))
    with open(a.out + '.partial', 'wb') as f:
        f.write(data)
    os.replace(a.out + '.partial', a.out)
    print(f'export: {a.out}, {len(data)} bytes, sha256 {network.checksum(data)}')


def check(a):
    """The engine's scores must equal the integer model's exactly; the fitted
    floating-point network's may differ by the rounding of the weights."""
    with open(a.weights, 'rb') as f:
        w = network.from_bytes(f.read())
    r = records.read(a.data)[:a.count]
    own, other = records.side_views(r)
    integer = network.integer_scores(w, own, other)
    with tempfile.TemporaryDirectory() as scratch:
        sample = os.path.join(scratch, 'sample.rec')
        records.write(sample, r)
        engine = subprocess.run([os.path.join(a.build, 'tarnvel-evalnet'), a.weights, sample],
                                capture_output=True, text=True)
    if engine.returncode != 0:
        raise SystemExit(f'check: tarnvel-evalnet failed: {engine.stderr.strip()}')
    cpp = np.array(engine.stdout.split(), dtype=np.int64)
    mismatched = int((cpp != integer).sum()) if len(cpp) == len(integer) else len(r)
    with torch.no_grad():
        fitted = load_net(a.checkpoint)(torch.from_numpy(own), torch.from_numpy(other)).numpy() * 100
    rounding = np.abs(fitted - integer)
    ok = mismatched == 0 and rounding.max(initial=0) <= a.tolerance
    print(f'check: {len(r)} positions; engine against Python integers: {mismatched} differ; against the fitted '
          f'network: mean {rounding.mean():.2f}, max {rounding.max(initial=0):.2f} points (tolerance '
          f'{a.tolerance}); scores {integer.min(initial=0)} to {integer.max(initial=0)}: '
          f'{"ok" if ok else "FAILED"}')
    if not ok:
        raise SystemExit(1)
