#!/usr/bin/env python3
"""Stand-in for the W-SIM radio module on a pseudo-terminal (or a GNSS receiver, or a modem).

    wsim_sim.py --link PATH --state-dir DIR

Opens a pseudo-terminal, points the symlink PATH at its slave side (Wine's COM1: is set to
that link) and answers the AT commands the program sends, the way the module does: the
echo of the command line with its extra CR, CR LF-terminated lines, a final "OK\\r\\n".

DIR/config.json is read again for every command (a missing or unreadable file means the
defaults); the keys are described in docs/serial.md and in DEFAULTS below. Every command
received is appended to DIR/commands.log (one line, without CR LF) at once, and every byte
received to DIR/received.bin.

"module": "nmea" makes it a GNSS receiver (nmea_receiver.py), "module": "modem" a cellular
modem's AT port (modem_at.py); without the key it is the W-SIM. With --tcp-port the same
receiver is also served on the network (nmea_network.py): over TCP on 127.0.0.1:PORT to every
client, and as UDP datagrams to the port config.json names.
"""

import argparse
import hashlib
import json
import os
import select
import signal
import sys
import time
import tty

from modem_at import Modem, takes_input
from nmea_network import NetworkReceivers
from nmea_receiver import Receiver

DEFAULTS = {
    # CS-ID lines of "AT@K20", each "number,number".
    "stations": ["1234,5"],
    # Lines of the "AT@LBC?" answer: "N..." latitude, "E..." longitude, any other line.
    "coordinates": ["N35:41:12", "E139:45:00"],
    # The first N "AT@LBC?" queries after the config was written answer only "-" lines.
    "fixes_needed": 0,
    # Sizes of the successive chunks an answer is written in; the rest goes in one chunk.
    "chunks": [],
    # Pause between two chunks, milliseconds.
    "chunk_gap_ms": 20,
    # Pace every byte as a line of this speed would (0: write as fast as possible).
    "baud": 0,
    # Pause before an answer starts, milliseconds.
    "delay_ms": 0,
    # true, or a list of commands ("AT@K20", ...): answer "ERROR" instead of "OK".
    "error": False,
    # true, or a list of commands: log the command, answer nothing.
    "silent": False,
    # {"AT@K20": "text"}: the whole answer to that command, sent as given (latin-1 bytes).
    "raw": {},
    # Extra CS-ID lines appended to the "AT@K20" answer so it gets this many bytes at least.
    "min_answer_bytes": 0,
    # Insert one NUL byte at this offset of every answer (-1: none).
    "nul_at": -1,
    # The module is gone (checked every 0.1 s, until this is false again): true points the
    # link at a folder, so the device cannot be opened at all; "plain-file" points it at an
    # ordinary file, which opens but takes no serial settings. (A missing link would not
    # do: Wine then falls back to /dev/ttyS0.)
    "offline": False,
    # The module vanishes in the middle of its next answer, once per config file written:
    # after this many bytes and a pause of chunk_gap_ms the pseudo-terminal hangs up, and a
    # new one takes the link's place for the next open (-1: never).
    "vanish_at": -1,
    # The module reads nothing (checked every 0.1 s): what the program writes stays queued
    # until the pseudo-terminal's buffer is full, and further writes wait.
    "deaf": False,
    # Append "<command> <first byte ns> <last byte ns> <bytes>" (Unix clock) per answer
    # to DIR/answers.log.
    "stamp": False,
    # "nmea" or "modem" (see docs/serial.md for their keys); anything else is the W-SIM.
    "module": None,
}


