"""The simulator's GNSS receiver: NMEA 0183 sentences once an epoch, unasked.

wsim_sim.py drives it with "module": "nmea" (keys in docs/serial.md). A burst of sentences
is queued once per epoch and written as its bytes fall due (at "baud", or at once), without
ever blocking: what the pseudo-terminal cannot take is dropped, as a line whose reader is
away loses it. DIR/nmea_sent.log records every epoch: when its first and last byte went
out, when the last byte of its first fix sentence did, and the bytes themselves.
"""

import datetime
import os
import termios
import time

HERE = os.path.dirname(os.path.abspath(__file__))
LOG_DIR = os.path.join(HERE, "nmea")

DEFAULT_FIX = {"lat": 35.681236, "lon": 139.767125, "hdop": 0.9}
DEFAULT_START = "2024-04-01T03:04:05"


def checksum(body):
    """XOR of the characters between '$' and '*', as two upper-case hex digits."""
    value = 0
    for ch in body.encode("latin-1"):
        value ^= ch
    return "%02X" % value


def sentence(body):
    """'GNGGA,...' -> '$GNGGA,...*hh'."""
    return "$" + body + "*" + checksum(body)


def checksum_holds(text):
    if not text.startswith(("$", "!")) or len(text) < 4 or text[-3] != "*":
        return False
    return checksum(text[1:-3]) == text[-2:].upper()


def is_fix(text):
    """True for a sentence with a good checksum that says it carries a fix."""
    if not checksum_holds(text):
        return False
    fields = text[1:-3].split(",")
    kind = fields[0][2:] if not fields[0].startswith("P") else ""

    def field(i):
        return fields[i] if i < len(fields) else ""

    if kind == "GGA":
        return field(6).isdigit() and int(field(6)) > 0
    if kind == "RMC":
        return field(2) == "A" and field(12) != "N"
    if kind == "GLL":
        return field(6) == "A" and field(7) != "N"
    if kind == "GNS":
        return field(6) != "" and set(field(6)) != {"N"}
    return False


# Where a sentence holds its latitude (then its hemisphere, longitude, hemisphere).
LAT_FIELD = {"GGA": 2, "RMC": 3, "GLL": 1, "GNS": 2}


def coordinate(value, degree_digits, decimals):
    """Degrees as NMEA's d..dmm.mmmm, rounded once in integer minutes so 59.9999.. carries."""
    scale = 10 ** decimals
    total = int(round(abs(value) * 60 * scale))
    degrees, rest = divmod(total, 60 * scale)
    minutes, fraction = divmod(rest, scale)
    text = "%0*d%02d" % (degree_digits, degrees, minutes)
    return text + ("." + "%0*d" % (decimals, fraction) if decimals > 0 else "")


def position_fields(lat, lon, decimals=5):
    return [coordinate(lat, 2, decimals), "N" if lat >= 0 else "S",
            coordinate(lon, 3, decimals), "E" if lon >= 0 else "W"]


def moved(text, lat, lon):
    """The same sentence carrying another position, with a checksum that does not hold."""
    fields = text[1:-3].split(",")
    start = LAT_FIELD.get(fields[0][2:])
    if start is None or len(fields) < start + 4:
        return None
    fields[start:start + 4] = position_fields(lat, lon)
    body = ",".join(fields)
    return "$" + body + "*" + "%02X" % ((int(checksum(body), 16) + 1) & 0xFF)


def read_log(path):
    """A log's epochs: lines in order, an empty line ends an epoch, '#' starts a comment."""
    epochs, epoch = [], []
    with open(path, encoding="latin-1") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if line.startswith("#"):
                continue
            if line.strip() == "":
                if epoch:
                    epochs.append(epoch)
                epoch = []
            else:
                epoch.append(line)
    if epoch:
        epochs.append(epoch)
    return epochs


