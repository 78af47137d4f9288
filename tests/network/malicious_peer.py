#!/usr/bin/env python3
"""A hostile peer against a serving instance on 127.0.0.1:<port>, standard
library only. Every loop is bounded in count and time.

run(port) returns a list of problems (empty when the server coped: it
closed what it had to close, kept what it had to keep, and still answers).
Standalone: malicious_peer.py <port>; exit status 1 on a problem.
"""
import socket
import struct
import sys
import time

HOST = "127.0.0.1"


def message(text, direction=b"M", kind=b"A"):
    return b"QRT" + direction + kind + text + b"\0"


def connect(port):
    return socket.create_connection((HOST, port), timeout=5)


def read_message(sock, seconds=5.0):
    """One whole message without its zero; None on a time-out or close."""
    sock.settimeout(seconds)
    data = b""
    deadline = time.monotonic() + seconds
    try:
        while b"\0" not in data and time.monotonic() < deadline:
            chunk = sock.recv(65536)
            if not chunk:
                return None
            data += chunk
    except (socket.timeout, OSError):
        return None
    return data.split(b"\0", 1)[0] if b"\0" in data else None


def closed_by_peer(sock, seconds):
    sock.settimeout(seconds)
    deadline = time.monotonic() + seconds
    try:
        while time.monotonic() < deadline:
            if not sock.recv(65536):
                return True
    except ConnectionResetError:
        return True
    except (socket.timeout, OSError):
        return False
    return False


def answers_time(sock):
    sock.sendall(message(b"TIME"))
    reply = read_message(sock)
    return reply is not None and reply.startswith(b"QRTRA") and reply[5:].lstrip(b"-").isdigit()


def fresh_time(port):
    with connect(port) as sock:
        return answers_time(sock)


def run(port):
    problems = []

    def check(condition, what):
        if not condition:
            problems.append(what)

    # Alien bytes: dropped, the connection stays.
    with connect(port) as sock:
        sock.sendall(b"hello\0QRTM\0xyzzy\0")
        check(answers_time(sock), "alien bytes: the connection no longer answers")

    # 64 KiB without a zero: the server closes the connection.
    with connect(port) as sock:
        sock.sendall(b"A" * 65536)
        check(closed_by_peer(sock, 5.0), "64 KiB without a zero: the connection stayed open")

    # 129 connections (one slot is the other instance's): some are closed
    # at once, the others stay.
    sockets = []
    try:
        for _ in range(129):
            sockets.append(connect(port))
        time.sleep(0.5)
        closed = sum(1 for sock in sockets if closed_by_peer(sock, 0.05))
        check(1 <= closed <= 2, "129 connections: %d closed at once, expected 1 or 2" % closed)
    finally:
        for sock in sockets:
            sock.close()

    # Requests flooded and no reply read: the server's sends time out and it
    # closes the connection, at most 4 s of flooding.
    with connect(port) as sock:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        sock.settimeout(0.2)
        burst = message(b"TIME") * 256
        deadline = time.monotonic() + 4.0
        while time.monotonic() < deadline:
            try:
                sock.sendall(burst)
            except socket.timeout:
                continue
            except OSError:
                break
    check(fresh_time(port), "after the flood: no answer to TIME")

    # One byte every 50 ms.
    with connect(port) as sock:
        for byte in message(b"TIME"):
            sock.sendall(bytes([byte]))
            time.sleep(0.05)
        reply = read_message(sock)
        check(reply is not None and reply[5:].isdigit(), "slow bytes: no answer")

    # Huge and malformed numbers: each gets a reply (empty when there is no
    # beat to give) and the connection stays.
    with connect(port) as sock:
        for text in (b"GB99999999", b"PIB9223372036854775807", b"PIB", b"GB-", b"GB12x",
                     b"PIB-99999999999999999999", b"GB2147483648", b"IBEATxyz", b"XYZ"):
            sock.sendall(message(text))
            reply = read_message(sock)
            check(reply is not None and reply.startswith(b"QRTRA"), "%s: no reply" % text.decode())
        check(answers_time(sock), "malformed numbers: the connection no longer answers")

    # A flood of long chat lines, each answered.
    with connect(port) as sock:
        deadline = time.monotonic() + 10.0
        answered = 0
        for _ in range(200):
            if time.monotonic() > deadline:
                break
            sock.sendall(message(b"TALK" + b"x" * 600))
            if read_message(sock) == b"QRTRA":
                answered += 1
        check(answered == 200, "TALK flood: %d of 200 answered" % answered)

    # Unsolicited replies and binary requests: the pairing of requests and
    # replies holds.
    with connect(port) as sock:
        sock.sendall(message(b"nobody asked", direction=b"R"))
        sock.sendall(message(b"\1\2\3", kind=b"B"))
        reply = read_message(sock)
        check(reply is not None and reply.startswith(b"QRTR"), "binary request: no reply")
        check(answers_time(sock), "after unsolicited and binary: no answer to TIME")

    # An abrupt reset in the middle of a message.
    sock = connect(port)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    sock.sendall(b"QRTMATI")
    sock.close()
    time.sleep(0.2)

    check(fresh_time(port), "at the end: no answer to a fresh TIME")
    return problems


if __name__ == "__main__":
    found = run(int(sys.argv[1]))
    for problem in found:
        print("problem:", problem)
    sys.exit(1 if found else 0)
