"""The simulator's cellular modem: the AT port's registration and operator commands.

wsim_sim.py answers with it under "module": "modem" (keys in docs/serial.md). Answers are
V1 (verbose) as modems give them: with echo on, the command line and its CR come back
first; information lines and the final result are each framed by CR LF.

As a real modem does, it keeps what it is set to: each registration kind's format <n>
("AT+CREG=2"), which decides whether its read answer shows the location, and the operator's
format ("AT+COPS=3,2"), which decides whether the operator comes as a name or in digits.
A scenario (a config file written anew) starts from the config's formats again, and the
formats in force are written to the state file after every change.
"""

import json
import os
import re
import termios

from nmea_receiver import line_speed

KINDS = ("C5GREG", "CEREG", "CGREG", "CREG")

# Ready-made modems. Their cells are in lookup_stub.py's geolocation table, except
# unknown_cell's, which the table lacks. A registration is given as the read answer a modem
# set to show the location gives; the <n> in front is replaced by the format in force.
PROFILES = {
    # LTE at home on 440-10; no 5G registration command.
    "lte_home": {
        "registration": {
            "CEREG": '+CEREG: 2,1,"1A2B","01A2B3C4",7',
            "CGREG": '+CGREG: 2,1,"1A2B","01A2B3C4",7',
            "CREG": '+CREG: 2,1,"1A2B","01A2B3C4",7',
        },
        "operator": '+COPS: 0,2,"44010",7',
    },
    # A Japanese SIM roaming on 310-260: a three-digit MNC.
    "lte_roaming": {
        "registration": {
            "CEREG": '+CEREG: 2,5,"2B3C","0A1B2C3D",7',
            "CGREG": '+CGREG: 2,5,"2B3C","0A1B2C3D",7',
            "CREG": '+CREG: 2,5,"2B3C","0A1B2C3D",7',
        },
        "operator": '+COPS: 0,2,"310260",7',
    },
    # LTE at home, the routing area between the tracking area and the cell, as some makers
    # write it (Sercomm LC4RT: +CEREG: <n>,<stat>[,<lac>,<rac>,<ci>[,<AcT>]]).
    "lte_routing_area": {
        "registration": {
            "CEREG": '+CEREG: 2,1,"1A2B","1C","01A2B3C4",7',
            "CGREG": '+CGREG: 2,1,"1A2B","1C","01A2B3C4",7',
            "CREG": '+CREG: 2,1,"1A2B","01A2B3C4",7',
        },
        "operator": '+COPS: 0,2,"44010",7',
    },
    # A 2G module: only CGREG and CREG, the cell found through CREG (GSM, act 0).
    "gsm_only": {
        "registration": {
            "CGREG": '+CGREG: 2,1,"00A1","1B2C"',
            "CREG": '+CREG: 2,1,"00A1","1B2C",0',
        },
        "operator": '+COPS: 0,2,"26201",0',
    },
    # UMTS (act 2): no LTE registration.
    "umts": {
        "registration": {
            "CGREG": '+CGREG: 2,1,"1A2B","0123ABCD",2',
            "CREG": '+CREG: 2,1,"1A2B","0123ABCD",2',
        },
        "operator": '+COPS: 0,2,"44010",2',
    },
    # 5G standalone on 440-20: a 24-bit TAC and a 36-bit NR cell identity.
    "nr": {
        "registration": {
            "C5GREG": '+C5GREG: 2,1,"01A2B3","00B1C2D3E",11',
            "CEREG": "+CEREG: 2,0",
            "CGREG": "+CGREG: 2,0",
            "CREG": "+CREG: 2,0",
        },
        "operator": '+COPS: 0,2,"44020",11',
    },
    # Registered at home on a cell no service knows.
    "unknown_cell": {
        "registration": {
            "CEREG": '+CEREG: 2,1,"1A2B","01A2B3C5",7',
            "CGREG": '+CGREG: 2,1,"1A2B","01A2B3C5",7',
            "CREG": '+CREG: 2,1,"1A2B","01A2B3C5",7',
        },
        "operator": '+COPS: 0,2,"44010",7',
    },
    # Searching everywhere.
    "not_registered": {
        "registration": {kind: "+%s: 2,2" % kind for kind in KINDS},
        "operator": "+COPS: 0",
    },
    # Registration denied everywhere.
    "denied": {
        "registration": {kind: "+%s: 2,3" % kind for kind in KINDS},
        "operator": "+COPS: 0",
    },
}

READ = re.compile(r"^AT\+(C5GREG|CEREG|CGREG|CREG)\?$")
SET = re.compile(r"^AT\+(C5GREG|CEREG|CGREG|CREG)=([0-5])$")
OPERATOR_FORMAT = re.compile(r"^AT\+COPS=3,([0-2])$")
COPS = re.compile(r'^\+COPS:\s*(\d+)(?:,(\d+),"([^"]*)"(?:,(\d+))?)?$')


def number(n, zeros):
    """A number as the modem writes it: with zeros in front ("001") when it pads them."""
    return "%03d" % n if zeros else str(n)


def padded(fields, zeros):
    """The fields with every bare number padded; quoted ones stay as they are."""
    if not zeros:
        return fields
    return [number(int(f), True) if f.isdigit() else f for f in fields]


def demands_cts(tty_fd):
    """Whether the program asked for CTS output flow control: Wine sets CRTSCTS on the slave
    for it (a pty has no CTS line; on a real UART wired with three wires, nothing would go out)."""
    try:
        return bool(termios.tcgetattr(tty_fd)[2] & termios.CRTSCTS)
    except (termios.error, OSError, TypeError):
        return False


