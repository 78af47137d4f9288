"""The played-songs list's text line by Python's % formatting.

Reads JSON cases [deck, elapsed samples, title, artist, label] from the
file named first and prints a JSON list of lines. Seconds, hours and
minutes use division truncated toward zero (as C's integer division), not
Python's floor division.
"""
import json
import sys


def truncating_div(a, b):
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b >= 0) else -q


def truncating_mod(a, b):
    return a - b * truncating_div(a, b)


def line(deck, samples, title, artist, label):
    seconds = truncating_div(samples, 44100)
    hours = truncating_div(seconds, 3600)
    minutes = truncating_mod(truncating_div(seconds, 60), 60)
    secs = truncating_mod(seconds, 60)
    return "%d. [%2d:%2d:%2d] %s | %s [ %s ]\r\n" % (deck + 1, hours, minutes, secs, title, artist, label)


def main():
    with open(sys.argv[1], encoding="utf-8") as source:
        cases = json.load(source)
    print(json.dumps([line(*case) for case in cases]))


if __name__ == "__main__":
    main()
