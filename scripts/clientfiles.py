#!/usr/bin/env python3
"""Small, careful edits of the client's two settings files, for ./run.sh and scripts/pos-standin.py.

data.ini is the client's QSettings INI file. Its data_config group holds the account, a password digest and store
and printer names in GB2312, so it is never parsed and written back as a whole: only the lines of the one group
and keys being changed are touched, every other byte stays as it was. The file is replaced atomically.

app.config is the client's 124-byte record. It is only ever created here (for the stand-ins, when the client has
not saved one yet), never rewritten.

  clientfiles.py record APP_CONFIG          print "SOFT SHOW ENABLED CREATED" (creating the stand-in record first
                                            when the file is missing or empty)
  clientfiles.py gateway DATA_INI PORT      point the client at the sandbox gateway on 127.0.0.1:PORT
"""

import os
import re
import struct
import sys
import tempfile

# app.config: baud rate, software port, display port (int32 each), display switch (uint8); the rest is zero.
RECORD_SIZE = 124
RECORD_HEAD = struct.Struct("<iiiB")
DEFAULT_RECORD = (9600, 9, 2, 0)

SANDBOX_URL = re.compile(rb"http://127\.0\.0\.1:\d+/api\.php/Gateway/index")

# Values written here never need QSettings' quoting or escaping.
PLAIN_VALUE = re.compile(r"[A-Za-z0-9_./:+-]+")


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def replace_file(path, data):
    """Writes `data` to a new file beside `path` and renames it over `path`, keeping the old file's mode."""
    directory = os.path.dirname(os.path.abspath(path))
    try:
        mode = os.stat(path).st_mode & 0o7777
    except FileNotFoundError:
        mode = None
    fd, tmp = tempfile.mkstemp(prefix=".%s." % os.path.basename(path), dir=directory)
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
            f.flush()
            os.fsync(f.fileno())
        os.chmod(tmp, mode if mode is not None else 0o666 & ~current_umask())
        os.replace(tmp, path)
    except BaseException:
        try:
            os.unlink(tmp)
        except FileNotFoundError:
            pass
        raise


def current_umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


# ---- data.ini ----

def _header(line):
    """The group name of a "[group]" line, else None."""
    text = line.strip()
    if text.startswith(b"[") and text.endswith(b"]"):
        return text[1:-1]
    return None


def _key_value(line):
    """(key, value) of a "key=value" line, else None."""
    if _header(line) is not None or b"=" not in line:
        return None
    key, value = line.split(b"=", 1)
    value = value.strip()
    if len(value) >= 2 and value.startswith(b'"') and value.endswith(b'"'):
        value = value[1:-1]
    return key.strip(), value


def _groups(lines):
    """For each line, the group it belongs to (None before the first header; a header belongs to its own group)."""
    owner = []
    current = None
    for line in lines:
        name = _header(line)
        if name is not None:
            current = name
        owner.append(current)
    return owner


def _plain(text):
    if not PLAIN_VALUE.fullmatch(text):
        raise ValueError("not a plain INI key or value: %r" % text)
    return text.encode("ascii")


def ini_value(path, group, key):
    """The value of `key` in `group` as the file holds it (bytes), or None."""
    lines = read_bytes(path).splitlines(keepends=True)
    want_group, want_key = _plain(group), _plain(key)
    for line, owner in zip(lines, _groups(lines)):
        kv = _key_value(line)
        if owner == want_group and kv and kv[0] == want_key:
            return kv[1]
    return None


