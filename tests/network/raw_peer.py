#!/usr/bin/env python3
"""A raw peer of the network link, written against the wire format alone:
"QRT", direction ('M' request, 'R' reply), kind ('A' text, 'B' binary),
the text, a zero.

Client scenarios (connect to 127.0.0.1:<port>, act, print every reply as
"reply:<message without its zero>", or "eof" when the other side closed):
  split        three requests in one stream, sent one byte per segment
  merged       three requests in one send
  alien        "QRTM" and its zero, then a request
  nozero       65536 bytes without a zero
  unsolicited  a reply nobody asked for, then a request
  binary       a binary request, then a text request
  otherkind    a request of kind 'C', then a text request

Server scenario: serve <port file>: listen on a free port, write it to the
file, take one connection and answer each text request: "sleep:<ms>:<tag>"
with "re:<tag>" after <ms> ms, "len?..." with "len:<bytes of the whole
message>", anything else with "re:<text>". Prints "requests:<n>" at the end.
"""
import socket
import sys
import time


def message(direction, kind, text):
    return b"QRT" + direction + kind + text + b"\0"


def read_messages(sock, count, deadline_seconds=10.0):
    """Reads up to `count` messages; returns (texts, closed)."""
    sock.settimeout(deadline_seconds)
    data = b""
    texts = []
    closed = False
    try:
        while len(texts) < count:
            chunk = sock.recv(65536)
            if not chunk:
                closed = True
                break
            data += chunk
            while b"\0" in data and len(texts) < count:
                whole, data = data.split(b"\0", 1)
                texts.append(whole)
    except socket.timeout:
        pass
    return texts, closed


def wait_for_close(sock, deadline_seconds=10.0):
    sock.settimeout(deadline_seconds)
    try:
        while True:
            chunk = sock.recv(65536)
            if not chunk:
                return True
    except (socket.timeout, ConnectionResetError):
        return False


def client(scenario, port):
    sock = socket.create_connection(("127.0.0.1", port))
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    requests = [message(b"M", b"A", t) for t in (b"one", b"two", b"three")]
    expected = 1
    if scenario == "split":
        for byte in b"".join(requests):
            sock.sendall(bytes([byte]))
            time.sleep(0.0005)
        expected = 3
    elif scenario == "merged":
        sock.sendall(b"".join(requests))
        expected = 3
    elif scenario == "alien":
        sock.sendall(b"QRTM\0")
        sock.sendall(message(b"M", b"A", b"ping"))
    elif scenario == "nozero":
        sock.sendall(b"x" * 65536)
        print("eof" if wait_for_close(sock) else "open")
        return
    elif scenario == "unsolicited":
        sock.sendall(message(b"R", b"A", b"hello"))
        sock.sendall(message(b"M", b"A", b"ping"))
    elif scenario == "binary":
        sock.sendall(message(b"M", b"B", b"data"))
        sock.sendall(message(b"M", b"A", b"ping"))
        expected = 2
    elif scenario == "otherkind":
        sock.sendall(message(b"M", b"C", b"data"))
        sock.sendall(message(b"M", b"A", b"ping"))
    else:
        raise SystemExit("unknown scenario " + scenario)
    texts, _ = read_messages(sock, expected)
    for text in texts:
        print("reply:" + text.decode("latin-1"))
    sock.close()


def serve(port_file):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    with open(port_file + ".tmp", "w") as f:
        f.write(str(listener.getsockname()[1]))
    import os
    os.rename(port_file + ".tmp", port_file)
    listener.settimeout(20)
    sock, _ = listener.accept()
    sock.settimeout(20)
    data = b""
    handled = 0
    try:
        while True:
            chunk = sock.recv(65536)
            if not chunk:
                break
            data += chunk
            while b"\0" in data:
                whole, data = data.split(b"\0", 1)
                if not whole.startswith(b"QRTMA"):
                    continue
                handled += 1
                text = whole[5:]
                if text.startswith(b"sleep:"):
                    _, ms, tag = text.split(b":", 2)
                    time.sleep(int(ms) / 1000.0)
                    reply = b"re:" + tag
                elif text.startswith(b"len?"):
                    reply = b"len:" + str(len(whole) + 1).encode()
                else:
                    reply = b"re:" + text
                sock.sendall(message(b"R", b"A", reply))
    except (socket.timeout, ConnectionResetError):
        pass
    print("requests:%d" % handled)


if __name__ == "__main__":
    if sys.argv[1] == "serve":
        serve(sys.argv[2])
    else:
        client(sys.argv[1], int(sys.argv[2]))
