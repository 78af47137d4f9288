#!/usr/bin/python3
"""Writes the fuzz targets' seed inputs: small valid files, one folder per
target, made here from scratch (zlib, struct, wave) and with lame, ffmpeg
and mutagen for the MP3 and WMA songs. Nothing is downloaded or copied.

    make-seeds.py OUTPUT_DIR
"""
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "audio"))
import qrt_golden  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import zlt_oracle  # noqa: E402


def save(out, target, name, data):
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# ---- PNG -------------------------------------------------------------------

def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(width, height, color_type, filters, idat_parts=1, extra=b""):
    channels = 4 if color_type == 6 else 3
    raw = bytearray()
    for y in range(height):
        raw.append(filters[y % len(filters)])
        raw += bytes((x * 37 + y * 11 + c * 5) & 0xFF for x in range(width) for c in range(channels))
    stream = zlib.compress(bytes(raw))
    step = max(1, len(stream) // idat_parts + 1)
    out = b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 0))
    out += extra
    for at in range(0, len(stream), step):
        out += png_chunk(b"IDAT", stream[at:at + step])
    return out + png_chunk(b"IEND", b"")


def png_seeds():
    text = png_chunk(b"tEXt", b"Comment\0seed")
    return {
        "rgba-1x1.png": png(1, 1, 6, [0]),
        "rgb-3x2-sub-up.png": png(3, 2, 2, [1, 2]),
        "rgba-5x5-all-filters.png": png(5, 5, 6, [0, 1, 2, 3, 4]),
        "rgba-16x8-split-idat.png": png(16, 8, 6, [4, 3], idat_parts=3, extra=text),
    }


# ---- resource archive ------------------------------------------------------

def archive(entries):
    index = bytearray(struct.pack("<I", len(entries)))
    data = bytearray()
    for name, body in sorted(entries):
        index += name.encode() + b"\0" + struct.pack("<II", len(data), len(body))
        data += body
    return bytes(index + data)


def archive_seeds():
    return {
        "empty.bin": archive([]),
        "one.bin": archive([("dialogs/103.dlg", b"DIALOG 103")]),
        "three.bin": archive([("images/a.png", png(1, 1, 6, [0])), ("sounds/click.wav", b"RIFF"), ("z", b"")]),
    }


# ---- settings store --------------------------------------------------------

def registry_seeds():
    head = "VelkarnRegistry 1\n"
    return {
        "empty.txt": head.encode(),
        "values.txt": (head + "[Software\\Velkarn]\n\"Settings\"=3:00ff10\n\"Name\"=1:6100\n"
                       "[Software\\Velkarn\\Fuzz]\n\"Written\"=4:78563412\n").encode(),
        "escaped.txt": (head + "[Software\\Velkarn]\n\"a%22b\"=4:01000000\n").encode(),
    }


# ---- QRT -------------------------------------------------------------------

def qrt(chunks):
    out = bytearray(qrt_golden.SIGNATURE)
    for name, data in chunks:
        field = name.encode("ascii").ljust(32, b"\0")
        out += struct.pack("<i", len(data)) + field + data + struct.pack("<I", zlib.crc32(field + data) & 0xFFFFFFFF)
    return bytes(out)


def qrt_seeds():
    beats = struct.pack("<ii", 44100, 2) + struct.pack("<iiii", 0, 0, 22050, 1)
    return {
        "all-chunks.qrt": qrt(qrt_golden.chunks()),
        "beats-only.qrt": qrt([("Markers Beat", beats), ("End", b"")]),
        "no-beats.qrt": qrt([("Markers Beat", struct.pack("<ii", 44100, 0)), ("End", b"")]),
    }


# ---- ID3v2 -----------------------------------------------------------------

def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def id3_frame(version, frame_id, body):
    size = syncsafe(len(body)) if version == 4 else struct.pack(">I", len(body))
    return frame_id + size + b"\0\0" + body


def id3_tag(version, frames, padding=0, extended=b"", footer=False):
    body = extended + b"".join(id3_frame(version, i, b) for i, b in frames) + b"\0" * padding
    flags = (0x40 if extended else 0) | (0x10 if footer else 0)
    out = b"ID3" + bytes([version, 0, flags]) + syncsafe(len(body)) + body
    if footer:
        out += b"3DI" + bytes([version, 0, flags]) + syncsafe(len(body))
    return out


