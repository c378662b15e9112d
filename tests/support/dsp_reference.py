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
  noise WAVEFILE CLOCK BW  a waveform file of band-limited noise at CLOCK Hz
                           set to BW Hz: prints the noise power (mean of
                           I^2 + Q^2, dB of full scale 32767), the -3 dB width
                           of its two-sided Welch spectrum (scipy.signal.welch,
                           Hz), its highest level from BW on, twice the
                           edge (dB to the pass band; 0 when BW is above
                           CLOCK/2 - 1 bin),
                           the I/Q correlation coefficient and the mean.
  spectrum IQFILE QUERY..  a temporary I/Q file: numpy.fft.fft of all its
                           samples, unnormalised; per QUERY "peak F" (F the
                           frequency as a fraction of the rate, -0.5..0.5)
                           prints peakN= the largest level 20 log10 |X| (dB)
                           of the bins within half of 1/500 of the rate of F
                           (across +-rate/2), and "band LO HI" prints bandN=
                           10 log10 of the summed power |X|^2 of the bins
                           with LO <= f < HI. A first query "range A B"
                           takes samples A .. B - 1 only.
  noisestarts WAVEFILE CLOCK BW PERIOD FREQ,...
                           the same noise in repetitions of PERIOD samples:
                           the spectrum (dB to the pass band) of 512-sample
                           Hann segments centred on every repetition start,
                           at each FREQ (Hz), as "acrossF=" (F in MHz);
                           beside it "refF=", the same measure of scipy's own
                           noise of that power through the 12th-order
                           Butterworth low pass of cut-off BW/2
                           (signal.butter, sosfilt), quantised as the file is.
