#!/usr/bin/env python3
"""Synthesise the soundtrack qtn.mp3.

A 120 BPM piece in A minor, 85 seconds long, that loops: the program
clocks its opening from the music, so the form follows the opening:

    0 - 1 s   pickup: a reversed cymbal swell out of silence
    1 - 5 s   intro: pad and a filtered arpeggio (logo fades in)
    5 - 9 s   caption 1: kick and offbeat bass enter
    9 - 13 s  caption 2: hats, claps and a bell melody
   13 - 17 s  caption 3: open hats, the arpeggio opens up
   17 - 19 s  lift: drums drop, snare roll and riser over E major
   19 - 83 s  main: four 8-bar sections (hook, bridge, hook, outro)
   83 - 85 s  the last A minor chord dies away

Bar b (from 0) starts at 1 + 2b seconds.  Reverb and delays are computed
circularly over the whole piece, so the tail of the last chord flows into
the pickup when the file loops; the dry signal is silent at both ends.

Everything is vectorised numpy: oscillators with polyBLEP anti-aliasing,
time-varying filters in the short-time Fourier domain, drums from noise,
FFT convolution reverb.  Randomness comes from fixed seeds.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import wave

import numpy as np

SR = 44100
BPM = 120.0
BEAT = 60.0 / BPM            # 0.5 s
BAR = 4 * BEAT               # 2 s
STEP = BEAT / 4              # a sixteenth
START = 1.0                  # bar 0 starts after the one-second pickup
BARS = 41                    # bars 0..40; the tail rings through bar 41
LENGTH = 85.0                # seconds, exactly, so the loop is sample exact
N = int(round(LENGTH * SR))

# sections, by bar
INTRO = range(0, 2)
CAP1, CAP2, CAP3 = range(2, 4), range(4, 6), range(6, 8)
LIFT = 8
MAIN_A = range(9, 17)
MAIN_B = range(17, 25)
MAIN_A2 = range(25, 33)
OUTRO = range(33, 41)

# chords: (name, voicing for pads and arpeggio, bass note), MIDI numbers
CHORDS = {
    "Am": ((57, 60, 64, 69), 33),
    "F": ((57, 60, 65, 69), 29),
    "C": ((55, 60, 64, 67), 36),
    "G": ((55, 59, 62, 67), 31),
    "E": ((56, 59, 64, 68), 28),
    "Dm": ((57, 62, 65, 69), 38),
}
CYCLE = ["Am", "F", "C", "G"]
BRIDGE = ["Dm", "F", "C", "G", "Dm", "F", "E", "E"]


def bar_time(b, step=0.0):
    """Seconds at bar b plus a number of sixteenths."""
    return START + b * BAR + step * STEP


def chord_of_bar(b):
    if b in INTRO:
        return ["Am", "F"][b]
    if b == LIFT:
        return "E"
    if b in MAIN_B:
        return BRIDGE[b - MAIN_B.start]
    if b >= BARS - 1:
        return "Am"
    return CYCLE[(b - 2) % 4] if b < LIFT else CYCLE[(b - 9) % 4]


def mtof(m):
    return 440.0 * 2.0 ** ((m - 69) / 12.0)


def idx(t):
    return int(round(t * SR))


# ================================================================ basics

class Bus:
    """A stereo track of the whole piece."""

    def __init__(self):
        self.l = np.zeros(N)
        self.r = np.zeros(N)

    def add(self, t, mono=None, left=None, right=None, pan=0.0, gain=1.0):
        """Mix a signal in at time t (seconds); pan -1 .. 1."""
        i = idx(t)
        if mono is not None:
            left = right = mono
            gl = gain * np.cos((pan + 1) * np.pi / 4) * np.sqrt(2)
            gr = gain * np.sin((pan + 1) * np.pi / 4) * np.sqrt(2)
        else:
            gl = gr = gain
        for dst, sig, g in ((self.l, left, gl), (self.r, right, gr)):
            n = len(sig)
            if i >= N or n == 0:
                continue
            j = min(N, i + n)
            dst[i:j] += sig[:j - i] * g
            # anything past the end wraps round to the start of the loop
            if i + n > N:
                rest = sig[j - i:] * g
                dst[:len(rest)] += rest

    def mix_into(self, other, gain=1.0):
        other.l += self.l * gain
        other.r += self.r * gain

    def scale(self, env):
        self.l *= env
        self.r *= env


def polyblep(phase, dt):
    """Correction that removes the aliasing of a sawtooth's reset; dt is
    the phase increment per sample (a number or an array like phase)."""
    out = np.zeros_like(phase)
    scalar = np.ndim(dt) == 0
    a = phase < dt
    t = phase[a] / (dt if scalar else dt[a])
    out[a] = t + t - t * t - 1.0
    b = phase > 1.0 - dt
    t = (phase[b] - 1.0) / (dt if scalar else dt[b])
    out[b] = t * t + t + t + 1.0
    return out


def _phase(freq, n, phase0):
    if np.ndim(freq) == 0:
        dt = float(freq) / SR
        phase = np.arange(n) * dt + phase0
    else:
        dt = np.asarray(freq, dtype=np.float64) / SR
        phase = np.cumsum(dt) - dt[0] + phase0
    phase -= np.floor(phase)
    return phase, dt


def saw(freq, n, phase0=0.0):
    """Band-limited sawtooth; freq is a number or an array of n values."""
    phase, dt = _phase(freq, n, phase0)
    return 2.0 * phase - 1.0 - polyblep(phase, dt)


def square(freq, n, phase0=0.0, width=0.5):
    return saw(freq, n, phase0) - saw(freq, n, (phase0 + width) % 1.0)


def sine(freq, n, phase0=0.0):
    phase, _dt = _phase(freq, n, phase0)
    return np.sin(2 * np.pi * phase)


def adsr(n, a, d, s, r, hold):
    """Envelope of n samples: attack a, decay d to level s, held until
    `hold` seconds, then released over r seconds."""
    t = np.arange(n) / SR
    env = np.where(t < a, t / max(a, 1e-6),
                   s + (1 - s) * np.exp(-(t - a) / max(d, 1e-6)))
    rel = np.clip((t - hold) / max(r, 1e-6), 0.0, 1.0)
    env = env * (1.0 - rel) ** 2
    return env


# ================================================================ filters

def stft_filter(x, gain_fn, nfft=2048):
    """Filter x with a response that may change over time.

    gain_fn(times, freqs) gets frame centre times (seconds, a column) and
    bin frequencies (a row) and returns the gain of every bin of every
    frame.  Square-root Hann windows at half overlap for analysis and
    synthesis, so an all-pass gain returns x unchanged."""
    n = len(x)
    hop = nfft // 2
    pad = nfft
    total = n + 2 * pad
    total += (-total) % hop
    xp = np.zeros(total)
    xp[pad:pad + n] = x
    count = (total - nfft) // hop + 1
    win = np.sqrt(0.5 - 0.5 * np.cos(2 * np.pi * np.arange(nfft) / nfft))
    frames = np.lib.stride_tricks.sliding_window_view(xp, nfft)[::hop][:count]
    spectrum = np.fft.rfft(frames * win, axis=1)
    starts = np.arange(count) * hop
    times = ((starts + nfft / 2 - pad) / SR)[:, None]
    freqs = np.fft.rfftfreq(nfft, 1.0 / SR)[None, :]
    spectrum *= gain_fn(times, freqs)
    out_frames = np.fft.irfft(spectrum, n=nfft, axis=1) * win
    out = np.zeros(total)
    even = out_frames[0::2].reshape(-1)
    odd = out_frames[1::2].reshape(-1)
    out[:len(even)] += even
    out[hop:hop + len(odd)] += odd
    return out[pad:pad + n]


def lowpass_gain(freqs, cutoff, order=2.0, res=0.0):
    ratio = freqs / np.maximum(cutoff, 1.0)
    g = 1.0 / np.sqrt(1.0 + ratio ** (2 * order))
    if res:
        g = g * (1.0 + res * np.exp(-np.log2(np.maximum(ratio, 1e-6)) ** 2
                                    / (2 * 0.12 ** 2)))
    return g


def highpass_gain(freqs, cutoff, order=2.0):
    ratio = np.maximum(cutoff, 1.0) / np.maximum(freqs, 1.0)
    return 1.0 / np.sqrt(1.0 + ratio ** (2 * order))


def fft_filter(x, gain_of_freq):
    """Static filter over a whole (short or circular) signal."""
    spectrum = np.fft.rfft(x)
    freqs = np.fft.rfftfreq(len(x), 1.0 / SR)
    return np.fft.irfft(spectrum * gain_of_freq(freqs), n=len(x))


# ================================================================ drums

def make_kick():
    n = idx(0.45)
    t = np.arange(n) / SR
    f = 46.0 + 110.0 * np.exp(-t / 0.035) + 40.0 * np.exp(-t / 0.006)
    body = np.sin(2 * np.pi * np.cumsum(f) / SR)
    env = np.exp(-t / 0.30) * np.clip(t / 0.002, 0, 1)
    env *= np.clip((0.45 - t) / 0.05, 0, 1)
    click = np.random.default_rng(3).standard_normal(n) * np.exp(-t / 0.003)
    click = fft_filter(click, lambda fr: lowpass_gain(fr, 4000.0))
    return np.tanh(1.6 * (body * env + 0.25 * click)) * 0.95


def noise(n, seed):
    return np.random.default_rng(seed).standard_normal(n)


def make_clap():
    n = idx(0.35)
    t = np.arange(n) / SR
    env = np.zeros(n)
    for k, off in enumerate((0.0, 0.011, 0.022)):
        tt = np.clip(t - off, 0, None)
        env += (t >= off) * np.exp(-tt / 0.007) * (0.8 if k < 2 else 0)
    env += (t >= 0.022) * np.exp(-np.clip(t - 0.022, 0, None) / 0.11)
    x = noise(n, 5) * env
    x = fft_filter(x, lambda fr: np.exp(-((np.log2(np.maximum(fr, 1) / 1300.0))
                                          ** 2) / (2 * 0.6 ** 2)))
    return x / np.max(np.abs(x))


def make_hat(decay, seed):
    n = idx(max(decay * 6, 0.05))
    t = np.arange(n) / SR
    x = noise(n, seed)
    # a few square partials give the metallic colour
    for k, fr in enumerate((3140.0, 4270.0, 5810.0, 7330.0)):
        x += 0.6 * square(fr, n, 0.13 * k)
    x = fft_filter(x, lambda fr: highpass_gain(fr, 7000.0, 3))
    x *= np.exp(-t / decay) * np.clip(t / 0.001, 0, 1)
    return x / np.max(np.abs(x))


def make_snare():
    n = idx(0.25)
    t = np.arange(n) / SR
    tone = np.sin(2 * np.pi * 190 * t) * np.exp(-t / 0.05)
    x = noise(n, 9)
    x = fft_filter(x, lambda fr: highpass_gain(fr, 1200.0) *
                   lowpass_gain(fr, 9000.0))
    x = x / np.max(np.abs(x)) * np.exp(-t / 0.07)
    return 0.6 * tone + 0.8 * x


def make_crash(length=2.8):
    n = idx(length)
    t = np.arange(n) / SR
    x = noise(n, 13)
    for k, fr in enumerate((3520.0, 4730.0, 5390.0, 6710.0, 8150.0)):
        x += 0.12 * square(fr, n, 0.11 * k)
    x = fft_filter(x, lambda fr: highpass_gain(fr, 4500.0, 2))
    env = np.exp(-t / 0.9) * np.clip(t / 0.002, 0, 1)
    env *= np.clip((length - t) / 0.3, 0, 1)
    x = x / np.max(np.abs(x)) * env
    return x


# ================================================================ parts

def drums(bus_dry, bus_verb, kick_times):
    kick, clap, snare = make_kick(), make_clap(), make_snare()
    hat_c, hat_o = make_hat(0.035, 21), make_hat(0.16, 22)
    crash = make_crash()

    def kick_on(b):
        return (b in CAP1 or b in CAP2 or b in CAP3 or b in MAIN_A
                or b in MAIN_B or b in MAIN_A2 or b in range(33, 37))

    for b in range(BARS):
        for beat in range(4):
            t = bar_time(b, 4 * beat)
            if kick_on(b):
                # drop the kick on the last beat before the bridge break
                if not (b == MAIN_B[-1] and beat >= 2):
                    bus_dry.add(t, kick, gain=0.46)
                    kick_times.append(t)
            clap_on = (b in CAP2 or b in CAP3 or b in MAIN_A or b in MAIN_B
                       or b in MAIN_A2 or b in range(33, 37))
            if clap_on and beat in (1, 3):
                bus_dry.add(t, clap, gain=0.22, pan=0.05)
                bus_verb.add(t, clap, gain=0.10)
            open_on = (b in CAP3 or b in MAIN_A or b in MAIN_B
                       or b in MAIN_A2 or b in range(33, 37))
            if open_on:
                bus_dry.add(t + 2 * STEP, hat_o, gain=0.09, pan=0.25)
            hats_on = (b in CAP2 or b in CAP3 or b in MAIN_A or b in MAIN_B
                       or b in MAIN_A2 or b in range(33, 39))
            if hats_on:
                for s in (1, 3) if open_on else (0, 1, 2, 3):
                    acc = 1.0 if s in (0, 2) else 0.6
                    fade = 1.0 if b < 37 else (39 - b - s / 16.0) / 2.0
                    bus_dry.add(t + s * STEP, hat_c, gain=0.065 * acc * fade,
                                pan=-0.3 + 0.1 * s)
    # crashes on the section starts
    for b, g in ((2, 0.14), (9, 0.22), (17, 0.18), (25, 0.22), (33, 0.17)):
        bus_dry.add(bar_time(b), crash, gain=g, pan=-0.2)
        bus_verb.add(bar_time(b), crash, gain=0.08)
    # snare roll through the lift: sixteenths, then thirty-seconds
    steps = [s for s in range(0, 8)] + [8 + 0.5 * k for k in range(16)]
    for s in steps:
        lvl = 0.08 + 0.26 * (s / 16.0) ** 1.5
        bus_dry.add(bar_time(LIFT, s), snare, gain=lvl, pan=0.1)
        bus_verb.add(bar_time(LIFT, s), snare, gain=lvl * 0.4)
    # small fills at the ends of the first main section and the bridge
    for s in (12, 13, 14, 14.5, 15, 15.5):
        bus_dry.add(bar_time(MAIN_A[-1], s), snare, gain=0.18, pan=-0.1)
    for s in (8, 10, 12, 13, 14, 15):
        bus_dry.add(bar_time(MAIN_B[-1], s), snare, gain=0.12 + 0.01 * s)
        bus_verb.add(bar_time(MAIN_B[-1], s), snare, gain=0.15)


def reverse_swell(length, seed, bright=6000.0):
    n = idx(length)
    t = np.arange(n) / SR
    x = noise(n, seed)
    x = fft_filter(x, lambda fr: highpass_gain(fr, 2500.0) *
                   lowpass_gain(fr, bright))
    env = (t / length) ** 3
    return x / np.max(np.abs(x)) * env


def riser(length, seed):
    """Noise whose band climbs over `length` seconds."""
    n = idx(length)
    x = noise(n, seed)

    def gain(times, freqs):
        p = np.clip(times / length, 0, 1)
        centre = 300.0 * (40.0 ** p)
        return np.exp(-(np.log2(np.maximum(freqs, 1) / centre) ** 2)
                      / (2 * 0.5 ** 2))
    y = stft_filter(x, gain)
    t = np.arange(n) / SR
    return y / np.max(np.abs(y)) * (t / length) ** 2


def effects(bus_dry, bus_verb):
    bus_dry.add(0.0, reverse_swell(1.0, 31), gain=0.22, pan=0.0)
    bus_verb.add(0.0, reverse_swell(1.0, 32), gain=0.10)
    r = riser(BAR, 33)
    bus_dry.add(bar_time(LIFT), r, gain=0.20, pan=-0.15)
    bus_verb.add(bar_time(LIFT), r, gain=0.12)
    r2 = riser(BAR / 2, 34)
    bus_dry.add(bar_time(MAIN_B[-1], 8), r2, gain=0.12, pan=0.15)


def bass(bus, kick_env):
    """Offbeat eighths during the captions, rolling sixteenths in the main
    part, long notes at the end."""
    notes = []          # (time, midi, length, accent)
    for b in range(BARS):
        root = CHORDS[chord_of_bar(b)][1]
        if b in CAP1 or b in CAP2 or b in CAP3 or b in range(33, 37):
            for beat in range(4):
                notes.append((bar_time(b, 4 * beat + 2), root, STEP * 1.6, 1.0))
        elif b in MAIN_A or b in MAIN_B or b in MAIN_A2:
            for beat in range(4):
                if b == MAIN_B[-1] and beat >= 2:
                    continue
                for s in (1, 2, 3):
                    oct_up = 12 if (s == 3 and beat == 3) else 0
                    notes.append((bar_time(b, 4 * beat + s), root + oct_up,
                                  STEP * 0.8, 1.0 if s == 2 else 0.8))
        elif b == LIFT:
            notes.append((bar_time(b), root, BAR * 0.5, 0.8))
        elif b in range(37, 40):
            notes.append((bar_time(b), root, BAR * 0.95, 0.7))
        elif b == 40:
            notes.append((bar_time(b), root, BAR * 0.9, 0.7))
    dry = np.zeros(N)
    for t, m, length, acc in notes:
        f = mtof(m)
        n = idx(length + 0.08)
        x = 0.7 * saw(f, n) + 0.5 * square(f * 0.5, n) * 0.5 + 0.6 * sine(f, n)
        env = adsr(n, 0.003, 0.12, 0.6, 0.06, length)
        i = idx(t)
        j = min(N, i + n)
        dry[i:j] += (x * env * acc)[:j - i]
    # filter: opens a little with each note, tracks the song's intensity
    onsets = np.array([t for t, *_ in notes])

    def gain(times, freqs):
        k = np.searchsorted(onsets, times[:, 0], side="right") - 1
        since = times[:, 0] - onsets[np.clip(k, 0, None)]
        cut = 260.0 + 900.0 * np.exp(-np.clip(since, 0, None) / 0.07)
        return lowpass_gain(freqs, cut[:, None], order=2, res=0.6)
    wet = stft_filter(dry, gain)
    wet *= kick_env
    bus.add(0.0, wet, gain=0.7)


def pads(bus, bus_verb, kick_env):
    """Detuned saw chords, one per bar, wide and slow."""
    rng = np.random.default_rng(41)
    detune = (-0.11, -0.04, 0.05, 0.12)
    left = np.zeros(N)
    right = np.zeros(N)
    for b in range(BARS):
        voicing = CHORDS[chord_of_bar(b)][0]
        t0 = bar_time(b)
        length = BAR if b < BARS - 1 else BAR * 1.8
        if b == BARS - 1:
            release = 0.2
        else:
            release = 0.6
        n = idx(length + release)
        att = 0.9 if b == 0 else 0.25
        env = adsr(n, att, 0.5, 0.85, release, length)
        if b == BARS - 1:
            # the last chord swells once and dies away before the loop
            tt = np.arange(n) / SR
            env *= np.exp(-np.clip(tt - 0.8, 0, None) / 0.55)
        i = idx(t0)
        for m in voicing:
            for k, d in enumerate(detune):
                f = mtof(m + d)
                x = saw(f, n, rng.random()) * env
                pan = (k - 1.5) / 1.5 * 0.8
                gl = np.cos((pan + 1) * np.pi / 4)
                gr = np.sin((pan + 1) * np.pi / 4)
                j = min(N, i + n)
                left[i:j] += x[:j - i] * gl
                right[i:j] += x[:j - i] * gr
    # slow filter movement; brighter in the bridge
    def gain(times, freqs):
        t = times
        base = 900.0 + 500.0 * np.sin(2 * np.pi * t / 16.0) ** 2
        bridge = ((t >= bar_time(MAIN_B.start)) & (t < bar_time(MAIN_B.stop)))
        base = base + 900.0 * bridge
        intro = np.clip((t - 0.0) / 5.0, 0.0, 1.0)
        base = base * (0.45 + 0.55 * intro)
        return lowpass_gain(freqs, base, order=2) * highpass_gain(freqs, 150.0)
    left = stft_filter(left, gain)
    right = stft_filter(right, gain)
    duck = 0.55 + 0.45 * kick_env
    gain_all = 0.09
    bus.l += left * duck * gain_all
    bus.r += right * duck * gain_all
    bus_verb.l += left * gain_all * 0.5
    bus_verb.r += right * gain_all * 0.5


def arpeggio(bus, bus_delay, kick_env):
    """Plucked sixteenths over the chord tones."""
    order = (0, 1, 2, 3, 4, 3, 2, 1, 0, 2, 1, 3, 4, 2, 3, 1)
    notes = []
    for b in range(BARS - 1):
        if b == LIFT:
            continue
        voicing = CHORDS[chord_of_bar(b)][0]
        tones = list(voicing) + [voicing[0] + 12]
        for s in range(16):
            notes.append((bar_time(b, s), tones[order[s]] + 12))
    dry = np.zeros(N)
    for t, m in notes:
        f = mtof(m)
        n = idx(STEP * 1.8)
        x = 0.6 * saw(f, n) + 0.4 * square(f * 1.003, n, 0.3, 0.3)
        env = adsr(n, 0.002, 0.09, 0.0, 0.02, STEP * 1.7)
        i = idx(t)
        j = min(N, i + n)
        dry[i:j] += (x * env)[:j - i]
    onsets = np.array([t for t, _ in notes])

    def gain(times, freqs):
        t = times[:, 0]
        k = np.searchsorted(onsets, t, side="right") - 1
        since = np.clip(t - onsets[np.clip(k, 0, None)], 0, None)
        # the overall brightness follows the form: dark intro, opening up
        # through the captions, full in the main part, closing at the end
        shape = np.interp(t, [0, 5, 13, 17, 19, 67, 75, 83, 85],
                          [300, 700, 1400, 2600, 2200, 2400, 1200, 500, 300])
        cut = shape + 2.2 * shape * np.exp(-since / 0.05)
        return lowpass_gain(freqs, cut[:, None], order=2, res=0.8) * \
            highpass_gain(freqs, 200.0)
    wet = stft_filter(dry, gain)
    level = np.interp(np.arange(N) / SR,
                      [0, 1, 5, 19, 67, 83, 85],
                      [0.0, 0.5, 0.8, 0.55, 0.6, 0.6, 0.0])
    wet *= level * (0.5 + 0.5 * kick_env)
    bus.add(0.0, wet, gain=0.33, pan=-0.35)
    bus_delay.add(0.0, wet, gain=0.2)


# lead melodies, per bar: (sixteenth, length in sixteenths, MIDI note)
HOOK = [
    [(0, 3, 76), (3, 3, 81), (6, 2, 79), (8, 3, 76), (11, 3, 74), (14, 2, 72)],
    [(0, 3, 72), (3, 3, 77), (6, 2, 76), (8, 3, 72), (11, 3, 69), (14, 2, 72)],
    [(0, 3, 79), (3, 3, 76), (6, 2, 72), (8, 3, 76), (11, 3, 79), (14, 2, 81)],
    [(0, 3, 83), (3, 3, 79), (6, 2, 74), (8, 6, 74), (14, 2, 76)],
]
BRIDGE_TUNE = [
    [(0, 8, 77), (8, 4, 76), (12, 4, 74)],
    [(0, 8, 72), (8, 4, 69), (12, 4, 72)],
    [(0, 8, 76), (8, 4, 79), (12, 4, 76)],
    [(0, 12, 74), (12, 4, 71)],
    [(0, 4, 77), (4, 4, 81), (8, 4, 79), (12, 4, 77)],
    [(0, 8, 72), (8, 8, 69)],
    [(0, 4, 71), (4, 4, 76), (8, 4, 80), (12, 4, 83)],
    [(0, 12, 80), (12, 4, 76)],
]


def lead_notes():
    """(time, length s, midi, voice) for the whole piece; voice is
    'bell' for the caption phrases, 'saw' for the main part."""
    out = []

    def put(b, bar_notes, voice, shift=0, vel=1.0):
        for s, ln, m in bar_notes:
            out.append((bar_time(b, s), ln * STEP, m + shift, voice, vel))
    for b in list(CAP2) + list(CAP3):
        # the hook bar that belongs to the bar's chord
        put(b, HOOK[(b - CAP1.start) % 4], "bell", -12 if b in CAP2 else 0,
            0.6 if b in CAP2 else 0.62)
    for k, b in enumerate(MAIN_A):
        put(b, HOOK[k % 4], "saw")
    for k, b in enumerate(MAIN_B):
        put(b, BRIDGE_TUNE[k], "saw")
    for k, b in enumerate(MAIN_A2):
        put(b, HOOK[k % 4], "saw")
        put(b, HOOK[k % 4], "bell", 12, 0.3)
    for k, b in enumerate(range(33, 37)):
        put(b, HOOK[k % 4], "bell", 0, 0.6)
    return out


def lead(bus, bus_delay, bus_verb):
    rng = np.random.default_rng(51)
    left = np.zeros(N)
    right = np.zeros(N)
    bell = np.zeros(N)
    detune = (-0.16, -0.07, 0.0, 0.08, 0.17)
    for t, length, m, voice, vel in lead_notes():
        f = mtof(m)
        i = idx(t)
        if voice == "bell":
            n = idx(length + 0.9)
            tt = np.arange(n) / SR
            index = 2.2 * np.exp(-tt / 0.25)
            mod = np.sin(2 * np.pi * 3.5 * f * tt) * index
            x = np.sin(2 * np.pi * f * tt + mod) + 0.3 * np.sin(
                2 * np.pi * 2 * f * tt)
            env = np.exp(-tt / 0.45) * np.clip(tt / 0.002, 0, 1)
            env *= np.clip((n / SR - tt) / 0.05, 0, 1)
            j = min(N, i + n)
            bell[i:j] += (x * env * vel)[:j - i]
        else:
            n = idx(length + 0.12)
            env = adsr(n, 0.006, 0.25, 0.75, 0.1, length * 0.95)
            vib = 1.0 + 0.004 * np.sin(2 * np.pi * 5.5 * np.arange(n) / SR) * \
                np.clip((np.arange(n) / SR - 0.25) / 0.2, 0, 1)
            j = min(N, i + n)
            for k, d in enumerate(detune):
                x = saw(f * 2 ** (d / 12.0) * vib, n, rng.random()) * env * vel
                pan = (k - 2) / 2.0 * 0.7
                left[i:j] += x[:j - i] * np.cos((pan + 1) * np.pi / 4)
                right[i:j] += x[:j - i] * np.sin((pan + 1) * np.pi / 4)

    def gain(times, freqs):
        return lowpass_gain(freqs, 4200.0, order=2, res=0.3) * \
            highpass_gain(freqs, 250.0)
    left = stft_filter(left, gain)
    right = stft_filter(right, gain)
    g = 0.15
    bus.l += left * g
    bus.r += right * g
    bus_delay.l += left * g * 0.6
    bus_delay.r += right * g * 0.6
    bus_verb.l += left * g * 0.5
    bus_verb.r += right * g * 0.5
    bus.add(0.0, bell, gain=0.19, pan=0.2)
    bus_delay.add(0.0, bell, gain=0.22)
    bus_verb.add(0.0, bell, gain=0.2)


# ================================================================ space

def ping_pong(bus_delay, out, delay=0.375, feedback=0.42, taps=7):
    """Dotted-eighth ping-pong echo, darker with every repeat; circular."""
    d = idx(delay)
    src = 0.5 * (bus_delay.l + bus_delay.r)
    src = fft_filter(src, lambda fr: lowpass_gain(fr, 3500.0) *
                     highpass_gain(fr, 300.0))
    for k in range(1, taps + 1):
        g = feedback ** (k - 1)
        tap = np.roll(src, k * d) * g
        if k % 2:
            out.l += tap
            out.r += tap * 0.25
        else:
            out.r += tap
            out.l += tap * 0.25


def reverb(bus_verb, out, seconds=2.6, decay=0.42):
    """Stereo convolution reverb with a synthetic impulse response,
    convolved circularly over the loop."""
    n = idx(seconds)
    t = np.arange(n) / SR
    rng = np.random.default_rng(61)
    irs = []
    for ch in range(2):
        bright = rng.standard_normal(n) * np.exp(-t / (decay * 0.45))
        dark = rng.standard_normal(n) * np.exp(-t / decay)
        dark = fft_filter(dark, lambda fr: lowpass_gain(fr, 2500.0))
        ir = 0.5 * bright + dark
        ir *= np.clip(t / 0.012, 0, 1)          # pre-delay ramp
        # a few early reflections
        for k, (dt, g) in enumerate(((0.013, 0.5), (0.021, 0.35),
                                     (0.034, 0.3), (0.047, 0.2))):
            ir[idx(dt + 0.002 * ch * (k % 2))] += g * (1 if ch else -1)
        irs.append(ir / np.sqrt(np.sum(ir ** 2)))
    for src, ir, dst in ((bus_verb.l, irs[0], out.l), (bus_verb.r, irs[1], out.r)):
        h = np.zeros(N)
        h[:n] = ir
        dst += np.fft.irfft(np.fft.rfft(src) * np.fft.rfft(h), n=N)


def kick_envelope(kick_times):
    """1 between kicks, dipping to 0 on each kick: drives the pumping of
    pads, bass and arpeggio."""
    env = np.ones(N)
    n = idx(0.4)
    t = np.arange(n) / SR
    dip = 1.0 - np.exp(-t / 0.09) * np.clip(t / 0.004, 0, 1)
    dip = np.minimum(dip, 1.0)
    for kt in kick_times:
        i = idx(kt)
        j = min(N, i + n)
        env[i:j] = np.minimum(env[i:j], dip[:j - i])
    return env


def master(mix):
    x = np.stack([mix.l, mix.r])
    x = np.stack([fft_filter(c, lambda fr: highpass_gain(fr, 28.0, 2))
                  for c in x])
    peak = np.max(np.abs(x))
    x = x / peak
    # gentle soft limiting of the loudest peaks, then normalise to -1 dBFS
    thr = 0.6
    over = np.abs(x) > thr
    x[over] = np.sign(x[over]) * (thr + (1 - thr) * np.tanh(
        (np.abs(x[over]) - thr) / (1 - thr)))
    x = x / np.max(np.abs(x)) * 10 ** (-1.0 / 20)
    # make sure the very ends of the loop are silent to the last sample
    ramp = np.clip(np.arange(N) / idx(0.005), 0, 1)
    x *= ramp * ramp[::-1]
    return x


MIX = {            # fader of every part's dry signal
    "drums": 1.0,
    "fx": 1.0,
    "bass": 1.0,
    "pads": 1.0,
    "arp": 1.0,
    "lead": 1.0,
}


def render(stems=None):
    """Render the piece; returns a (2, N) array in -1..1.  When `stems`
    is a dict, the dry signal of every part is left in it by name."""
    verb = Bus()
    delay = Bus()
    parts = {name: Bus() for name in MIX}
    kick_times = []
    drums(parts["drums"], verb, kick_times)
    kick_times.sort()
    kenv = kick_envelope(kick_times)
    effects(parts["fx"], verb)
    bass(parts["bass"], kenv)
    pads(parts["pads"], verb, kenv)
    arpeggio(parts["arp"], delay, kenv)
    lead(parts["lead"], delay, verb)
    out = Bus()
    for name, bus in parts.items():
        bus.mix_into(out, MIX[name])
    ping_pong(delay, out)
    reverb(verb, out)
    if stems is not None:
        stems.update(parts)
        stems["delay"] = delay
        stems["verb"] = verb
    return master(out)


def write_wav(x, path):
    rng = np.random.default_rng(71)
    dither = (rng.random(x.shape) - rng.random(x.shape)) / 32768.0
    pcm = np.clip(np.rint((x + dither) * 32767.0), -32768, 32767)
    inter = pcm.T.astype("<i2").tobytes()
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(SR)
        w.writeframes(inter)


def encode_mp3(wav_path, mp3_path, bitrate=192):
    lame = shutil.which("lame")
    if not lame:
        raise SystemExit("lame not found: install the Debian package lame")
    subprocess.run([lame, "--quiet", "-b", str(bitrate), "--resample", "44.1",
                    "-q", "2", wav_path, mp3_path], check=True)


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("out_dir", nargs="?", default="data")
    ap.add_argument("--wav", help="also keep the rendered WAV here")
    args = ap.parse_args(argv[1:])
    x = render()
    with tempfile.TemporaryDirectory() as tmp:
        wav_path = args.wav or os.path.join(tmp, "qtn.wav")
        write_wav(x, wav_path)
        encode_mp3(wav_path, os.path.join(args.out_dir, "qtn.mp3"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
