#!/usr/bin/env python3
"""A stand-in for a POS that drives a customer pole display, for trying the serial amount bridge without one.

It makes a pseudo-terminal pair for the client's software port and writes every amount it is given as the display
command ESC Q A <amount> CR. With --display it also makes a second pair that plays the pole display: whatever the
client writes there (the POS's bytes passed on, or an amount keyed at the till) is printed with what the display makes
of it (the amount shown, the lamp lit, cleared). Amounts come from standard input, one a line, and with --fifo from a named pipe too
(./run.sh starts it that way; `./run.sh pos 25.00` writes to the pipe).

The pseudo-terminals are new on every start, so the data.ini lines that map the port names to them are either
printed (to be added by hand) or, with --ini, written into the client's data.ini and taken out again at the end.

Only the Python standard library is used.
"""

import argparse
import os
import pty
import re
import select
import signal
import stat
import sys
import time
import tty

import clientfiles

GROUP = "serial_devices"
# A line longer than this on the pipe is not an amount; it is dropped rather than held without bound.
MAX_LINE = 256


def open_pair():
    """A pty pair in raw mode: (our end, the device path the client opens, the device's fd we keep open)."""
    ours, theirs = pty.openpty()
    # Raw both ways: no echo, CR stays CR. Keeping the device end open means the line does not hang up when the
    # client closes and re-opens its port (the settings page does that).
    tty.setraw(theirs)
    tty.setraw(ours)
    # Never block: when the client is not reading (not signed in yet), its buffer fills and the amount is refused.
    os.set_blocking(ours, False)
    return ours, os.ttyname(theirs), theirs


def say(text):
    print("%s %s" % (time.strftime("%H:%M:%S"), text), flush=True)


LAMPS = {b"0": "lamps off", b"1": "PRICE lamp", b"2": "TOTAL lamp", b"3": "COLLECT lamp", b"4": "CHANGE lamp"}


def display_meaning(data):
    """What a pole display makes of the bytes: ESC s n (a lamp), ESC Q A amount CR (the amount), FF (clear)."""
    said = []
    for m in re.finditer(rb"\x1bs([0-4])|\x1bQA([0-9.]*)\r?|\x0c", data):
        if m.group(1) is not None:
            said.append(LAMPS[m.group(1)])
        elif m.group(2) is not None:
            said.append("shows %s" % m.group(2).decode("ascii"))
        else:
            said.append("cleared")
    return ", ".join(said)


def show_forwarded(data):
    printable = "".join(chr(b) if 32 <= b < 127 else "." for b in data)
    meaning = display_meaning(data)
    say("display <- %s   (%s)%s" % (data.hex(" "), printable, "   => " + meaning if meaning else ""))


def send_amount(pos, port, amount, end):
    message = b"\x1bQA" + amount.encode("ascii", "replace") + end
    try:
        written = os.write(pos, message)
    except BlockingIOError:
        written = 0
    if written == len(message):
        say("POS -> %s" % message.hex(" "))
    else:
        say("POS -> %s NOT SENT in full (%d of %d bytes): the client is not reading %s"
            % (message.hex(" "), written, len(message), port))


def open_fifo(path):
    """The named pipe, made if missing. Opened for reading and writing, so it never reads as ended when a writer
    closes it."""
    try:
        os.mkfifo(path, 0o600)
    except FileExistsError:
        if not stat.S_ISFIFO(os.stat(path).st_mode):
            raise SystemExit("%s exists and is not a named pipe" % path)
    return os.open(path, os.O_RDWR | os.O_NONBLOCK)


def write_pid_file(path):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % os.getpid())
    os.replace(tmp, path)


