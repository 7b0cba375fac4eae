#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Closes a window as a window manager's close button does: a WM_DELETE_WINDOW client
message sent to it. The end-to-end tests' X server runs without a window manager, so
wmctrl has nobody to ask. Plain X protocol over the display's local socket.

    wm_close.py WINDOW_ID   (DISPLAY names the server, e.g. ":201")

Prints the moment the close was sent, in milliseconds since the epoch, so that a test can
time the program's end from there rather than from this script's own start.
"""
import os
import socket
import struct
import sys
import time


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


def intern_atom(sock, name):
    encoded = name.encode()
    request = struct.pack("<BBHH2x", 16, 0, (8 + len(encoded) + pad(len(encoded))) // 4,
                          len(encoded)) + encoded + b"\0" * pad(len(encoded))
    sock.sendall(request)
    reply = receive(sock, 32)
    if reply[0] != 1:
        sys.exit(f"InternAtom {name} failed")
    return struct.unpack_from("<I", reply, 8)[0]


def main():
    window = int(sys.argv[1], 0)
    display = os.environ["DISPLAY"].split(":")[1].split(".")[0]
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.connect(f"/tmp/.X11-unix/X{display}")
    sock.sendall(struct.pack("<BxHHHH2x", 0x6C, 11, 0, 0, 0))  # little-endian, no auth
    head = receive(sock, 8)
    if head[0] != 1:
        sys.exit("the X server refused the connection")
    receive(sock, 4 * struct.unpack_from("<H", head, 6)[0])
    protocols = intern_atom(sock, "WM_PROTOCOLS")
    delete = intern_atom(sock, "WM_DELETE_WINDOW")
    event = struct.pack("<BBHII5I", 33, 32, 0, window, protocols, delete, 0, 0, 0, 0)
    sent = time.time_ns() // 1_000_000
    sock.sendall(struct.pack("<BBHII", 25, 0, 11, window, 0) + event)  # SendEvent
    intern_atom(sock, "WM_PROTOCOLS")  # a round trip: the event has been sent
    sock.close()
    print(sent)


main()
