#!/usr/bin/env python3
"""Self-test of the stand-ins' receiver, modem and geolocation API.

    python3 -m unittest tools/stand_ins_test.py     (or run it directly)

The simulator runs on a real pseudo-terminal, the lookup stand-in on a free port.
"""
import json
import os
import re
import select
import socket
import subprocess
import sys
import tempfile
import termios
import threading
import time
import tty
import unittest
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lookup_stub  # noqa: E402
import modem_at  # noqa: E402
import nmea_receiver as nmea  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SENTENCE = re.compile(rb"\$[A-Z]{5},[^$*\r\n]*\*[0-9A-F]{2}\r\n")


def sentences(data):
    """The whole sentences in data (good and bad checksums alike)."""
    return [m.group().decode().rstrip() for m in SENTENCE.finditer(data)]


def burst(config, index=0):
    receiver = nmea.Receiver(tempfile.mkdtemp())
    receiver.index = index
    return receiver.burst(config)


class ReceiverEpochs(unittest.TestCase):
    def test_generated_fix_after_no_fix_epochs_and_in_each_hemisphere(self):
        cases = [
            ({"no_fix_epochs": 2}, 1, None),
            ({"no_fix_epochs": 2}, 2, "3540.87416,N,13946.02750,E"),
            ({"only_no_fix": True}, 500, None),
            ({"fix": {"lat": -34.6037, "lon": -58.3816}}, 0, "3436.22200,S,05822.89600,W"),
            ({"fix": {"lat": 35.99999999, "lon": 0.0}}, 0, "3600.00000,N,00000.00000,E"),
        ]
        for config, index, position in cases:
            with self.subTest(config=config, index=index):
                data, fix_end = burst(dict(config, module="nmea"), index)
                found = sentences(data)
                self.assertTrue(found and all(nmea.checksum_holds(s) for s in found))
                fixes = [s for s in found if nmea.is_fix(s)]
                if position is None:
                    self.assertEqual((fixes, fix_end), ([], None))
                else:
                    self.assertEqual(len(fixes), 3)  # RMC, GGA, GLL
                    self.assertTrue(all(position in s for s in fixes))
                    self.assertTrue(data[:fix_end].endswith(fixes[0].encode() + b"\r\n"))

    def test_wrong_line_speed_gives_no_sentence(self):
        data, _ = burst({})
        for line in (4800, 38400, 115200):
            garbage = nmea.wrong_speed(data, 9600, line)
            self.assertNotIn(b"$", garbage)
            self.assertFalse(sentences(garbage))

