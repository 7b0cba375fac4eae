#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Closes a window as a window manager's close button does: a WM_DELETE_WINDOW client
message sent to it. The end-to-end tests' X server runs without a window manager, so
wmctrl has nobody to ask. Plain X protocol over the display's local socket.

    wm_close.py WINDOW_ID   (DISPLAY names the server, e.g. ":201")

Prints the moment the close was sent, in milliseconds since the epoch, so that a test can
time the program's end from there rather than from this script's own start.
"""
import sys
import time

from x11_wire import connect, intern_atom, send_protocol_message


def main():
    window = int(sys.argv[1], 0)
    sock, _ = connect()
    protocols = intern_atom(sock, "WM_PROTOCOLS")
    delete = intern_atom(sock, "WM_DELETE_WINDOW")
    sent = time.time_ns() // 1_000_000
    send_protocol_message(sock, window, protocols, delete)
    intern_atom(sock, "WM_PROTOCOLS")  # a round trip: the event has been sent
    sock.close()
    print(sent)


main()
