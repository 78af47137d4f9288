#!/usr/bin/env python3
"""Checks the seams of the platform layer:
- no file outside platform/ includes a backend's header (Qt, PortAudio,
  RtMidi, hidapi, FFmpeg, TagLib, ALSA, JACK); the layer's own tests in
  tests/platform/ drive the toolkit and may;
- no file in platform/ includes framework/ or any folder above it;
- within platform/, the sound libraries' headers (PortAudio, ALSA, JACK)
  are included by implementation files only, never by a header;
- tools/, network/ and scope/ include nothing of app/ but its
  ApplicationInterface.h, which includes only audio/ and framework/ headers
  of the program's folders.
Prints each offending line and exits with 1."""

import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
include = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')
backend = re.compile(
    r"^(Q[A-Za-z]*|Qt[A-Za-z]*/.*|qt[a-z]*\.h|portaudio\.h|pa_[a-z_]+\.h|RtMidi\.h|rtmidi/.*|hidapi.*|"
    r"libav[a-z]+/.*|libsw[a-z]+/.*|taglib/.*|alsa/.*|jack/.*)$"
)
above = re.compile(r"^(framework|audio|app|tools|network|scope)/")
interface = "app/ApplicationInterface.h"
own = re.compile(r"^(primitives|platform|framework|audio|app|tools|network|scope)/")
sound = re.compile(r"^(portaudio\.h|pa_[a-z_]+\.h|alsa/.*|jack/.*)$")
headers = [".h", ".hpp"]
sources = [".h", ".hpp", ".c", ".cc", ".cpp", ".S", ".s"]
skipped = {".git"}

problems = []
for path in sorted(root.rglob("*")):
    relative = path.relative_to(root)
    parts = relative.parts
    if path.suffix not in sources or not path.is_file():
        continue
    if parts[0] in skipped or parts[0].startswith("build"):
        continue
    in_layer = parts[0] == "platform"
    layer_test = parts[:2] == ("tests", "platform")
    for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
        match = include.match(line)
        if not match:
            continue
        header = match.group(1)
        if not in_layer and not layer_test and backend.match(header):
            problems.append("%s:%d: backend header outside platform/: %s" % (relative, number, header))
        if in_layer and above.match(header):
            problems.append("%s:%d: platform/ includes a layer above it: %s" % (relative, number, header))
        if parts[0] in ("tools", "network", "scope") and header.startswith("app/") and header != interface:
            problems.append("%s:%d: only %s may be included of app/: %s" % (relative, number, interface, header))
        if relative.as_posix() == interface and own.match(header) and not header.startswith(("audio/", "framework/")):
            problems.append("%s:%d: the application interface includes only audio/ and framework/: %s"
                            % (relative, number, header))
        if path.suffix in headers and sound.match(header):
            problems.append("%s:%d: a header includes a sound library's header: %s" % (relative, number, header))

for problem in problems:
    print(problem)
sys.exit(1 if problems else 0)
