"""The network as fitted (PyTorch, floating point) and as the engine runs it
(integers, src/v2/eval/network.cpp), and the weights file between them
(layout in src/v2/eval/network_file.h)."""
import hashlib
import struct

import numpy as np
import torch

FEATURES, HIDDEN, LAYER2 = 128, 64, 32
ACTIVATION_MAX = 512                  # 1.0 after a clipped ReLU
LAYER2_SHIFT = 12                     # layer-2 weights carry 1 << 12
OUTPUT_SHIFT = 13
OUTPUT_SCALE = 100 * (1 << OUTPUT_SHIFT) // ACTIVATION_MAX  # 1600: one fitted unit is 100 points
MAGIC = b'TVN1'
# Bounds kept while fitting so that every weight fits its integer and the
# engine's sums stay in range (network_file.h): a feature weight of 2 is
# 1024, so 24 pieces with the bias stay inside int16.
FEATURE_BOUND = 2.0
LAYER2_BOUND = 16384 / (1 << LAYER2_SHIFT)
OUTPUT_BOUND = 32767 / OUTPUT_SCALE


class Net(torch.nn.Module):
    """Output in men: the engine's score is 100 times it."""

    def __init__(self):
        super().__init__()
        self.feature = torch.nn.Linear(FEATURES, HIDDEN)
        self.layer2 = torch.nn.Linear(2 * HIDDEN, LAYER2)
        self.output = torch.nn.Linear(LAYER2, 1)

    def forward(self, own, other):
        x = torch.cat([self.feature(own), self.feature(other)], dim=1).clamp(0, 1)
        return self.output(self.layer2(x).clamp(0, 1)).squeeze(1)

    def keep_in_bounds(self):
        with torch.no_grad():
            self.feature.weight.clamp_(-FEATURE_BOUND, FEATURE_BOUND)
            self.feature.bias.clamp_(-FEATURE_BOUND, FEATURE_BOUND)
            self.layer2.weight.clamp_(-LAYER2_BOUND, LAYER2_BOUND)
            self.output.weight.clamp_(-OUTPUT_BOUND, OUTPUT_BOUND)


def quantised(net):
    """The integer weights, in the file's order."""
    def q(t, scale, dtype):
        return np.round(t.detach().numpy().astype(np.float64) * scale).astype(dtype)
    a = ACTIVATION_MAX
    return {
        'feature': q(net.feature.weight.T, a, '<i2'),            # [FEATURES][HIDDEN]
        'feature_bias': q(net.feature.bias, a, '<i2'),
        'layer2': q(net.layer2.weight, 1 << LAYER2_SHIFT, '<i2'),  # [LAYER2][2 HIDDEN]
        'layer2_bias': q(net.layer2.bias, a * (1 << LAYER2_SHIFT), '<i4'),
        'output': q(net.output.weight[0], OUTPUT_SCALE, '<i2'),
        'output_bias': q(net.output.bias, a * OUTPUT_SCALE, '<i4'),
    }


def to_bytes(w):
    return MAGIC + struct.pack('<II', HIDDEN, LAYER2) + b''.join(w[k].tobytes() for k in (
        'feature', 'feature_bias', 'layer2', 'layer2_bias', 'output', 'output_bias'))


def from_bytes(data):
    if data[:4] != MAGIC or struct.unpack_from('<II', data, 4) != (HIDDEN, LAYER2):
        raise SystemExit('not a weights file of this network shape')
    shapes = [('feature', '<i2', (FEATURES, HIDDEN)), ('feature_bias', '<i2', (HIDDEN,)),
              ('layer2', '<i2', (LAYER2, 2 * HIDDEN)), ('layer2_bias', '<i4', (LAYER2,)),
              ('output', '<i2', (LAYER2,)), ('output_bias', '<i4', (1,))]
    w, at = {}, 12
    for name, dtype, shape in shapes:
        count = int(np.prod(shape))
        w[name] = np.frombuffer(data, dtype=dtype, count=count, offset=at).reshape(shape)
        at += count * np.dtype(dtype).itemsize
    if at != len(data):
        raise SystemExit(f'weights file of {len(data)} bytes, expected {at}')
    return w


def checksum(data):
    return hashlib.sha256(data).hexdigest()


def integer_scores(w, own, other):
    """Scores exactly as the engine computes them: int16 accumulators (which
    wrap as the SIMD lanes do), clipped, layer 2 shifted and clipped, the
    output shifted; shifts floor as C++20's do."""
    def accumulate(view):
        acc = view.astype(np.int64) @ w['feature'].astype(np.int64) + w['feature_bias']
        return ((acc + 32768) % 65536) - 32768
    x = np.clip(np.concatenate([accumulate(own), accumulate(other)], axis=1), 0, ACTIVATION_MAX)
    h = np.clip((x @ w['layer2'].T.astype(np.int64) + w['layer2_bias']) >> LAYER2_SHIFT, 0, ACTIVATION_MAX)
    return (h @ w['output'].astype(np.int64) + w['output_bias'][0]) >> OUTPUT_SHIFT