class ModemAnswers(unittest.TestCase):
    def test_answers(self):
        home = '+CEREG: 2,1,"1A2B","01A2B3C4",7'
        cases = [
            ({}, ["AT+CEREG?"], "AT+CEREG?\r\r\n+CEREG: 0,1\r\n\r\nOK\r\n"),
            ({"echo": False}, ["AT+CEREG=2", "AT+CEREG?"], "\r\n%s\r\n\r\nOK\r\n" % home),
            ({"modes": {"CEREG": 2}}, ["ATE0", "AT+CEREG?"], "\r\n%s\r\n\r\nOK\r\n" % home),
            ({"echo": False}, ["AT+COPS?"], '\r\n+COPS: 0,0,"TAVRIN MOBILE",7\r\n\r\nOK\r\n'),
            ({"echo": False}, ["AT+COPS=3,1", "AT+COPS?"], '\r\n+COPS: 0,1,"TAVRIN M",7\r\n\r\nOK\r\n'),
            ({"echo": False, "cops_format": 2}, ["AT+COPS?"], '\r\n+COPS: 0,2,"44010",7\r\n\r\nOK\r\n'),
            ({}, ["AT+C5GREG=2"], "AT+C5GREG=2\r\r\nERROR\r\n"),
            ({"profile": "gsm_only"}, ["AT+CEREG?"], "AT+CEREG?\r\r\nERROR\r\n"),
            ({"profile": "gsm_only", "echo": False}, ["AT+CREG=2"], "\r\nOK\r\n"),
            ({"profile": "denied", "echo": False}, ["AT+CREG=2", "AT+CREG?"], "\r\n+CREG: 2,3\r\n\r\nOK\r\n"),
            ({"profile": "denied", "echo": False}, ["AT+COPS=3,2", "AT+COPS?"], "\r\n+COPS: 0\r\n\r\nOK\r\n"),
            ({"echo": False, "registration": {"CEREG": None}}, ["AT+CEREG?"], "\r\nERROR\r\n"),
            ({"echo": False, "urc": ["+CEREG: 5"], "modes": {"CEREG": 2}}, ["AT+CEREG?"],
             "\r\n+CEREG: 5\r\n\r\n%s\r\n\r\nOK\r\n" % home),
            ({"echo": False, "urc": ["+CEREG: 5"]}, ["AT+CEREG=2"], "\r\nOK\r\n"),
            ({"echo": False, "urc": ["+CREG: 1"], "urc_after": ["AT+COPS=3,2"]}, ["AT+COPS=3,2"],
             "\r\n+CREG: 1\r\n\r\nOK\r\n"),
            ({"echo": False, "cme_error": {"AT+COPS?": 30}}, ["AT+COPS?"], "\r\n+CME ERROR: 30\r\n"),
            ({"echo": False}, ["AT+CSQ"], "\r\nERROR\r\n"),
            # Leading zeros on every number, and the routing area before the cell.
            ({"echo": False, "zeros": True}, ["AT+CEREG=2", "AT+CEREG?"],
             '\r\n+CEREG: 002,001,"1A2B","01A2B3C4",007\r\n\r\nOK\r\n'),
            ({"echo": False, "zeros": True}, ["AT+CREG?"], "\r\n+CREG: 000,001\r\n\r\nOK\r\n"),
            ({"echo": False, "zeros": True, "cops_format": 2}, ["AT+COPS?"],
             '\r\n+COPS: 000,002,"44010",007\r\n\r\nOK\r\n'),
            ({"echo": False, "profile": "lte_routing_area"}, ["AT+CEREG=2", "AT+CEREG?"],
             '\r\n+CEREG: 2,1,"1A2B","1C","01A2B3C4",7\r\n\r\nOK\r\n'),
        ]
        for config, commands, expected in cases:
            with self.subTest(config=config, commands=commands):
                modem = modem_at.Modem()
                for command in commands:
                    answer = modem.answer(command, config, 1)
                self.assertEqual(answer.decode(), expected)

    def test_formats_are_kept_and_written_to_the_state_file(self):
        state = os.path.join(tempfile.mkdtemp(), "modem_state.json")
        modem = modem_at.Modem(state)
        config = {"modes": {"CREG": 1}, "cops_format": 0}
        for command in ["AT+CEREG=2", "AT+COPS=3,2", "AT+CREG=0"]:
            modem.answer(command, config, 1)
        with open(state) as f:
            self.assertEqual({"C5GREG": 0, "CEREG": 2, "CGREG": 0, "CREG": 0, "COPS": 2, "echo": True}, json.load(f))
        # A scenario written anew starts from the config's formats again.
        modem.answer("AT", config, 2)
        with open(state) as f:
            self.assertEqual({"C5GREG": 0, "CEREG": 0, "CGREG": 0, "CREG": 1, "COPS": 0, "echo": True}, json.load(f))

    def test_late_answers_only_the_first_time(self):
        modem = modem_at.Modem()
        config = {"late": ["AT+CEREG?"], "late_ms": 6000}
        modem.answer("AT", config, 1)
        self.assertEqual([6000.0, 0.0, 0.0], [modem.delay_ms(c, config) for c in ["AT+CEREG?", "AT+CEREG?", "AT"]])


