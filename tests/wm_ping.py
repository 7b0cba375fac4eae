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
import select
import signal
import struct
import sys
import time

from x11_wire import connect, intern_atom, read_packet, send_protocol_message

INTERVAL = 0.05
LIMIT = 1.0


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
            send_protocol_message(sock, window, protocols, ping, stamp, window)
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