def stop(signum, _frame):
    raise SystemExit(128 + signum)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", default="COM9", help="the client's software port name (default COM9)")
    parser.add_argument("--display", metavar="COMn", help="also play the pole display on this port, e.g. COM2")
    parser.add_argument("--no-cr", action="store_true",
                        help="end amounts with nothing, as some POS programs do (the client waits for a quiet gap)")
    parser.add_argument("--ini", metavar="DATA_INI",
                        help="write the port lines into this data.ini (group serial_devices only; the rest of the "
                             "file stays as it is) and take them out again at the end")
    parser.add_argument("--fifo", metavar="PATH", help="also take amounts from this named pipe (made if missing)")
    parser.add_argument("--pid-file", metavar="PATH",
                        help="written once the ports are mapped and the pipe is open; removed at the end")
    parser.add_argument("--exit-with-parent", action="store_true",
                        help="end when the process that started this one ends")
    args = parser.parse_args()
    for name in [args.port] + ([args.display] if args.display else []):
        if not re.fullmatch(r"COM[1-9]", name):
            parser.error("port names are COM1 to COM9: %s" % name)
    if args.display == args.port:
        parser.error("the POS and the display need ports of their own: %s is both" % args.port)

    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, stop)
    parent = os.getppid()
    undo = []
    try:
        return serve(args, parent, undo)
    finally:
        for action in reversed(undo):
            try:
                action()
            except OSError as e:
                print("cleaning up: %s" % e, file=sys.stderr, flush=True)


def serve(args, parent, undo):
    pos, pos_device, _keep_pos = open_pair()
    display = None
    mapping = {args.port: pos_device}
    if args.display:
        display, display_device, _keep_display = open_pair()
        mapping[args.display] = display_device

    if args.ini:
        clientfiles.edit_group(args.ini, GROUP, set_values=mapping)
        undo.append(lambda: clientfiles.edit_group(args.ini, GROUP, remove_if=mapping))
        say("%s: %s" % (args.ini, ", ".join("%s=%s" % kv for kv in mapping.items())))
    else:
        print("Put these lines into data.ini in the client's working directory (or add them to an existing "
              "[serial_devices] group):\n")
        print("\n".join(["[serial_devices]"] + ["%s=%s" % kv for kv in mapping.items()]) + "\n")

    fifo = None
    if args.fifo:
        fifo = open_fifo(args.fifo)
        undo.append(lambda: os.unlink(args.fifo))
    if args.pid_file:
        write_pid_file(args.pid_file)
        undo.append(lambda: os.unlink(args.pid_file))

    print("Software port %s%s. Type an amount and Return (e.g. 25.00)%s.\n"
          % (args.port, ", display %s (有客显 must be ticked on the settings page)" % args.display
             if args.display else "", "; Ctrl+D ends" if fifo is None else "; or from another shell: ./run.sh pos 25.00"),
          flush=True)

    end = b"" if args.no_cr else b"\r"
    watched = [sys.stdin] + [fd for fd in (display, fifo) if fd is not None]
    pending = b""
    while True:
        ready, _, _ = select.select(watched, [], [], 1.0 if args.exit_with_parent else None)
        if args.exit_with_parent and os.getppid() != parent:
            return 0
        if display is not None and display in ready:
            try:
                data = os.read(display, 4096)
            except OSError:
                data = b""
            if data:
                show_forwarded(data)
        if fifo is not None and fifo in ready:
            try:
                pending += os.read(fifo, 4096)
            except BlockingIOError:
                pass
            *lines, pending = pending.split(b"\n")
            if len(pending) > MAX_LINE:
                pending = b""
            for line in lines:
                amount = line.decode("ascii", "replace").strip()
                if amount and len(amount) <= MAX_LINE:
                    send_amount(pos, args.port, amount, end)
        if sys.stdin in ready:
            line = sys.stdin.readline()
            if not line:
                # Without the pipe, the end of input is the end; with it, the pipe goes on.
                if fifo is None:
                    return 0
                watched.remove(sys.stdin)
                continue
            amount = line.strip()
            if amount:
                send_amount(pos, args.port, amount, end)


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit(0)