def generated(config, index):
    """One epoch of a receiver that has no fix for no_fix_epochs epochs, then the fix."""
    fix = dict(DEFAULT_FIX)
    fix.update(config.get("fix") or {})
    talker = str(config.get("talker", "GN"))
    interval = max(1, int(config.get("interval_ms", 1000)))
    start = datetime.datetime.fromisoformat(str(config.get("start_time", DEFAULT_START)))
    when = start + datetime.timedelta(milliseconds=interval * index)
    hms = when.strftime("%H%M%S") + ".%02d" % (when.microsecond // 10000)
    dmy = when.strftime("%d%m%y")
    has_fix = not config.get("only_no_fix") and index >= int(config.get("no_fix_epochs", 0))
    if not has_fix:
        return [
            sentence(f"{talker}RMC,{hms},V,,,,,,,{dmy},,,N"),
            sentence(f"{talker}VTG,,,,,,,,,N"),
            sentence(f"{talker}GGA,{hms},,,,,0,00,99.99,,,,,,"),
            sentence(f"{talker}GSA,A,1,,,,,,,,,,,,,99.99,99.99,99.99"),
            sentence("GPGSV,1,1,01,07,,,22"),
            sentence(f"{talker}GLL,,,,,{hms},V,N"),
        ]
    pos = ",".join(position_fields(float(fix["lat"]), float(fix["lon"]), int(fix.get("decimals", 5))))
    hdop = float(fix.get("hdop", 0.9))
    alt = float(fix.get("alt", 40.0))
    # A receiver left in its simulator mode ("S") or given its position by hand ("M") says so
    # in every mode field, and GGA's quality is 8 or 7.
    mode = str(fix.get("mode", "A"))
    quality = {"S": 8, "M": 7}.get(mode, 1)
    out = [
        sentence(f"{talker}RMC,{hms},A,{pos},0.012,,{dmy},,,{mode}"),
        sentence(f"{talker}VTG,,T,,M,0.012,N,0.022,K,{mode}"),
        sentence(f"{talker}GGA,{hms},{pos},{quality},08,{hdop:.2f},{alt:.1f},M,39.4,M,,"),
        sentence(f"{talker}GSA,A,3,05,13,15,18,20,24,29,30,,,,,{hdop * 1.6:.2f},{hdop:.2f},{hdop * 1.4:.2f}"),
        sentence("GPGSV,2,1,08,05,45,120,38,13,60,045,41,15,30,300,35,18,20,200,30"),
        sentence("GPGSV,2,2,08,20,15,080,28,24,70,330,44,29,10,160,25,30,35,250,33"),
        sentence(f"{talker}GLL,{pos},{hms},A,{mode}"),
    ]
    gst = fix.get("gst")
    if gst:
        lat_err, lon_err, alt_err = (float(v) for v in gst)
        out.append(sentence(f"{talker}GST,{hms},{max(lat_err, lon_err):.1f},,,,{lat_err:.1f},{lon_err:.1f},{alt_err:.1f}"))
    return out


def ubx_frame(index):
    """A u-blox-like binary frame (sync B5 62, class, id, length, Fletcher checksum) whose
    payload holds NULs, '$', a sentence's beginning and CR LF."""
    payload = bytes([index & 0xFF, 0, 0, 0]) + b"$GNGGA,0\r\n\x00$\x00\r\n" + bytes(range(0xF0, 0x100))
    body = bytes([0x01, 0x07]) + len(payload).to_bytes(2, "little") + payload
    ck_a = ck_b = 0
    for byte in body:
        ck_a = (ck_a + byte) & 0xFF
        ck_b = (ck_b + ck_a) & 0xFF
    return b"\xb5\x62" + body + bytes([ck_a, ck_b])


def wrong_speed(data, receiver_speed, line_speed):
    """What a reader set to another speed makes of the bytes: framing garbage, no '$'.

    A faster reader sees more (and mostly 0x00/0xFF-ish) bytes, a slower one fewer."""
    ratio = min(4.0, max(0.25, line_speed / float(receiver_speed)))
    count = max(1, int(len(data) * ratio))
    out = bytearray()
    for i in range(count):
        byte = data[int(i / ratio) % len(data)]
        garbled = ((byte * 37) ^ (0xA5 if i % 3 else 0xF0)) & 0xFF
        out.append(0xFF if garbled in (0x24, 0x21, 0x0A, 0x0D) else garbled)
    return bytes(out)


def line_speed(tty_fd):
    """The speed the program set on the slave side, in bits a second (None: unknown)."""
    try:
        code = termios.tcgetattr(tty_fd)[5]
    except (termios.error, OSError, TypeError):
        return None
    for name in dir(termios):
        if name.startswith("B") and name[1:].isdigit() and getattr(termios, name) == code:
            return int(name[1:])
    return None


def speed_code(speed):
    return getattr(termios, "B%d" % int(speed), None)


def escaped(data):
    """Bytes as log text: CR LF ends a line, other bytes outside printable ASCII (and the
    backslash) as \\xNN."""
    out = []
    for line in data.split(b"\r\n"):
        out.append("".join(chr(b) if 0x20 <= b < 0x7F and b != 0x5C else "\\x%02x" % b for b in line))
    return "\n".join(out)


class Epoch:
    def __init__(self, number, start, end, fix_end, data):
        self.number, self.start, self.end, self.fix_end, self.data = number, start, end, fix_end, data
        self.first_ns = self.last_ns = self.fix_ns = None
        self.written = self.dropped = 0


class Receiver:
    def __init__(self, state_dir, log_name="nmea_sent.log"):
        self.state_dir = state_dir
        self.log_name = log_name
        self.generation = None
        self.tty_fd = None
        self.reset(time.monotonic())

    def reset(self, now):
        self.queue = bytearray()
        self.queued_from = 0  # stream offset of queue[0]
        self.due = now  # when queue[0] is due on the wire
        self.epochs = []
        self.next_epoch = now
        self.index = 0
        self.log_cache = (None, None)

    # --- what one epoch holds --------------------------------------------------------------

    def sentences(self, config):
        """This epoch's sentences, or None once a log that does not loop is over."""
        name = config.get("nmea_log")
        if not name:
            return generated(config, self.index)
        path = name if os.path.isabs(name) else os.path.join(LOG_DIR, name)
        if self.log_cache[0] != path:
            try:
                self.log_cache = (path, read_log(path))
            except OSError as e:
                print(f"wsim: nmea_log {path}: {e}", flush=True)
                self.log_cache = (path, [])
        epochs = self.log_cache[1]
        if not epochs:
            return None
        if config.get("loop"):
            return epochs[self.index % len(epochs)]
        return epochs[self.index] if self.index < len(epochs) else None

    def burst(self, config):
        """(bytes, offset just past the first good fix sentence or None) of this epoch."""
        lines = self.sentences(config)
        if lines is None:
            return b"", None
        lines = list(lines)
        other = config.get("bad_checksum_first")
        if other:
            for i, text in enumerate(lines):
                if is_fix(text):
                    decoy = moved(text, float(other["lat"]), float(other["lon"]))
                    if decoy:
                        lines.insert(i, decoy)
                    break
        data = bytearray()
        fix_end = None
        for i, text in enumerate(lines):
            fix = is_fix(text)
            terminator = "\r\n"
            if config.get("cut_lines") and not fix and i % 2 == 1:
                text, terminator = text[:len(text) // 2], ""
            if config.get("run_together") and i % 2 == 0 and i + 1 < len(lines):
                terminator = ""
            data += (text + terminator).encode("latin-1", "replace")
            if fix and fix_end is None:
                fix_end = len(data)
            if config.get("binary_noise") and i % 2 == 0:
                data += ubx_frame(self.index * 16 + i)
        speed = config.get("speed")
        if speed and data:
            actual = line_speed(self.tty_fd)
            if actual != int(speed):
                return wrong_speed(bytes(data), int(speed), actual or 38400), None
        return bytes(data), fix_end

    # --- the clock ---------------------------------------------------------------------------

    def wait_time(self, now):
        """How long the main loop may sleep before the next byte or epoch falls due."""
        until = self.next_epoch - now
        if self.queue:
            # Paced bytes go out a few at a time: the program's reader polls every 10 ms anyway.
            until = min(until, max(self.due - now, 0.002))
        return max(0.0, until)

    def tick(self, fd, tty_fd, config, generation):
        now = time.monotonic()
        self.tty_fd = tty_fd
        if generation != self.generation:
            self.generation = generation
            self.finish_all()
            self.reset(now)
        interval = max(10, int(config.get("interval_ms", 1000))) / 1000.0
        if now >= self.next_epoch:
            # A late loop skips epochs rather than bunching them up.
            self.next_epoch = max(self.next_epoch + interval, now)
            if not config.get("nmea_silent"):
                data, fix_end = self.burst(config)
                if data:
                    self.enqueue(data, fix_end, now)
            self.index += 1
        self.flush(fd, int(config.get("baud", 0)), now)

    def enqueue(self, data, fix_end, now):
        if not self.queue:
            self.due = max(self.due, now)
        start = self.queued_from + len(self.queue)
        self.epochs.append(Epoch(self.index, start, start + len(data),
                                 None if fix_end is None else start + fix_end, data))
        self.queue += data

    def flush(self, fd, baud, now):
        if not self.queue:
            return
        if baud > 0:
            per_byte = 10.0 / baud  # start bit, 8 data bits, stop bit
            count = min(len(self.queue), int((now - self.due) / per_byte) + 1) if now >= self.due else 0
        else:
            per_byte, count = 0.0, len(self.queue)
        if count <= 0:
            return
        written = 0
        try:
            os.set_blocking(fd, False)
            written = os.write(fd, bytes(self.queue[:count]))
        except (BlockingIOError, OSError):
            written = 0
        finally:
            try:
                os.set_blocking(fd, True)
            except OSError:
                pass
        stamp = time.time_ns()
        self.account(self.queued_from, self.queued_from + written, self.queued_from + count, stamp)
        del self.queue[:count]
        self.queued_from += count
        self.due += count * per_byte

    def account(self, begin, written_end, end, stamp):
        """Bytes [begin, written_end) went out at stamp, [written_end, end) were dropped."""
        while self.epochs:
            epoch = self.epochs[0]
            if epoch.start >= end:
                break
            out = max(0, min(written_end, epoch.end) - max(begin, epoch.start))
            lost = max(0, min(end, epoch.end) - max(written_end, epoch.start))
            # The fix sentence counts only when none of its epoch's bytes before it were lost.
            if (epoch.fix_end is not None and epoch.fix_ns is None and epoch.dropped == 0
                    and begin < epoch.fix_end <= written_end):
                epoch.fix_ns = stamp
            epoch.written += out
            epoch.dropped += lost
            if out:
                epoch.first_ns = epoch.first_ns or stamp
                epoch.last_ns = stamp
            if epoch.end > end:
                break
            self.record(self.epochs.pop(0))

    def finish_all(self):
        """Bytes still queued when the scenario starts again never go out."""
        if self.queue:
            self.account(self.queued_from, self.queued_from, self.queued_from + len(self.queue), 0)

    def record(self, epoch):
        line = "epoch %d %s %s %d %d" % (epoch.number, epoch.first_ns or 0, epoch.last_ns or 0,
                                         epoch.written, epoch.dropped)
        if epoch.fix_ns:
            line += " fix %d" % epoch.fix_ns
        text = escaped(epoch.data).replace("\n", "\n  ")
        with open(os.path.join(self.state_dir, self.log_name), "a", encoding="ascii") as f:
            f.write(line + "\n  " + text.rstrip(" \n") + "\n")
