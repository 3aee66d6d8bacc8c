"""The simulator's GNSS receiver on the network: the same receiver as on the pseudo-terminal
(nmea_receiver.py, with all its faults), served over TCP and sent as UDP datagrams.

wsim_sim.py runs it with --tcp-port. Every client that connects to 127.0.0.1:PORT gets a
receiver of its own from the moment it connects; what a client sends is appended to
DIR/tcp_received.bin (the program must send nothing). With "udp_port" in config.json each
epoch goes as one datagram to 127.0.0.1:udp_port (paced by "baud", a datagram per write).
Keys of its own (docs/serial.md):
    tcp_close_after   close each connection once this many bytes went (at the end of the write
                      that passed it; -1: never; 0: at once, before anything)
    tcp_silent        accept, then send nothing (the receiver's nmea_silent also holds)
    udp_port          where datagrams go; without it none are sent
"""

import os
import socket

from nmea_receiver import Receiver


class Client:
    def __init__(self, sock, state_dir, number):
        self.sock = sock
        self.receiver = Receiver(state_dir, "tcp_sent.log")
        self.number = number


class NetworkReceivers:
    def __init__(self, state_dir, tcp_port):
        self.state_dir = state_dir
        self.listener = None
        if tcp_port is not None:
            self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            self.listener.bind(("127.0.0.1", tcp_port))
            self.listener.listen(8)
            self.listener.setblocking(False)
        self.clients = []
        self.accepted = 0
        self.udp = None
        self.udp_target = None
        self.udp_receiver = Receiver(state_dir, "udp_sent.log")

    def port(self):
        return self.listener.getsockname()[1] if self.listener else None

    def sockets(self):
        """What the main loop waits on: new connections and what clients send."""
        return ([self.listener] if self.listener else []) + [c.sock for c in self.clients]

    def wait_time(self, now):
        times = [c.receiver.wait_time(now) for c in self.clients]
        if self.udp is not None:
            times.append(self.udp_receiver.wait_time(now))
        return min(times) if times else 0.1

    def readable(self, ready):
        if self.listener is not None and self.listener in ready:
            try:
                sock, _ = self.listener.accept()
                sock.setblocking(False)
                self.accepted += 1
                self.clients.append(Client(sock, self.state_dir, self.accepted))
            except OSError:
                pass
        for client in list(self.clients):
            if client.sock not in ready:
                continue
            try:
                data = client.sock.recv(4096)
            except BlockingIOError:
                continue
            except OSError:
                data = b""
            if not data:
                self.drop(client)
                continue
            with open(os.path.join(self.state_dir, "tcp_received.bin"), "ab") as f:
                f.write(data)

    def drop(self, client):
        self.clients.remove(client)
        try:
            client.sock.close()
        except OSError:
            pass

    def tick(self, config, generation):
        close_after = int(config.get("tcp_close_after", -1))
        talking = dict(config)
        if config.get("tcp_silent"):
            talking["nmea_silent"] = True
        for client in list(self.clients):
            if close_after == 0:
                self.drop(client)
                continue
            client.receiver.tick(client.sock.fileno(), None, talking, generation)
            if close_after > 0 and client.receiver.queued_from >= close_after:
                self.drop(client)
        self.tick_udp(config, generation)

    def tick_udp(self, config, generation):
        port = config.get("udp_port")
        target = ("127.0.0.1", int(port)) if port else None
        if target != self.udp_target:
            if self.udp is not None:
                self.udp.close()
                self.udp = None
            self.udp_target = target
            if target is not None:
                self.udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
                self.udp.connect(target)
        if self.udp is not None:
            self.udp_receiver.tick(self.udp.fileno(), None, config, generation)

    def close(self):
        for client in list(self.clients):
            self.drop(client)
        for sock in (self.listener, self.udp):
            if sock is not None:
                sock.close()
