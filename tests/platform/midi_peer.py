#!/usr/bin/env python3
"""A MIDI peer on the ALSA sequencer for the MIDI layer's tests: opens a
virtual output port named by the first argument, waits for the file named
by the second to appear, sends control change 20 127 and a note-on at
velocity 0 on channel 2, then waits for the third file before it quits (so
that the port stays listed while the test reads)."""

import os
import sys
import time

import rtmidi


def wait_for(path, seconds):
    end = time.monotonic() + seconds
    while not os.path.exists(path):
        if time.monotonic() > end:
            sys.exit("gave up waiting for " + path)
        time.sleep(0.01)


port_name, go_file, done_file = sys.argv[1:4]
out = rtmidi.MidiOut(rtmidi.API_LINUX_ALSA, name="VelkarnPeer")
out.open_virtual_port(port_name)
wait_for(go_file, 30)
out.send_message([0xB0, 20, 127])
out.send_message([0x91, 60, 0])
wait_for(done_file, 30)
out.close_port()