class Simulator:
    def __init__(self, state_dir):
        self.state_dir = state_dir
        self.config_key = None
        self.lbcq_count = 0
        self.vanished = False
        # Counts config files written: the receiver's and the modem's scenarios start again.
        self.generation = 0
        self.modem = Modem(self.path("modem_state.json"))
        # The slave side, whose settings (speed, flow control) the program sets.
        self.tty_fd = None

    def path(self, name):
        return os.path.join(self.state_dir, name)

    def load_config(self):
        config = dict(DEFAULTS)
        path = self.path("config.json")
        try:
            st = os.stat(path)
            with open(path, "rb") as f:
                data = f.read()
        except OSError:
            st, data = None, b""
        # The "-" answer counter starts again whenever the config file is written anew:
        # keyed on its inode, mtime and contents.
        key = (st.st_ino, st.st_mtime_ns, hashlib.sha1(data).hexdigest()) if st else None
        if key != self.config_key:
            self.config_key = key
            self.lbcq_count = 0
            self.vanished = False
            self.generation += 1
        if data:
            try:
                loaded = json.loads(data.decode("utf-8"))
                if isinstance(loaded, dict):
                    config.update(loaded)
            except (ValueError, UnicodeDecodeError) as e:
                print(f"wsim: bad config.json: {e}", file=sys.stderr, flush=True)
        return config

    @staticmethod
    def applies(setting, command):
        if isinstance(setting, list):
            return command in setting
        return bool(setting)

    def log_command(self, command):
        with open(self.path("commands.log"), "a", encoding="latin-1") as f:
            f.write(command + "\n")
            f.flush()

    def log_bytes(self, data):
        with open(self.path("received.bin"), "ab") as f:
            f.write(data)
            f.flush()

    def answer(self, command, config):
        """The bytes answering one command line (without its CR), or None for silence."""
        if self.applies(config["silent"], command):
            return None
        raw = config.get("raw") or {}
        if command in raw:
            return raw[command].encode("latin-1", "replace")
        module = config.get("module")
        if module == "nmea":
            return None  # a receiver takes its commands silently
        if module == "modem":
            return self.modem.answer(command, config, self.generation)
        echo = command + "\r\r\n"
        lines = []
        known = True
        if command == "AT@K20":
            lines = [str(s) for s in config["stations"]]
            size = len(echo) + sum(len(s) + 2 for s in lines) + 10
            n = 0
            while size < int(config["min_answer_bytes"]):
                extra = f"{1000 + n},{n % 10}"
                lines.append(extra)
                size += len(extra) + 2
                n += 1
        elif command == "AT@LBC1":
            lines = []
        elif command == "AT@LBC?":
            self.lbcq_count += 1
            if self.lbcq_count <= int(config["fixes_needed"]):
                lines = ["-", "-"]
            else:
                lines = [str(s) for s in config["coordinates"]]
        elif command == "AT" or command == "":
            lines = []
        else:
            known = False
        text = echo + "\r\n"
        for line in lines:
            text += line + "\r\n"
        if lines:
            text += "\r\n"
        if not known or self.applies(config["error"], command):
            text += "ERROR\r\n"
        else:
            text += "OK\r\n"
        data = text.encode("latin-1", "replace")
        nul_at = int(config["nul_at"])
        if 0 <= nul_at <= len(data):
            data = data[:nul_at] + b"\0" + data[nul_at:]
        return data

    def write_paced(self, fd, data, baud):
        """Writes data; with a baud rate, each byte no earlier than its time on the wire."""
        if baud <= 0:
            view = memoryview(data)
            while view:
                n = os.write(fd, view)
                view = view[n:]
            return
        per_byte = 10.0 / baud  # start bit, 8 data bits, stop bit
        start = time.monotonic()
        sent = 0
        while sent < len(data):
            due = int((time.monotonic() - start) / per_byte) + 1
            due = min(due, len(data))
            if due > sent:
                sent += os.write(fd, data[sent:due])
            else:
                time.sleep(max(0.0, start + sent * per_byte - time.monotonic()))

    def send(self, fd, command, data, config, late_ms=0.0, heard_ns=0):
        """Writes the answer; False when the module vanished in the middle of it. `heard_ns`: when
        the command's line ended here (its stamp's last field)."""
        delay = (float(config["delay_ms"]) + late_ms) / 1000.0
        if delay > 0:
            time.sleep(delay)
        gap = float(config["chunk_gap_ms"]) / 1000.0
        vanish_at = int(config["vanish_at"])
        if 0 <= vanish_at < len(data) and not self.vanished:
            self.vanished = True
            self.write_paced(fd, data[:vanish_at], int(config["baud"]))
            time.sleep(gap)
            return False
        sizes = [int(s) for s in config["chunks"] if int(s) > 0]
        pieces = []
        rest = data
        for size in sizes:
            if not rest:
                break
            pieces.append(rest[:size])
            rest = rest[size:]
        if rest:
            pieces.append(rest)
        baud = int(config["baud"])
        first_ns = time.time_ns()
        for i, piece in enumerate(pieces):
            if i > 0 and gap > 0:
                time.sleep(gap)
            self.write_paced(fd, piece, baud)
        last_ns = time.time_ns()
        if config["stamp"]:
            with open(self.path("answers.log"), "a") as f:
                f.write(f"{command} {first_ns} {last_ns} {len(data)} {heard_ns or first_ns}\n")
        return True

    def handle(self, fd, command, heard_ns=0):
        """Answers one command; False when the module vanished."""
        config = self.load_config()
        if not takes_input(config, self.tty_fd):
            # Never reached the modem as text: held back by flow control, or at another speed.
            with open(self.path("unheard.log"), "a", encoding="latin-1") as f:
                f.write(command + "\n")
            return True
        self.log_command(command)
        data = self.answer(command, config)
        late_ms = self.modem.delay_ms(command, config) if config.get("module") == "modem" else 0.0
        return data is None or self.send(fd, command, data, config, late_ms, heard_ns)


