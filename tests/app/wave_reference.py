"""Writes a 16-bit stereo 44.1 kHz WAV file with the standard library's
wave module from raw interleaved little-endian PCM frames.

    wave_reference.py <frames.raw> <out.wav>
"""
import sys
import wave


def main():
    with open(sys.argv[1], "rb") as source:
        frames = source.read()
    with wave.open(sys.argv[2], "wb") as out:
        out.setnchannels(2)
        out.setsampwidth(2)
        out.setframerate(44100)
        out.writeframes(frames)


if __name__ == "__main__":
    main()