class SimulatorOnPty(unittest.TestCase):
    """The simulator as the harness runs it, on a real pseudo-terminal."""

    @classmethod
    def setUpClass(cls):
        cls.state = tempfile.mkdtemp()
        cls.link = os.path.join(cls.state, "com1")
        cls.sim = subprocess.Popen([sys.executable, os.path.join(HERE, "wsim_sim.py"), "--link", cls.link,
                                    "--state-dir", cls.state], stdout=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not os.path.exists(cls.link) and time.monotonic() < deadline:
            time.sleep(0.02)
        cls.fd = os.open(cls.link, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(cls.fd)

    @classmethod
    def tearDownClass(cls):
        os.close(cls.fd)
        cls.sim.terminate()
        cls.sim.wait()

    def configure(self, config):
        path = os.path.join(self.state, "config.json")
        with open(path + ".tmp", "w") as f:
            json.dump(config, f)
        os.replace(path + ".tmp", path)

    def set_speed(self, speed):
        attrs = termios.tcgetattr(self.fd)
        attrs[4] = attrs[5] = getattr(termios, "B%d" % speed)
        termios.tcsetattr(self.fd, termios.TCSANOW, attrs)

    def read_until(self, done, seconds=5):
        """Reads until done(data) holds or the time is over; the bytes read."""
        termios.tcflush(self.fd, termios.TCIFLUSH)
        data = b""
        deadline = time.monotonic() + seconds
        while not done(data) and time.monotonic() < deadline:
            if select.select([self.fd], [], [], 0.05)[0]:
                data += os.read(self.fd, 4096)
        return data

    def test_receiver_speaks_only_at_its_speed(self):
        self.set_speed(4800)
        self.configure({"module": "nmea", "interval_ms": 50, "speed": 9600})
        garbage = self.read_until(lambda d: len(d) > 2000)
        self.assertGreater(len(garbage), 2000)
        self.assertNotIn(b"$", garbage)
        self.set_speed(9600)
        good = self.read_until(lambda d: any(nmea.is_fix(s) for s in sentences(d)))
        self.assertTrue(any(nmea.is_fix(s) for s in sentences(good)))
        # The epoch's record follows its last byte.
        stamped = re.compile(r"epoch \d+ \d+ \d+ \d+ 0 fix \d+\n  \$GNRMC")
        deadline = time.monotonic() + 5
        while True:
            with open(os.path.join(self.state, "nmea_sent.log")) as f:
                log = f.read()
            if stamped.search(log) or time.monotonic() > deadline:
                break
            time.sleep(0.05)
        self.assertRegex(log, stamped)

    def test_modem_hears_only_its_speed_and_nothing_while_cts_is_demanded(self):
        answer = b'+COPS: 0,2,"44010",7\r\n\r\nOK\r\n'
        cases = [
            ({"speed": 115200}, 115200, False, True),
            ({"speed": 115200}, 9600, False, False),
            ({}, 9600, False, True),  # a USB modem's AT port takes any speed
            ({"flow": "none"}, 9600, True, False),  # CTS never asserted: nothing goes out
            ({"flow": "none"}, 9600, False, True),
            ({}, 9600, True, True),  # a modem wired with CTS asserts it
        ]
        for extra, speed, cts, heard in cases:
            with self.subTest(config=extra, speed=speed, cts=cts):
                self.configure(dict({"module": "modem", "echo": False, "cops_format": 2}, **extra))
                attrs = termios.tcgetattr(self.fd)
                attrs[4] = attrs[5] = getattr(termios, "B%d" % speed)
                attrs[2] = (attrs[2] | termios.CRTSCTS) if cts else (attrs[2] & ~termios.CRTSCTS)
                termios.tcsetattr(self.fd, termios.TCSANOW, attrs)
                termios.tcflush(self.fd, termios.TCIFLUSH)
                os.write(self.fd, b"AT+COPS?\r")
                got = self.read_until(lambda d: d.endswith(answer), 1.0 if not heard else 5)
                self.assertEqual(heard, got.endswith(answer), got)
        attrs = termios.tcgetattr(self.fd)
        attrs[2] &= ~termios.CRTSCTS
        termios.tcsetattr(self.fd, termios.TCSANOW, attrs)

    def test_modem_and_wsim_answer_on_the_same_port(self):
        for config, command, answer in [
            ({"module": "modem", "profile": "lte_roaming", "cops_format": 2}, b"AT+COPS?\r", b'+COPS: 0,2,"310260",7\r\n\r\nOK\r\n'),
            ({}, b"AT@LBC?\r", b"N35:41:12\r\nE139:45:00\r\n\r\nOK\r\n"),
        ]:
            with self.subTest(config=config):
                self.configure(config)
                termios.tcflush(self.fd, termios.TCIFLUSH)
                os.write(self.fd, command)
                self.assertTrue(self.read_until(lambda d: d.endswith(answer)).endswith(answer))
        with open(os.path.join(self.state, "commands.log")) as f:
            self.assertIn("AT+COPS?\n", f.read())


class ReceiverOnTheNetwork(unittest.TestCase):
    """The simulator's receiver over TCP and UDP, as the harness runs it."""

    @classmethod
    def setUpClass(cls):
        cls.state = tempfile.mkdtemp()
        cls.sim = subprocess.Popen([sys.executable, os.path.join(HERE, "wsim_sim.py"), "--link",
                                    os.path.join(cls.state, "com1"), "--state-dir", cls.state, "--tcp-port", "0"],
                                   stdout=subprocess.DEVNULL)
        path = os.path.join(cls.state, "tcp_port")
        deadline = time.monotonic() + 10
        while not os.path.exists(path) and time.monotonic() < deadline:
            time.sleep(0.02)
        with open(path) as f:
            cls.port = int(f.read())

    @classmethod
    def tearDownClass(cls):
        cls.sim.terminate()
        cls.sim.wait()

    def configure(self, config):
        path = os.path.join(self.state, "config.json")
        with open(path + ".tmp", "w") as f:
            json.dump(config, f)
        os.replace(path + ".tmp", path)
        time.sleep(0.3)  # read again within 0.1 s

    def read_tcp(self, seconds=3):
        """What one connection gets within the time, and whether the peer closed it."""
        data, closed = b"", False
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as s:
            deadline = time.monotonic() + seconds
            while time.monotonic() < deadline:
                if select.select([s], [], [], 0.05)[0]:
                    chunk = s.recv(65536)
                    if not chunk:
                        closed = True
                        break
                    data += chunk
        return data, closed

    def test_tcp_faults(self):
        cases = [
            ({"interval_ms": 100}, lambda d: any(nmea.is_fix(s) for s in sentences(d)), False),
            ({"interval_ms": 100, "tcp_silent": True}, lambda d: d == b"", False),
            ({"interval_ms": 100, "tcp_close_after": 0}, lambda d: d == b"", True),
            ({"interval_ms": 100, "tcp_close_after": 300}, lambda d: 300 <= len(d) < 2000, True),
            ({"interval_ms": 100, "speed": 9600}, lambda d: len(d) > 500 and b"$" not in d, False),
            ({"interval_ms": 100, "only_no_fix": True, "binary_noise": True},
             lambda d: b"\xb5\x62" in d and sentences(d) and not any(nmea.is_fix(s) for s in sentences(d)), False),
        ]
        for config, check, closes in cases:
            with self.subTest(config=config):
                self.configure(config)
                data, closed = self.read_tcp(1.5 if not closes else 3)
                self.assertTrue(check(data), data[:200])
                self.assertEqual(closes, closed)

    def test_udp_datagrams(self):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.bind(("127.0.0.1", 0))
            s.settimeout(3)
            self.configure({"interval_ms": 100, "udp_port": s.getsockname()[1], "no_fix_epochs": 1})
            datagrams = [s.recv(65536) for _ in range(3)]
        self.assertTrue(all(d.startswith(b"$") and d.endswith(b"\r\n") for d in datagrams))
        self.assertTrue(any(nmea.is_fix(x) for d in datagrams for x in sentences(d)))


class GeolocationApi(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.state = tempfile.mkdtemp()
        cls.server = lookup_stub.ThreadingHTTPServer(("127.0.0.1", 0), lookup_stub.Handler)
        cls.server.daemon_threads = True
        cls.server.stub = lookup_stub.Stub(cls.state)
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()
        cls.url = "http://127.0.0.1:%d/v1/geolocate?key=k" % cls.server.server_address[1]

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()

    def post(self, config, tower):
        with open(os.path.join(self.state, "config.json"), "w") as f:
            json.dump(config, f)
        body = json.dumps({"considerIp": False, "cellTowers": [tower]}).encode()
        request = urllib.request.Request(self.url, body, {"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=10) as answer:
                return answer.status, answer.read()
        except urllib.error.HTTPError as e:
            return e.code, e.read()

    def test_cells_and_failures(self):
        home = {"radioType": "lte", "mobileCountryCode": 440, "mobileNetworkCode": 10,
                "locationAreaCode": 0x1A2B, "cellId": 0x01A2B3C4}
        roaming = dict(home, mobileCountryCode=310, mobileNetworkCode=260, locationAreaCode=0x2B3C,
                       cellId=0x0A1B2C3D)
        unknown = dict(home, cellId=0x01A2B3C5)
        nr = {"radioType": "nr", "mobileCountryCode": 440, "mobileNetworkCode": 20,
              "locationAreaCode": 0x01A2B3, "newRadioCellId": 0x00B1C2D3E}
        lte_5gc = {"radioType": "lte", "mobileCountryCode": 440, "mobileNetworkCode": 20, "cellId": 0x01A2B3C4}

        def error(reason):
            return lambda body: json.loads(body)["error"]["errors"][0]["reason"] == reason

        def not_json(body):
            try:
                json.loads(body)
                return False
            except (ValueError, RecursionError):
                return True

        cases = [
            ({}, home, 200, lambda b: json.loads(b) == {"location": {"lat": 35.689487, "lng": 139.691706},
                                                       "accuracy": 1200}),
            ({}, roaming, 200, lambda b: json.loads(b)["location"]["lng"] == -122.332071),
            ({}, unknown, 404, error("notFound")),
            ({}, nr, 200, lambda b: json.loads(b)["location"]["lat"] == 34.702485),
            ({}, dict(nr, cellId=0x00B1C2D3E), 400, error("badRequest")),
            ({}, lte_5gc, 200, lambda b: json.loads(b)["location"]["lat"] == 34.693738),
            ({}, dict(lte_5gc, locationAreaCode=0x01A2B3), 400, error("badRequest")),
            ({"geo_fallback": "lacf"}, unknown, 200, lambda b: json.loads(b)["fallback"] == "lacf"),
            ({"geo_fallback": "lacf"}, home, 200, lambda b: "fallback" not in json.loads(b)),
            ({"geo_table": [dict(unknown, lat=1.5, lng=2.5, accuracy=30)]}, unknown, 200,
             lambda b: json.loads(b)["location"] == {"lat": 1.5, "lng": 2.5}),
            ({"geo_mode": "forbidden"}, home, 403, error("keyInvalid")),
            ({"geo_mode": "limit"}, home, 429, error("dailyLimitExceeded")),
            ({"geo_mode": "limit", "geo_reason": "rateLimitExceeded"}, home, 429, error("rateLimitExceeded")),
            ({"geo_mode": "server_error", "geo_status": 503}, home, 503, error("backendError")),
            ({"geo_mode": "garbage"}, home, 200, not_json),
            ({"geo_mode": "huge"}, home, 200, lambda b: len(b) > 64 * 1024),
            ({"geo_mode": "out_of_range"}, home, 200, lambda b: json.loads(b)["location"]["lat"] == 123),
            ({"geo_mode": "deep"}, home, 200, lambda b: b.startswith(b'{"location": ' + b"[" * 10000)),
            ({"geo_mode": "fixed", "geo_body": "{}", "geo_status": 400}, home, 400, lambda b: b == b"{}"),
        ]
        for config, tower, status, check in cases:
            with self.subTest(config=config, tower=tower):
                got, body = self.post(config, tower)
                self.assertEqual(got, status)
                self.assertTrue(check(body))

if __name__ == "__main__":
    unittest.main()
