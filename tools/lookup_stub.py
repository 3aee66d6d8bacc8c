#!/usr/bin/env python3
"""Stand-in for the carrier's CS-ID lookup service.

    python3 tools/lookup_stub.py --port P --state-dir DIR [--https-port Q --cert PEM --key PEM]

Listens on 127.0.0.1:P. GET /loc1/location?my=<destination URL>&pos=$location with the
CS-ID text in the X-CS-INFO header is answered with a 302 whose Location is the
destination URL plus "pos=N<lat>E<lon>" (joined with "&" when the destination already
holds a "?", else with "?"). The destination is everything between "my=" and the
trailing "&pos=$location", taken raw, so it may hold its own "?" and "&".

Every request line and its header lines go to DIR/requests.log (one block per request,
ended by an empty line) before anything is answered. DIR/config.json is read again for
every request; see docs/location.md for its keys.

POST /v1/geolocate (any query) is the geolocation API: the JSON body's first cell tower is
looked up in GEO_CELLS and answered with {"location": {"lat", "lng"}, "accuracy"}, an unknown
cell with 404 and the error body such services give; the body is recorded in requests.log
as one more line after the headers. "geo_mode" in config.json provokes each failure. Like the
services keyed on 16-bit area codes, it refuses a GSM, UMTS or LTE area above 16 bits, and an
NR cell named by "cellId"; a cell sent without its area is found by its other identities. With
"geo_fallback": "lacf" an unknown cell of a known area (GEO_AREAS) gets the area's position,
marked "fallback": "lacf", as the open cell databases answer it.

With --https-port the same service also answers over TLS on 127.0.0.1:Q (0: any free
port), with the certificate and key given; the port in use is written to DIR/https_port.
"""
import argparse
import json
import os
import select
import socket
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SUFFIX = "&pos=$location"
PATH = "/loc1/location"

# CS-ID text (full text, or the first base station before the first ",") -> position.
TABLE = {
    "1234/5": "N35.41.12.000E139.45.00.000",
    "12/3,45/6": "N34.41.10.250E135.30.05.500",
    "1/2,3/4": "N43.03.52.100E141.21.15.800",
    "0012/34": "N26.12.44.000E127.40.52.000",
}


GEO_PATH = "/v1/geolocate"
# A request body above this is refused unread.
MAX_BODY = 1 << 20

# (radioType, MCC, MNC, LAC/TAC, cell id) -> (lat, lng, accuracy in metres). The cells of
# modem_at.py's profiles; "unknown_cell"'s is missing on purpose.
GEO_CELLS = {
    ("lte", 440, 10, 0x1A2B, 0x01A2B3C4): (35.689487, 139.691706, 1200),  # lte_home, Shinjuku
    ("lte", 310, 260, 0x2B3C, 0x0A1B2C3D): (47.606209, -122.332071, 900),  # lte_roaming, Seattle
    ("gsm", 262, 1, 0x00A1, 0x1B2C): (52.520008, 13.404954, 2500),  # gsm_only, Berlin
    ("wcdma", 440, 10, 0x1A2B, 0x0123ABCD): (35.443708, 139.638026, 1800),  # umts, Yokohama
    ("nr", 440, 20, 0x01A2B3, 0x00B1C2D3E): (34.702485, 135.495951, 300),  # nr, Osaka
    # The nr profile's area served by LTE on the 5G core (C5GREG AcT 10): a 24-bit TAC.
    ("lte", 440, 20, 0x01A2B3, 0x01A2B3C4): (34.693738, 135.502165, 700),  # Osaka, Namba
}

# (radioType, MCC, MNC, LAC/TAC) -> (lat, lng, accuracy): the areas of the cells above, for
# "geo_fallback": "lacf".
GEO_AREAS = {
    ("lte", 440, 10, 0x1A2B): (35.6895, 139.6917, 8000),  # lte_home's and unknown_cell's
}

# Radios whose area codes have 16 bits.
SIXTEEN_BIT_AREAS = ("gsm", "wcdma", "lte")

# geo_mode -> (status, domain, reason, message) of the error answers.
GEO_ERRORS = {
    "forbidden": (403, "usageLimits", "keyInvalid", "API key not valid. Please pass a valid API key."),
    "limit": (429, "usageLimits", "dailyLimitExceeded", "Quota exceeded."),
    "server_error": (500, "global", "backendError", "Backend Error"),
}


