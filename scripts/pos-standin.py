#!/usr/bin/env python3
"""A stand-in for a POS that drives a customer pole display, for trying the serial amount bridge without one.

It makes a pseudo-terminal pair, prints the data.ini line that maps the client's software port to it, and writes
every amount typed on standard input as the display command ESC Q A <amount> CR. With --display it also makes a
second pair that plays the pole display: whatever the client forwards is printed.

Only the Python standard library is used.
"""

import argparse
import os
import pty
import re
import select
import sys
import tty


def open_pair():
    """A pty pair in raw mode: (our end, the device path the client opens, the device's fd we keep open)."""
    ours, theirs = pty.openpty()
    # Raw both ways: no echo, CR stays CR. Keeping the device end open means the line does not hang up when the
    # client closes and re-opens its port (the settings page does that).
    tty.setraw(theirs)
    tty.setraw(ours)
    return ours, os.ttyname(theirs), theirs


def show_forwarded(data):
    printable = "".join(chr(b) if 32 <= b < 127 else "." for b in data)
    print("display <- %s   (%s)" % (data.hex(" "), printable), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", default="COM9", help="the client's software port name (default COM9)")
    parser.add_argument("--display", metavar="COMn", help="also play the pole display on this port, e.g. COM2")
    parser.add_argument("--no-cr", action="store_true",
                        help="end amounts with nothing, as some POS programs do (the client waits for a quiet gap)")
    args = parser.parse_args()
    for name in [args.port] + ([args.display] if args.display else []):
        if not re.fullmatch(r"COM[1-9]", name):
            parser.error("port names are COM1 to COM9: %s" % name)

    pos, pos_device, _keep_pos = open_pair()
    display = None
    lines = ["[serial_devices]", "%s=%s" % (args.port, pos_device)]
    if args.display:
        display, display_device, _keep_display = open_pair()
        lines.append("%s=%s" % (args.display, display_device))
    print("Put these lines into data.ini in the client's working directory (or add them to an existing "
          "[serial_devices] group):\n")
    print("\n".join(lines) + "\n")
    print("Software port %s%s. Type an amount and Return (e.g. 25.00); Ctrl+D ends.\n"
          % (args.port, ", display %s (tick 有客显 on the settings page)" % args.display if args.display else ""),
          flush=True)

    end = b"" if args.no_cr else b"\r"
    watched = [sys.stdin] + ([display] if display is not None else [])
    while True:
        ready, _, _ = select.select(watched, [], [])
        if display is not None and display in ready:
            try:
                data = os.read(display, 4096)
            except OSError:
                data = b""
            if data:
                show_forwarded(data)
        if sys.stdin in ready:
            line = sys.stdin.readline()
            if not line:
                return 0
            amount = line.strip()
            if not amount:
                continue
            message = b"\x1bQA" + amount.encode("ascii", "replace") + end
            os.write(pos, message)
            print("POS -> %s" % message.hex(" "), flush=True)


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit(0)
