#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Pings a window as a desktop does to find out whether its program hangs: a _NET_WM_PING
client message every 50 ms, sent to the window itself. The program answers by sending the
message back to the root window (Qt uses the mask StructureNotify | SubstructureRedirect), so
this client selects StructureNotify on the root. Plain X protocol over the local socket.

    wm_ping.py WINDOW_ID [SECONDS]   (DISPLAY names the server)
    wm_ping.py - [SECONDS]           (the window's id comes on standard input)

With "-" the client starts before the window exists and begins the moment its id comes.
Prints "pinging" once it is connected and ready for SIGTERM, pings for SECONDS or until
SIGTERM, then prints one line of figures. Exits 1 when a reply took more than a second or a
ping was still unanswered after a second, as desktops offer to end a program that has not
answered for a few seconds.
"""
import os
import select
import signal
import socket
import struct
import sys
import time

INTERVAL = 0.05
LIMIT = 1.0


def pad(n):
    return (4 - n % 4) % 4


def receive(sock, size):
    data = b""
    while len(data) < size:
        chunk = sock.recv(size - len(data))
        if not chunk:
            sys.exit("the X server closed the connection")
        data += chunk
    return data


def read_packet(sock):
    packet = receive(sock, 32)
    if packet[0] == 1:  # a reply; longer ones carry more words
        packet += receive(sock, 4 * struct.unpack_from("<I", packet, 4)[0])
    return packet


def intern_atom(sock, name):
    encoded = name.encode()
    sock.sendall(struct.pack("<BBHH2x", 16, 0, (8 + len(encoded) + pad(len(encoded))) // 4,
                             len(encoded)) + encoded + b"\0" * pad(len(encoded)))
    while True:
        packet = read_packet(sock)
        if packet[0] == 1:
            return struct.unpack_from("<I", packet, 8)[0]
        if packet[0] == 0:
            sys.exit(f"InternAtom {name} failed")


def connect():
    display = os.environ["DISPLAY"].split(":")[1].split(".")[0]
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.connect(f"/tmp/.X11-unix/X{display}")
    sock.sendall(struct.pack("<BxHHHH2x", 0x6C, 11, 0, 0, 0))  # little-endian, no auth
    head = receive(sock, 8)
    if head[0] != 1:
        sys.exit("the X server refused the connection")
    setup = receive(sock, 4 * struct.unpack_from("<H", head, 6)[0])
    vendor_length = struct.unpack_from("<H", setup, 16)[0]
    formats = setup[21]
    root = struct.unpack_from("<I", setup, 32 + vendor_length + pad(vendor_length) + 8 * formats)[0]
    return sock, root


def main():
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else float("inf")
    stopping = []
    signal.signal(signal.SIGTERM, lambda *_: stopping.append(True))

    sock, root = connect()
    protocols = intern_atom(sock, "WM_PROTOCOLS")
    ping = intern_atom(sock, "_NET_WM_PING")
    # ChangeWindowAttributes of the root: event mask StructureNotify.
    sock.sendall(struct.pack("<BxHII I", 2, 4, root, 0x800, 0x20000))
    print("pinging", flush=True)
    window = int(sys.stdin.readline() if sys.argv[1] == "-" else sys.argv[1], 0)

    sent = {}
    replies = []
    stamp = 0
    end = time.monotonic() + seconds
    next_ping = time.monotonic()
    while not stopping and time.monotonic() < end:
        now = time.monotonic()
        if now >= next_ping:
            stamp += 1
            event = struct.pack("<BBHII5I", 33, 32, 0, window, protocols, ping, stamp, window,
                                0, 0)
            sock.sendall(struct.pack("<BBHII", 25, 0, 11, window, 0) + event)  # SendEvent
            sent[stamp] = now
            next_ping = now + INTERVAL
        try:
            ready, _, _ = select.select([sock], [], [], max(0.0, next_ping - time.monotonic()))
        except InterruptedError:
            continue
        if ready:
            packet = read_packet(sock)
            if packet[0] & 0x7F == 33:  # ClientMessage
                kind, what, answered = struct.unpack_from("<III", packet, 8)
                if kind == protocols and what == ping and answered in sent:
                    replies.append(time.monotonic() - sent.pop(answered))

    now = time.monotonic()
    waiting = [now - at for at in sent.values()]
    replies.sort()
    median = replies[len(replies) // 2] if replies else float("nan")
    worst = max(replies + waiting, default=0.0)
    slow = sum(1 for r in replies if r > LIMIT) + sum(1 for w in waiting if w > LIMIT)
    print(f"pings {stamp}, answered {len(replies)}, median {median * 1000:.0f} ms, "
          f"worst {worst * 1000:.0f} ms, over {LIMIT:.0f} s: {slow}")
    sys.exit(1 if slow or not replies else 0)


main()