def geo_error(status, domain, reason, message):
    return {"error": {"errors": [{"domain": domain, "reason": reason, "message": message}],
                      "code": status, "message": message}}


def is_int(value):
    return isinstance(value, int) and not isinstance(value, bool)


def geo_cell_key(request):
    """The table key of the request's first cell tower, its area None when not sent; None when
    it names no cell. An NR cell's identity is its "newRadioCellId", any other's its "cellId"."""
    towers = request.get("cellTowers") if isinstance(request, dict) else None
    if not isinstance(towers, list) or not towers or not isinstance(towers[0], dict):
        return None
    tower = towers[0]
    radio = tower.get("radioType", request.get("radioType", ""))
    if not isinstance(radio, str):
        return None
    radio = radio.lower()
    cell = tower.get("newRadioCellId" if radio == "nr" else "cellId")
    fields = [tower.get("mobileCountryCode"), tower.get("mobileNetworkCode"), cell]
    area = tower.get("locationAreaCode")
    if not all(is_int(v) for v in fields) or not (area is None or is_int(area)):
        return None
    return (radio, fields[0], fields[1], area, cell)


def geo_refusal(request):
    """Why a service keyed as this one refuses the request's first cell, or None."""
    tower = (request.get("cellTowers") or [{}])[0] if isinstance(request, dict) else {}
    if not isinstance(tower, dict):
        return None
    radio = str(tower.get("radioType", request.get("radioType", ""))).lower()
    area = tower.get("locationAreaCode")
    if radio in SIXTEEN_BIT_AREAS and is_int(area) and not 0 <= area <= 0xFFFF:
        return "Invalid value for locationAreaCode"
    if radio == "nr" and "cellId" in tower:
        return "cellId is not accepted for nr"
    return None


def geo_find(table, key):
    """The table's entry for key; a key without its area matches on the other identities."""
    if key is None:
        return None
    if key[3] is not None:
        return table.get(key)
    for (radio, mcc, mnc, _, cell), found in table.items():
        if (radio, mcc, mnc, cell) == (key[0], key[1], key[2], key[4]):
            return found
    return None


def geo_table(cfg):
    table = dict(GEO_CELLS)
    for cell in cfg.get("geo_table") or []:
        try:
            key = geo_cell_key({"cellTowers": [cell]})
            if key:
                table[key] = (float(cell["lat"]), float(cell["lng"]), float(cell.get("accuracy", 1000)))
        except (KeyError, TypeError, ValueError):
            pass
    return table


def body_line(body):
    """The body as one log line: CR and LF written as \\r and \\n, nothing else changed."""
    text = body.decode("utf-8", "backslashreplace")
    return text.replace("\r", "\\r").replace("\n", "\\n")


class Stub:
    def __init__(self, state_dir):
        self.state_dir = state_dir
        self.log_lock = threading.Lock()

    def config(self):
        try:
            with open(os.path.join(self.state_dir, "config.json"), encoding="utf-8") as f:
                value = json.load(f)
            return value if isinstance(value, dict) else {}
        except (OSError, ValueError):
            return {}

    def log(self, lines):
        with self.log_lock:
            with open(os.path.join(self.state_dir, "requests.log"), "a", encoding="utf-8",
                      errors="backslashreplace", newline="\n") as f:
                f.write("\n".join(lines) + "\n\n")


def lookup(csid, table):
    if csid in table:
        return table[csid]
    first = csid.split(",", 1)[0]
    return table.get(first)


