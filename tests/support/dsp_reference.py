#!/usr/bin/python3
"""Reference figures for the engine tests, computed with numpy and scipy
from the files the program writes (never from its own code).

  response COEFFS IQFILE   COEFFS: one coefficient per line; IQFILE: a
                           temporary I/Q file ("IQF" + float32 I, Q pairs)
                           holding a filtered impulse. Prints the energy
                           centre of the response (in samples) and the
                           largest difference between its magnitude response
                           and that of the coefficients (scipy.signal.freqz),
                           both normalised to their peak.
  wavestats WAVEFILE       a waveform file: prints the RMS and peak offsets of
                           its int16 samples (dB below full scale 32767), the
                           crest factor and the two numbers of its LEVEL OFFS
                           tag.
"""
import re
import sys

import numpy as np
from scipy import signal


def response(coeffs_path, iq_path):
    c = np.loadtxt(coeffs_path, ndmin=1)
    raw = open(iq_path, 'rb').read()
    if raw[:3] != b'IQF':
        print('error=not an IQF file')
        return 2
    iq = np.frombuffer(raw[3:], dtype='<f4').astype(float)
    y = iq[0::2] + 1j * iq[1::2]
    p = np.abs(y) ** 2
    centre = float(np.sum(np.arange(len(y)) * p) / np.sum(p))
    w = np.linspace(0.0, np.pi, 512)
    _, hc = signal.freqz(c, worN=w)
    _, hy = signal.freqz(y, worN=w)
    diff = np.max(np.abs(np.abs(hy) / np.max(np.abs(hy)) - np.abs(hc) / np.max(np.abs(hc))))
    print('centre=%.9f maxdiff=%.9f' % (centre, diff))
    return 0


def wavestats(path):
    raw = open(path, 'rb').read()
    tag = re.search(rb'\{LEVEL OFFS:\s*([-0-9.eE+]+)\s*,\s*([-0-9.eE+]+)\}', raw)
    block = re.search(rb'\{WAVEFORM-(\d+):\s*#', raw)
    if tag is None or block is None:
        print('error=no LEVEL OFFS or WAVEFORM tag')
        return 2
    n = (int(block.group(1)) - 1) // 4
    data = np.frombuffer(raw, dtype='<i2', count=2 * n, offset=block.end()).astype(float) / 32767.0
    mag = np.abs(data[0::2] + 1j * data[1::2])
    peak = float(np.max(mag)) if n else 0.0
    rms = float(np.sqrt(np.mean(mag ** 2))) if n else 0.0
    rms_off = 20 * np.log10(1 / rms) if rms > 0 else 0.0
    peak_off = 20 * np.log10(1 / peak) if peak > 0 else 0.0
    crest = 20 * np.log10(peak / rms) if rms > 0 else 0.0
    print('rms=%.6f peak=%.6f crest=%.6f tagrms=%s tagpeak=%s' %
          (rms_off, peak_off, crest, tag.group(1).decode(), tag.group(2).decode()))
    return 0


if __name__ == '__main__':
    if len(sys.argv) == 4 and sys.argv[1] == 'response':
        sys.exit(response(sys.argv[2], sys.argv[3]))
    if len(sys.argv) == 3 and sys.argv[1] == 'wavestats':
        sys.exit(wavestats(sys.argv[2]))
    print(__doc__)
    sys.exit(2)