def takes_input(config, tty_fd):
    """Whether what the program writes reaches the modem as text: not while it demands a CTS
    that a modem wired without flow control never asserts, and not at another line speed."""
    if config.get("module") != "modem":
        return True
    if config.get("flow") == "none" and demands_cts(tty_fd):
        return False
    speed = config.get("speed")
    if speed and tty_fd is not None:
        actual = line_speed(tty_fd)
        if actual is not None and actual != int(speed):
            return False
    return True


class Modem:
    def __init__(self, state_path=None):
        self.generation = None
        self.echo = True
        self.modes = {}
        self.cops_format = 0
        self.late_left = set()
        self.state_path = state_path

    def start(self, config, generation):
        """A new scenario: the echo and the formats the config gives."""
        self.generation = generation
        self.echo = bool(config.get("echo", True))
        modes = config.get("modes") or {}
        self.modes = {kind: int(modes.get(kind, modes.get(kind.lower(), 0))) for kind in KINDS}
        self.cops_format = int(config.get("cops_format", 0))
        self.late_left = set(str(c).upper() for c in (config.get("late") or []))
        self.save_state()

    def save_state(self):
        if not self.state_path:
            return
        state = dict(self.modes, COPS=self.cops_format, echo=self.echo)
        tmp = self.state_path + ".tmp"
        with open(tmp, "w") as f:
            json.dump(state, f)
        os.replace(tmp, self.state_path)

    def registration(self, config):
        profile = PROFILES.get(str(config.get("profile", "lte_home")), PROFILES["lte_home"])
        table = dict(profile["registration"])
        # A key given null removes that kind from the profile.
        for kind, line in (config.get("registration") or {}).items():
            if line is None:
                table.pop(kind.upper(), None)
            else:
                table[kind.upper()] = str(line)
        operator = config.get("operator", profile["operator"])
        return table, operator

    def read_answer(self, kind, line, zeros):
        """The kind's read answer in the format in force: the location only from <n> 2 on."""
        fields = line.split(":", 1)[1].strip().split(",")
        stat, location = fields[1], fields[2:]
        shown = [number(self.modes[kind], zeros)] + padded([stat], zeros)
        if self.modes[kind] >= 2:
            shown += padded(location, zeros)
        return "+%s: %s" % (kind, ",".join(shown))

    def operator_answer(self, operator, config, zeros):
        """The operator in the format in force: a name, or the digits."""
        m = COPS.match(operator or "")
        if not m:
            return operator
        mode, digits, act = m.group(1), m.group(3), m.group(4)
        if digits is None:
            return "+COPS: %s" % number(int(mode), zeros)
        oper = digits if self.cops_format == 2 else str(config.get("operator_name", "TAVRIN MOBILE"))
        if self.cops_format == 1:
            oper = oper[:8]
        text = "+COPS: %s,%s,\"%s\"" % (number(int(mode), zeros), number(self.cops_format, zeros), oper)
        return text + ("," + number(int(act), zeros) if act is not None else "")

    def delay_ms(self, command, config):
        """How long the modem takes before it answers this command: a command named in "late"
        takes "late_ms" the first time in a scenario."""
        key = command.strip().upper().replace(" ", "")
        if key in self.late_left:
            self.late_left.discard(key)
            return float(config.get("late_ms", 5500))
        return 0.0

    def answer(self, command, config, generation):
        """The bytes answering one command line (without its CR), or None for no answer."""
        if generation != self.generation:
            self.start(config, generation)
        echo = command + "\r" if self.echo else ""
        key = command.strip().upper().replace(" ", "")
        if not key.startswith("AT"):
            # Modems wait for "AT"; a stray line gets no result code.
            return echo.encode("latin-1", "replace") if echo else None
        zeros = bool(config.get("zeros"))
        table, operator = self.registration(config)
        lines, ok = [], True
        if key in ("ATE0", "ATE"):
            self.echo = False
        elif key == "ATE1":
            self.echo = True
        elif key == "AT":
            pass
        elif key in ("AT+CGMI", "AT+CGMM"):
            # The maker's and the model's name, as modems give them: the bare text.
            name = config.get("maker" if key == "AT+CGMI" else "model", "Quectel" if key == "AT+CGMI" else "EG25")
            ok = name is not None
            lines = [str(name)] if ok else []
        elif OPERATOR_FORMAT.match(key):
            self.cops_format = int(OPERATOR_FORMAT.match(key).group(1))
        elif key == "AT+COPS?":
            lines = [self.operator_answer(operator, config, zeros)] if operator else []
        elif SET.match(key):
            kind = SET.match(key).group(1)
            ok = kind in table
            if ok:
                self.modes[kind] = int(SET.match(key).group(2))
        elif READ.match(key):
            kind = READ.match(key).group(1)
            ok = kind in table
            lines = [self.read_answer(kind, table[kind], zeros)] if ok else []
        else:
            ok = False
        self.save_state()
        text = echo
        urc = config.get("urc") or []
        urc_after = config.get("urc_after")
        wants_urc = key in [str(c).upper() for c in urc_after] if urc_after is not None else key.endswith("?")
        if wants_urc:
            text += "".join("\r\n%s\r\n" % line for line in urc)
        cme = {str(c).upper(): n for c, n in (config.get("cme_error") or {}).items()}
        if key in cme:
            text += "\r\n+CME ERROR: %s\r\n" % cme[key]
        elif ok:
            text += "".join("\r\n%s\r\n" % line for line in lines) + "\r\nOK\r\n"
        else:
            text += "\r\nERROR\r\n"
        return text.encode("latin-1", "replace")
