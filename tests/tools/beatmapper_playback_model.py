"""NumPy model of the beat mapper's playback, block by block.

Usage: beatmapper_playback_model.py <schedule.json> <out.raw>

The schedule names the song and the click (16-bit stereo WAV files), the
block length, the frame playback starts at, the beat positions, the gains
the block before the first ended at, and per block the song and click
volume sliders' values. The model plays the song from the start times a
gain ramped linearly across each block from the last block's value to the
slider's, arms the click once per block at the last beat the block reaches
(a beat exactly at the block's end starts it at the next block's first
frame), mixes the click with its own ramped gain, and writes what a 16-bit
output plays: interleaved little-endian int16, each sample x 32767
truncated toward zero and clamped.

Single precision throughout, in the order the program computes.
"""
import json
import sys
import wave

import numpy as np

f32 = np.float32


def read_wav(path):
    with wave.open(path, "rb") as w:
        channels = w.getnchannels()
        data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").reshape(-1, channels)
    return data.astype(np.float32) / f32(32768.0)


class Click:
    def __init__(self, samples):
        self.samples = samples
        self.playing = False
        self.position = 0
        self.pending = None  # frames until the restart

    def trigger_after(self, frames):
        self.pending = frames

    def play(self, out, start, n, gain_from, gain_to):
        if not self.playing or n <= 0:
            return
        length = len(self.samples)
        for j in range(n):
            if self.position >= length:
                self.playing = False
                return
            a = f32(j) / f32(n)
            gain = gain_from * (f32(1.0) - a) + gain_to * a
            out[start + j] += self.samples[self.position] * gain
            self.position += 1
        if self.position >= length:
            self.playing = False

    def process(self, out, n, gain_from, gain_to):
        if self.pending is not None and n >= self.pending:
            d = self.pending
            a = f32(d) / f32(n) if n > 0 else f32(0.0)
            gain_at = gain_from * (f32(1.0) - a) + gain_to * a
            self.play(out, 0, d, gain_from, gain_at)
            self.position = 0
            self.playing = True
            self.pending = None
            self.play(out, d, n - d, gain_at, gain_to)
            return
        if self.pending is not None:
            self.pending -= n
        self.play(out, 0, n, gain_from, gain_to)


def find_beat(beats, position):
    index = -1
    for i, beat in enumerate(beats):
        if beat <= position:
            index = i
    return index


def main():
    with open(sys.argv[1]) as f:
        spec = json.load(f)
    song = read_wav(spec["song"])
    click = Click(read_wav(spec["click"]))
    frames = int(spec["frames"])
    beats = [int(b) for b in spec["beats"]]
    position = int(spec["start"])
    song_gain = f32(spec["songGain"])
    click_gain = f32(spec["clickGain"])
    blocks = []
    for block in spec["blocks"]:
        g0, g1 = song_gain, f32(block["song"])
        c0, c1 = click_gain, f32(block["click"])
        song_gain, click_gain = g1, c1
        first = find_beat(beats, position)
        last = find_beat(beats, position + frames)
        if first != last:
            click.trigger_after(beats[last] - position)
        segment = np.zeros((frames, 2), dtype=np.float32)
        available = max(0, min(frames, len(song) - position))
        segment[:available] = song[position:position + available]
        slope = (g1 - g0) / f32(frames)
        ramp = np.arange(frames, dtype=np.float32) * slope + g0
        out = segment * ramp[:, None]
        click.process(out, frames, c0, c1)
        position += frames
        blocks.append(out)
    played = np.concatenate(blocks) if blocks else np.zeros((0, 2), dtype=np.float32)
    product = played * f32(32767.0)
    clamped = np.clip(np.trunc(product), -32768, 32767).astype("<i2")
    with open(sys.argv[2], "wb") as f:
        f.write(clamped.tobytes())


if __name__ == "__main__":
    main()
