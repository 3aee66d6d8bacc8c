"""The simulator's cellular modem: the AT port's registration and operator commands.

wsim_sim.py answers with it under "module": "modem" (keys in docs/serial.md). Answers are
V1 (verbose) as modems give them: with echo on, the command line and its CR come back
first; information lines and the final result are each framed by CR LF.
"""

import re

KINDS = ("C5GREG", "CEREG", "CGREG", "CREG")

# Ready-made modems. Their cells are in lookup_stub.py's geolocation table, except
# unknown_cell's, which the table lacks.
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
SET = re.compile(r"^AT\+(C5GREG|CEREG|CGREG|CREG)=[0-3]$")


class Modem:
    def __init__(self):
        self.generation = None
        self.echo = True

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

    def answer(self, command, config, generation):
        """The bytes answering one command line (without its CR), or None for no answer."""
        if generation != self.generation:
            self.generation = generation
            self.echo = bool(config.get("echo", True))
        echo = command + "\r" if self.echo else ""
        key = command.strip().upper().replace(" ", "")
        if not key.startswith("AT"):
            # Modems wait for "AT"; a stray line gets no result code.
            return echo.encode("latin-1", "replace") if echo else None
        table, operator = self.registration(config)
        lines, ok = [], True
        if key in ("ATE0", "ATE"):
            self.echo = False
        elif key == "ATE1":
            self.echo = True
        elif key == "AT" or key == "AT+COPS=3,2":
            pass
        elif key == "AT+COPS?":
            lines = [operator] if operator else []
        elif SET.match(key):
            ok = SET.match(key).group(1) in table
        elif READ.match(key):
            kind = READ.match(key).group(1)
            ok = kind in table
            lines = [table[kind]] if ok else []
        else:
            ok = False
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