def join_position(destination, position):
    return destination + ("&" if "?" in destination else "?") + "pos=" + position


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "lookup-stub/1"

    def log_message(self, fmt, *args):  # requests.log is the record
        pass

    def do_GET(self):
        stub = self.server.stub
        stub.log([self.requestline] + ["%s: %s" % (k, v) for k, v in self.headers.items()])
        cfg = stub.config()
        mode = cfg.get("mode", "normal")
        # A slow service: the answer, whatever it is, comes this much later.
        time.sleep(float(cfg.get("delay_seconds", 0)))

        if mode == "stall":
            self.stall(float(cfg.get("stall_seconds", 30)))
            return
        if mode == "trickle_headers":
            self.trickle_headers(float(cfg.get("trickle_seconds", 600)), float(cfg.get("trickle_interval", 3)))
            return
        if mode == "close":
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            return

        target = self.path
        if target.startswith("http://"):  # asked as a proxy
            target = "/" + target.split("/", 3)[-1] if target.count("/") >= 3 else "/"
        path, _, query = target.partition("?")
        if path != PATH or not query.startswith("my=") or not query.endswith(SUFFIX):
            self.answer(404, None, "no such lookup\n")
            return
        destination = query[len("my="):-len(SUFFIX)]
        csid = self.headers.get("X-CS-INFO")
        if csid is None:
            self.answer(400, None, "X-CS-INFO missing\n")
            return

        table = dict(TABLE)
        table.update(cfg.get("table", {}))
        position = lookup(csid, table)
        if position is None:
            # Unknown base stations: no position, no redirect.
            self.answer(404, None, "unknown CS-ID\n")
            return
        location = join_position(destination, position)
        body = "moved\n"
        if mode == "no_location":
            self.answer(200, None, "no location here\n")
            return
        if mode == "long_location":
            n = int(cfg.get("location_length", 600))
            location = (location + "&pad=" + "x" * n)[:n] if len(location) < n else location[:n]
        elif mode == "fixed_location":
            location = cfg.get("location", "")
        elif mode == "trickle":
            self.trickle(int(cfg.get("status", 302)), location, float(cfg.get("trickle_seconds", 600)),
                         float(cfg.get("trickle_interval", 0.5)))
            return
        elif mode == "large_body":
            n = int(cfg.get("body_bytes", 300000))
            line = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ\n"
            body = (line * (n // len(line) + 1))[:n]
        self.answer(int(cfg.get("status", 302)), location, body)

    def do_POST(self):
        stub = self.server.stub
        body = self.read_body()
        lines = [self.requestline] + ["%s: %s" % (k, v) for k, v in self.headers.items()]
        if body:
            lines.append(body_line(body))
        stub.log(lines)
        if body is None:
            self.answer(413, None, "body too large or unreadable\n")
            return
        target = self.path
        if target.startswith(("http://", "https://")):  # asked as a proxy
            target = "/" + target.split("/", 3)[-1] if target.count("/") >= 3 else "/"
        if target.partition("?")[0] != GEO_PATH:
            self.answer(404, None, "no such service\n")
            return
        self.geolocate(body, stub.config())

    def read_body(self):
        """The request body (b"" when there is none), or None when above MAX_BODY or cut short."""
        try:
            if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
                data = b""
                while True:
                    size = int(self.rfile.readline(64).split(b";")[0].strip() or b"0", 16)
                    if size == 0:
                        self.rfile.readline(64)
                        return data
                    if len(data) + size > MAX_BODY:
                        return None
                    data += self.rfile.read(size)
                    self.rfile.readline(64)
            length = int(self.headers.get("Content-Length") or 0)
        except ValueError:
            return None
        if length < 0 or length > MAX_BODY:
            return None
        data = self.rfile.read(length) if length else b""
        return data if len(data) == length else None

    def geolocate(self, body, cfg):
        mode = cfg.get("geo_mode", "normal")
        status = cfg.get("geo_status")
        if mode == "stall":
            self.stall(float(cfg.get("stall_seconds", 30)))
            return
        if mode in GEO_ERRORS:
            code, domain, reason, message = GEO_ERRORS[mode]
            reason = cfg.get("geo_reason", reason)
            code = int(status or code)
            self.answer(code, None, json.dumps(geo_error(code, domain, reason, message)), "application/json")
            return
        if mode == "garbage":
            self.answer(int(status or 200), None,
                        "<html><body>Service Temporarily Unavailable</body></html>\n", "text/html")
            return
        if mode == "huge":
            n = int(cfg.get("body_bytes", 300000))
            head = '{"location": {"lat": 35.689487, "lng": 139.691706}, "accuracy": 1200, "padding": "'
            self.answer(int(status or 200), None, head + "x" * max(0, n - len(head) - 2) + '"}', "application/json")
            return
        fixed = {
            "out_of_range": '{"location": {"lat": 123.0, "lng": 139.691706}, "accuracy": 50}',
            "not_finite": '{"location": {"lat": 1e400, "lng": 139.691706}, "accuracy": 50}',
            "deep": '{"location": ' + "[" * int(cfg.get("depth", 10000)) + "]" * int(cfg.get("depth", 10000))
                    + ', "accuracy": 50}',
        }
        if mode in fixed:
            self.answer(int(status or 200), None, fixed[mode], "application/json")
            return
        if mode == "fixed":
            answer = cfg.get("geo_body", "")
            text = answer if isinstance(answer, str) else json.dumps(answer)
            self.answer(int(status or 200), None, text, "application/json")
            return
        try:
            request = json.loads(body.decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            self.answer(400, None, json.dumps(geo_error(400, "global", "parseError", "Parse Error")),
                        "application/json")
            return
        refusal = geo_refusal(request)
        if refusal:
            self.answer(400, None, json.dumps(geo_error(400, "global", "badRequest", refusal)), "application/json")
            return
        key = geo_cell_key(request)
        found = geo_find(geo_table(cfg), key)
        answer = {}
        if found is None and key is not None and key[3] is not None and cfg.get("geo_fallback") == "lacf":
            found = GEO_AREAS.get(key[:4])
            answer = {"fallback": "lacf"}
        if found is None:
            self.answer(404, None, json.dumps(geo_error(404, "geolocation", "notFound", "Not Found")),
                        "application/json")
            return
        lat, lng, accuracy = found
        answer = dict({"location": {"lat": lat, "lng": lng}, "accuracy": accuracy}, **answer)
        self.answer(int(status or 200), None, json.dumps(answer), "application/json")

    def answer(self, status, location, body, content_type="text/plain"):
        data = body.encode("utf-8")
        self.head(status, location, len(data), content_type)
        self.wfile.write(data)

    def head(self, status, location, length, content_type="text/plain"):
        self.send_response(status)
        if location is not None:
            self.send_header("Location", location)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(length))
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True

    def trickle(self, status, location, seconds, interval):
        """Sends the headers at once, then one body byte per interval until the client leaves."""
        count = max(1, int(seconds / interval))
        self.head(status, location, count)
        try:
            for _ in range(count):
                self.wfile.write(b".")
                time.sleep(interval)
        except OSError:
            pass

    def trickle_headers(self, seconds, interval):
        """Sends the status line, then one header line per interval: each line restarts a
        client's receive time-out, so only a deadline of its own ends the wait."""
        self.close_connection = True
        deadline = time.monotonic() + seconds
        try:
            self.wfile.write(b"HTTP/1.1 302 Found\r\n")
            self.wfile.flush()
            n = 0
            while time.monotonic() < deadline:
                time.sleep(interval)
                self.wfile.write(b"X-Slow-%d: %d\r\n" % (n, n))
                self.wfile.flush()
                n += 1
        except OSError:
            pass

    def stall(self, seconds):
        """Answers nothing until the client gives up or the time is over."""
        deadline = time.monotonic() + seconds
        self.close_connection = True
        while time.monotonic() < deadline:
            ready, _, _ = select.select([self.connection], [], [], 0.2)
            if ready:
                try:
                    if not self.connection.recv(4096):
                        return
                except OSError:
                    return


def serve_https(args, stub):
    """The same service over TLS, on a thread of its own."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server = ThreadingHTTPServer(("127.0.0.1", args.https_port), Handler)
    server.daemon_threads = True
    server.stub = stub
    # The handshake runs on the request's thread, so a client that never completes one
    # holds up nobody else.
    server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    port = server.server_address[1]
    path = os.path.join(args.state_dir, "https_port")
    with open(path + ".tmp", "w", encoding="ascii") as f:
        f.write("%d\n" % port)
    os.replace(path + ".tmp", path)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("lookup stub on https 127.0.0.1:%d" % port, flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--state-dir", required=True)
    parser.add_argument("--https-port", type=int, help="also serve over TLS here (0: any free port)")
    parser.add_argument("--cert", help="server certificate (PEM) for --https-port")
    parser.add_argument("--key", help="its private key (PEM)")
    args = parser.parse_args()
    os.makedirs(args.state_dir, exist_ok=True)
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.stub = Stub(args.state_dir)
    if args.https_port is not None:
        serve_https(args, server.stub)
    print("lookup stub on 127.0.0.1:%d, state in %s" % (args.port, args.state_dir), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