def edit_group(path, group, set_values=None, remove_if=None):
    """Sets the keys of `set_values` in `group` and removes the keys of `remove_if` whose value is the one given.

    Lines of other groups and other keys stay byte for byte. A key set for the first time goes at the end of the
    group's first section (a new section at the end of the file when there is none). A group left without keys loses
    its header too. Returns whether the file changed.
    """
    set_values = {_plain(k): _plain(v) for k, v in (set_values or {}).items()}
    remove_if = {_plain(k): _plain(v) for k, v in (remove_if or {}).items()}
    want_group = _plain(group)
    original = read_bytes(path)
    eol = b"\r\n" if b"\r\n" in original else b"\n"
    lines = original.splitlines(keepends=True)
    owner = _groups(lines)

    out = []
    out_owner = []
    done = set()
    for line, grp in zip(lines, owner):
        kv = _key_value(line) if grp == want_group else None
        if kv and kv[0] in set_values:
            if kv[0] in done:
                continue  # a second copy of the key: QSettings would read only one of them
            done.add(kv[0])
            ending = line[len(line.rstrip(b"\r\n")):] or eol
            line = kv[0] + b"=" + set_values[kv[0]] + ending
        elif kv and kv[0] in remove_if and kv[1] == remove_if[kv[0]]:
            continue
        out.append(line)
        out_owner.append(grp)

    missing = [k for k in set_values if k not in done]
    if missing:
        added = [k + b"=" + set_values[k] + eol for k in missing]
        sections = [i for i, grp in enumerate(out_owner) if grp == want_group and _header(out[i]) is not None]
        if sections:
            # After the last non-blank line of the group's first section.
            at = sections[0] + 1
            for i in range(sections[0] + 1, len(out)):
                if out_owner[i] != want_group or _header(out[i]) is not None:
                    break
                if out[i].strip():
                    at = i + 1
            if not out[at - 1].endswith((b"\n", b"\r")):
                out[at - 1] += eol
            out[at:at] = added
            out_owner[at:at] = [want_group] * len(added)
        else:
            if out and not out[-1].endswith((b"\n", b"\r")):
                out[-1] += eol
            if out and out[-1].strip():
                out.append(eol)
                out_owner.append(out_owner[-1])
            out.append(b"[" + want_group + b"]" + eol)
            out_owner.append(want_group)
            out.extend(added)
            out_owner.extend([want_group] * len(added))

    # A header whose group kept no key goes, with the blank line that set it apart.
    i = len(out)
    while i > 0:
        i -= 1
        if i >= len(out) or out_owner[i] != want_group or _header(out[i]) != want_group:
            continue
        j = i + 1
        while j < len(out) and out_owner[j] == want_group and _header(out[j]) is None and not out[j].strip():
            j += 1
        if j == len(out) or _header(out[j]) is not None:
            del out[i:j]
            del out_owner[i:j]
            if i > 0 and i == len(out) and not out[i - 1].strip():
                del out[i - 1]
                del out_owner[i - 1]

    data = b"".join(out)
    if data == original:
        return False
    replace_file(path, data)
    return True


def point_at_gateway(path, port):
    """Points the client at the sandbox on 127.0.0.1:`port`. A gateway address of the merchant's own is left alone.
    The client has no address of its own (an installed one takes the installer's), so a file without one gets it."""
    wanted = "http://127.0.0.1:%d/api.php/Gateway/index" % port
    current = ini_value(path, "data_config", "gatewayUrl")
    if current is not None and current.strip() and not SANDBOX_URL.fullmatch(current.strip()):
        print("data.ini sends the client to %s, not to the sandbox on port %d; left as it is."
              % (current.decode("latin-1"), port), file=sys.stderr)
        return False
    return edit_group(path, "data_config", set_values={"gatewayUrl": wanted})


# ---- app.config ----

def stand_in_record():
    """The client's default record with 有客显 ticked: the display stand-in then receives what the POS sends."""
    baud, soft, show, _ = DEFAULT_RECORD
    return RECORD_HEAD.pack(baud, soft, show, 1).ljust(RECORD_SIZE, b"\0")


def record_ports(path):
    """(software port, display port, display on, created). A missing or empty file (the client has never saved its
    settings) becomes the stand-in record; a shorter file reads as the client reads it, as the defaults."""
    data = read_bytes(path)
    created = False
    if not data:
        data = stand_in_record()
        replace_file(path, data)
        created = True
    if len(data) < RECORD_SIZE:
        _, soft, show, enabled = DEFAULT_RECORD
    else:
        _, soft, show, enabled = RECORD_HEAD.unpack_from(data)
    return soft, show, 1 if enabled else 0, created


def main(argv):
    if len(argv) == 3 and argv[1] == "record":
        print("%d %d %d %d" % record_ports(argv[2]))
        return 0
    if len(argv) == 4 and argv[1] == "gateway" and argv[3].isdigit():
        point_at_gateway(argv[2], int(argv[3]))
        return 0
    print(__doc__.split("\n\n")[-1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