def id3_seeds():
    texts = [(b"TIT2", b"\0Title"), (b"TPE1", b"\0Artist"), (b"TALB", b"\0Album"), (b"TYER", b"\x002024"),
             (b"COMM", b"\0eng" + b"description\0Comment")]
    return {
        "v3.tag": id3_tag(3, texts, padding=16),
        "v4-footer.tag": id3_tag(4, texts, footer=True),
        "v3-extended.tag": id3_tag(3, texts, extended=struct.pack(">IHI", 6, 0, 0)),
        "v4-extended.tag": id3_tag(4, texts[:2], extended=syncsafe(6) + b"\x01\x00"),
        "v3-utf16.tag": id3_tag(3, [(b"TIT2", b"\x01\xff\xfeT\0i\0")]),
    }


# ---- audio -----------------------------------------------------------------

def pcm_wav(frames=2205, rate=44100, channels=2):
    buffer = io.BytesIO()
    with wave.open(buffer, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<hh", (i * 97) % 20000 - 10000, (i * 31) % 16000 - 8000)
                               for i in range(frames)))
    return buffer.getvalue()


def riff_chunk(kind, data):
    return kind + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")


def with_chunks(wav, chunks):
    body = wav[12:] + b"".join(riff_chunk(k, d) for k, d in chunks)
    return b"RIFF" + struct.pack("<I", 4 + len(body)) + b"WAVE" + body


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def lame_mp3(work, name, seconds, *options):
    wav_path = os.path.join(work, name + ".wav")
    with open(wav_path, "wb") as f:
        f.write(pcm_wav(frames=int(44100 * seconds)))
    mp3_path = os.path.join(work, name + ".mp3")
    run("lame", "--quiet", *options, wav_path, mp3_path)
    with open(mp3_path, "rb") as f:
        return f.read()


def tagged(work, mp3):
    import mutagen.id3
    path = os.path.join(work, "tagged.mp3")
    with open(path, "wb") as f:
        f.write(mp3)
    tags = mutagen.id3.ID3()
    tags.add(mutagen.id3.TIT2(encoding=0, text="Title"))
    tags.add(mutagen.id3.TPE1(encoding=0, text="Artist"))
    tags.add(mutagen.id3.COMM(encoding=0, lang="eng", desc="", text="Comment"))
    tags.save(path, v2_version=3)
    with open(path, "rb") as f:
        return f.read()


def frames_of(mp3):
    """The frames of a stream without tags, by their header's size."""
    rates = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
    rates2 = [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160]
    frequencies = {1: [44100, 48000, 32000], 0: [22050, 24000, 16000]}
    at, out = 0, []
    while at + 4 <= len(mp3):
        if mp3[at] != 0xFF or (mp3[at + 1] & 0xE0) != 0xE0:
            at += 1
            continue
        mpeg1 = (mp3[at + 1] >> 3) & 1
        index = mp3[at + 2] >> 4
        frequency = frequencies[mpeg1][(mp3[at + 2] >> 2) & 3]
        padding = (mp3[at + 2] >> 1) & 1
        size = (144 if mpeg1 else 72) * (rates if mpeg1 else rates2)[index] * 1000 // frequency + padding
        out.append(mp3[at:at + size])
        at += size
    return out


def id3v1(title):
    return b"TAG" + title.encode().ljust(30, b"\0") + b"\0" * 94 + b"\x0c"