"""
import re
import sys

import numpy as np
from scipy import signal


def read_iqf(path):
    """The complex samples of a temporary I/Q file; None when it is none."""
    raw = open(path, 'rb').read()
    if raw[:3] != b'IQF':
        return None
    iq = np.frombuffer(raw[3:], dtype='<f4').astype(float)
    return iq[0::2] + 1j * iq[1::2]


def response(coeffs_path, iq_path):
    c = np.loadtxt(coeffs_path, ndmin=1)
    y = read_iqf(iq_path)
    if y is None:
        print('error=not an IQF file')
        return 2
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


def read_iq(path):
    raw = open(path, 'rb').read()
    block = re.search(rb'\{WAVEFORM-(\d+):\s*#', raw)
    if block is None:
        return None
    n = (int(block.group(1)) - 1) // 4
    data = np.frombuffer(raw, dtype='<i2', count=2 * n, offset=block.end()).astype(float) / 32767.0
    return data[0::2] + 1j * data[1::2]


def noise(path, clock, bandwidth):
    x = read_iq(path)
    if x is None:
        print('error=no WAVEFORM tag')
        return 2
    n = len(x)
    i, q = x.real, x.imag
    power = 10 * np.log10(np.mean(np.abs(x) ** 2))
    # About 32 bins across the band, at least 16 segments.
    nperseg = int(2 ** np.round(np.log2(32 * clock / bandwidth)))
    nperseg = max(16, min(nperseg, n // 16))
    f, p = signal.welch(x, fs=clock, window='hann', nperseg=nperseg, detrend=False,
                        return_onesided=False, scaling='density')
    f, p = np.fft.fftshift(f), np.fft.fftshift(p)
    level = np.median(p[np.abs(f) < bandwidth / 4])
    centre = int(np.argmin(np.abs(f)))

    def edge(step):
        # Walks out from 0 Hz to the first bin below half the level and
        # interpolates the crossing in dB between it and the bin before.
        k = centre
        while 0 <= k + step < len(p) and p[k + step] >= level / 2:
            k += step
        if not 0 <= k + step < len(p):
            return f[k]
        a, b = 10 * np.log10(p[k] / level), 10 * np.log10(p[k + step] / level)
        t = (-3.0103 - a) / (b - a)
        return f[k] + t * (f[k + step] - f[k])

    width = edge(1) - edge(-1)
    beyond = np.abs(f) >= bandwidth
    stop = 10 * np.log10(np.max(p[beyond]) / level) if np.any(beyond) else 0.0
    corr = float(np.mean(i * q) / np.sqrt(np.mean(i * i) * np.mean(q * q)))
    print('power=%.6f width=%.3f stop=%.3f iqcorr=%.6f mean=%.6f' %
          (power, width, stop, corr, float(np.abs(np.mean(x)))))
    return 0


def spectrum(path, queries):
    x = read_iqf(path)
    if x is None:
        print('error=not an IQF file')
        return 2
    if queries[:1] == ['range']:
        x, queries = x[int(queries[1]):int(queries[2])], queries[3:]
    x = np.fft.fft(x)
    f = np.fft.fftfreq(len(x))
    power = np.abs(x) ** 2
    out, peaks, bands, k = [], 0, 0, 0
    while k < len(queries):
        if queries[k] == 'peak':
            near = np.abs((f - float(queries[k + 1]) + 0.5) % 1.0 - 0.5) <= 0.5 / 500 + 1e-12
            out.append('peak%d=%.6f' % (peaks, 20 * np.log10(np.sqrt(np.max(power[near])) + 1e-32)))
            peaks, k = peaks + 1, k + 2
        elif queries[k] == 'band':
            inside = (f >= float(queries[k + 1])) & (f < float(queries[k + 2]))
            out.append('band%d=%.6f' % (bands, 10 * np.log10(np.sum(power[inside]) + 1e-64)))
            bands, k = bands + 1, k + 3
        else:
            print('error=unknown query ' + queries[k])
            return 2
    print(' '.join(out))
    return 0


def noisestarts(path, clock, bandwidth, period, freqs):
    x = read_iq(path)
    if x is None:
        print('error=no WAVEFORM tag')
        return 2
    n, seg = len(x), 512
    starts = np.arange(period, n - seg // 2, period)
    win = signal.get_window('hann', seg)
    f = np.fft.fftfreq(seg, 1.0 / clock)

    def levels(y):
        spectra = [np.abs(np.fft.fft(win * y[s - seg // 2:s + seg // 2])) ** 2 for s in starts]
        p = np.mean(spectra, axis=0)
        ref = np.median(p[np.abs(f) < bandwidth / 4])
        out = []
        for f0 in freqs:
            near = (np.abs(np.abs(f) - f0) <= 2.5 * clock / seg)
            out.append(10 * np.log10(np.mean(p[near]) / ref))
        return out

    sos = signal.butter(12, bandwidth / 2, fs=clock, output='sos')
    rng = np.random.default_rng(7)
    settle = 20000
    w = rng.standard_normal(2 * (n + settle)).view(np.complex128)
    y = signal.sosfilt(sos, w)[settle:]
    y *= np.sqrt(np.mean(np.abs(x) ** 2) / np.mean(np.abs(y) ** 2))
    iq = np.trunc(np.clip(np.stack([y.real, y.imag]), -1, 1) * 32767 + 0.5) / 32767
    y = iq[0] + 1j * iq[1]
    print(' '.join('across%g=%.3f ref%g=%.3f' % (f0 / 1e6, a, f0 / 1e6, b)
                   for f0, a, b in zip(freqs, levels(x), levels(y))))
    return 0


if __name__ == '__main__':
    if len(sys.argv) >= 3 and sys.argv[1] == 'spectrum':
        sys.exit(spectrum(sys.argv[2], sys.argv[3:]))
    if len(sys.argv) == 7 and sys.argv[1] == 'noisestarts':
        sys.exit(noisestarts(sys.argv[2], float(sys.argv[3]), float(sys.argv[4]), int(sys.argv[5]),
                             [float(v) for v in sys.argv[6].split(',')]))
    if len(sys.argv) == 4 and sys.argv[1] == 'response':
        sys.exit(response(sys.argv[2], sys.argv[3]))
    if len(sys.argv) == 3 and sys.argv[1] == 'wavestats':
        sys.exit(wavestats(sys.argv[2]))
    if len(sys.argv) == 5 and sys.argv[1] == 'noise':
        sys.exit(noise(sys.argv[2], float(sys.argv[3]), float(sys.argv[4])))
    print(__doc__)
    sys.exit(2)