def make_link(link, target):
    tmp = link + ".tmp"
    try:
        os.unlink(tmp)
    except FileNotFoundError:
        pass
    os.symlink(target, tmp)
    os.replace(tmp, link)


def open_pty(links):
    master, slave = os.openpty()
    # Raw: no echo, no CR/LF translation on either side.
    tty.setraw(slave)
    for link in links:
        make_link(link, os.ttyname(slave))
    return master, slave


def follow_offline(config, sim, link, tty_name):
    offline = config.get("offline")
    if offline == "plain-file":
        target = sim.path("plain-file")
        if not os.path.isfile(target):
            open(target, "wb").close()
    elif offline:
        target = sim.path("gone")
        os.makedirs(target, exist_ok=True)
    else:
        target = tty_name
    try:
        current = os.readlink(link)
    except OSError:
        current = None
    if current != target:
        make_link(link, target)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--link", required=True, help="symlink to create to the pty slave")
    parser.add_argument("--alias", action="append", default=[],
                        help="another symlink to the pty slave, which never goes offline")
    parser.add_argument("--state-dir", required=True, help="config.json and logs")
    parser.add_argument("--tcp-port", type=int, default=None,
                        help="serve the receiver over TCP on 127.0.0.1:PORT (0: any free port)")
    args = parser.parse_args()
    os.makedirs(args.state_dir, exist_ok=True)

    # The slave stays open here too, so the master never reads EIO when the program
    # closes the port.
    links = [args.link] + args.alias
    master, slave = open_pty(links)
    tty_name = os.ttyname(slave)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(f"wsim: {args.link} -> {tty_name}", flush=True)

    sim = Simulator(args.state_dir)
    sim.tty_fd = slave
    receiver = Receiver(args.state_dir)
    network = NetworkReceivers(args.state_dir, args.tcp_port)
    if network.port() is not None:
        print(f"wsim: receiver on tcp://127.0.0.1:{network.port()}", flush=True)
        # Written whole, then moved into place: a reader never sees it empty.
        path = os.path.join(args.state_dir, "tcp_port")
        with open(path + ".tmp", "w") as f:
            f.write(str(network.port()))
        os.replace(path + ".tmp", path)
    pending = b""
    deaf = False
    talking = False
    try:
        while True:
            now = time.monotonic()
            timeout = min(0.1, receiver.wait_time(now)) if talking else 0.1
            timeout = min(timeout, network.wait_time(now))
            ready, _, _ = select.select(([] if deaf else [master]) + network.sockets(), [], [], timeout)
            config = sim.load_config()
            follow_offline(config, sim, args.link, tty_name)
            deaf = bool(config.get("deaf"))
            talking = config.get("module") == "nmea"
            if talking:
                receiver.tick(master, slave, config, sim.generation)
            network.readable(ready)
            network.tick(config, sim.generation)
            if master not in ready or deaf:
                continue
            try:
                chunk = os.read(master, 4096)
            except OSError:
                time.sleep(0.01)
                continue
            heard_ns = time.time_ns()
            sim.log_bytes(chunk)
            pending += chunk
            # A command line ends at its CR; the LF behind it starts no command.
            while b"\r" in pending:
                line, pending = pending.split(b"\r", 1)
                command = line.lstrip(b"\n").decode("latin-1")
                if not sim.handle(master, command, heard_ns):
                    # Closing the master hangs up the program's handle; the link leads to a new pair.
                    os.close(master)
                    os.close(slave)
                    master, slave = open_pty(links)
                    sim.tty_fd = slave
                    tty_name = os.ttyname(slave)
                    print(f"wsim: vanished; {args.link} -> {tty_name}", flush=True)
                    pending = b""
                    break
            pending = pending.lstrip(b"\n")
    finally:
        network.close()
        for link in links:
            try:
                if os.path.islink(link) and os.readlink(link) == tty_name:
                    os.unlink(link)
            except OSError:
                pass


if __name__ == "__main__":
    main()