def audio_seeds(out, work):
    stereo = lame_mp3(work, "stereo", 0.3, "-b", "128")
    joint = lame_mp3(work, "joint", 0.3, "-b", "96", "-m", "j", "--resample", "44.1")
    mono = lame_mp3(work, "mono", 0.2, "-b", "64", "-m", "m")
    low = lame_mp3(work, "low", 0.3, "-b", "32", "--resample", "22.05")
    with_tag = tagged(work, stereo)

    for name, stream in (("stereo", stereo), ("joint", joint), ("mono", mono), ("mpeg2", low)):
        for i, frame in enumerate(frames_of(stream)[1:4]):
            save(out, "FuzzMp3Frame", "%s-%d.bin" % (name, i), b"\0" + frame)

    prefix = struct.pack("<IHBi", 3000, 2000, 1, 0)
    save(out, "FuzzMp3Reader", "stereo.bin", prefix + stereo)
    save(out, "FuzzMp3Reader", "tagged.bin", struct.pack("<IHBi", 90000, 44100, 2, -5) + with_tag)
    save(out, "FuzzMp3Reader", "joint.bin", prefix + joint)
    save(out, "FuzzId3v2Tag", "mutagen.mp3", with_tag)

    qrt_bytes = qrt_seeds()["beats-only.qrt"]
    png_bytes = png_seeds()["rgba-1x1.png"]

    def tools_case(flags, song, qrt_side=b"", png_side=b""):
        return bytes([flags]) + struct.pack("<II", len(qrt_side), len(png_side)) + qrt_side + png_side + song

    wav = pcm_wav()
    embedded = with_chunks(wav, [(b"LIST", b"INFOISFT\x04\0\0\0seed"), (b"qrt ", qrt_bytes), (b"png ", png_bytes)])
    save(out, "FuzzWavMetaDataTools", "merge-both.bin", tools_case(3, wav, qrt_bytes, png_bytes))
    save(out, "FuzzWavMetaDataTools", "merge-qrt.bin", tools_case(1, wav, qrt_bytes))
    save(out, "FuzzWavMetaDataTools", "split-embedded.bin", tools_case(0, embedded))
    save(out, "FuzzWavMetaDataTools", "replace-embedded.bin", tools_case(2, embedded, png_side=png_bytes))
    save(out, "FuzzWavMetaDataTools", "wrap-mp3.bin", tools_case(5, with_tag, qrt_bytes))

    save(out, "FuzzMp3MetaDataTools", "merge-both.bin", tools_case(3, stereo, qrt_bytes, png_bytes))
    save(out, "FuzzMp3MetaDataTools", "merge-id3v1.bin", tools_case(1, stereo + id3v1("Title"), qrt_bytes))
    save(out, "FuzzMp3MetaDataTools", "split-none.bin", tools_case(0, with_tag))

    def song_case(kind, song):
        return bytes([kind]) + struct.pack("<I", 30000) + song

    fmt85 = struct.pack("<HHIIHHH", 0x55, 2, 44100, 16000, 1, 0, 12) + struct.pack("<HIHHH", 1, 2, 418, 1, 1393)
    mp3_in_wav = b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt85) + 8 + len(stereo)) + b"WAVE"
    mp3_in_wav += riff_chunk(b"fmt ", fmt85) + riff_chunk(b"data", stereo)
    save(out, "FuzzSongFile", "pcm.bin", song_case(0, wav))
    save(out, "FuzzSongFile", "pcm-embedded.bin", song_case(0, embedded))
    save(out, "FuzzSongFile", "mp3-in-wav.bin", song_case(0, mp3_in_wav))
    save(out, "FuzzSongFile", "mp3.bin", song_case(1, stereo))
    save(out, "FuzzSongFile", "mp3-tags.bin", song_case(1, with_tag + id3v1("Title")))

    wav_path = os.path.join(work, "stereo.wav")
    wma_path = os.path.join(work, "song.wma")
    run("ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-bitexact", "-i", wav_path,
        "-c:a", "wmav2", "-b:a", "64k", "-metadata", "title=Title", "-metadata", "artist=Artist", wma_path)
    with open(wma_path, "rb") as f:
        plain_wma = f.read()
    save(out, "FuzzAsfAttributes", "plain.wma", plain_wma)
    save(out, "FuzzSongFile", "wma.bin", song_case(2, plain_wma))
    import mutagen.asf
    song = mutagen.asf.ASF(wma_path)
    song["QRT"] = [mutagen.asf.ASFByteArrayAttribute(qrt_bytes)]
    song["WM/AlbumTitle"] = ["Album"]
    song.save()
    with open(wma_path, "rb") as f:
        with_attributes = f.read()
    save(out, "FuzzAsfAttributes", "attributes.wma", with_attributes)
    save(out, "FuzzSongFile", "wma-attributes.bin", song_case(2, with_attributes))


def network_seeds():
    def stream(pieces, body, repeats=1):
        return bytes(pieces) + bytes([repeats - 1]) + body

    def message(header, text):
        return header + text + b"\0"

    talk = message(b"QRTMA", b"TIME") + message(b"QRTRA", b"TIME 12345") + message(b"QRTMA", b"") + \
        message(b"QRTRB", b"\x01\x02\x03")
    return {
        "byte-by-byte.bin": stream([0] * 8, talk),
        "mixed-pieces.bin": stream([2, 7, 0, 30, 255, 4, 1, 12], talk + b"QRTMA half"),
        "alien.bin": stream([255] * 8, message(b"QRTXA", b"odd") + b"\0" + message(b"QRS", b"")),
        "repeated.bin": stream([63] * 8, message(b"QRTMA", b"BEAT"), repeats=40),
        "largest.bin": stream([255] * 8, message(b"QRTMA", b"x" * 65530)),
    }


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    for target, seeds in (("FuzzPngReader", png_seeds()), ("FuzzResourceArchive", archive_seeds()),
                          ("FuzzRegistryStore", registry_seeds()), ("FuzzQrtReader", qrt_seeds()),
                          ("FuzzId3v2Tag", id3_seeds()),
                          ("FuzzInfoZlt", {name: zlt_oracle.encode(records)
                                           for name, records in zlt_oracle.fixtures().items()}),
                          ("FuzzNetworkFrames", network_seeds())):
        for name, data in seeds.items():
            save(out, target, name, data)
    with tempfile.TemporaryDirectory() as work:
        audio_seeds(out, work)


if __name__ == "__main__":
    main()
