# SPDX-License-Identifier: GPL-3.0-or-later
"""The few X protocol requests the end-to-end tests' window-manager stand-ins need, over the
display's local socket: no library between the test and the wire."""
import os
import socket
import struct
import sys


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
    """The atom's number; events that arrive before the reply are passed over."""
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
    """A connection to DISPLAY's server and the root window of its first screen."""
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


def send_protocol_message(sock, window, protocols, *data):
    """A WM_PROTOCOLS client message (format 32, up to five words) sent to `window` itself,
    as a window manager sends it."""
    words = list(data) + [0] * (5 - len(data))
    event = struct.pack("<BBHII5I", 33, 32, 0, window, protocols, *words)
    sock.sendall(struct.pack("<BBHII", 25, 0, 11, window, 0) + event)  # SendEvent
