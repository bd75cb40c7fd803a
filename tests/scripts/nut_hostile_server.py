"""The hostile NUT server of nut_hostile_server.sh, and the probe that times the program's own.

serve PORTFILE CONTROL LOG: listens on 127.0.0.1, a free port written to PORTFILE, and behaves as
CONTROL's one word says, re-read all the time, so that a mode reaches the open connections too:
  honest     OK to the login, a short LIST VAR, GET VAR answered
  longline   1 MB at a time without a line end, for as long as it lasts
  garbage    random bytes, NUL and 0xFF among them
  trickle    one byte every two seconds, never a whole line
  listflood  connections open now are closed; LIST VAR is answered with lines for ever
Leaving longline, garbage or trickle ends the broken line and answers the requests that waited.
LOG gets one line an event: "<epoch ms> <connection> open|close|GET <variable>|mode <word>|sent
<bytes>", the close as soon as the program's end of the connection is seen.

probe PORT PID LOG: every 100 ms a GET VAR over one kept connection to the program's own server,
timed; with it the program's resident memory. LOG gets "<epoch ms> <answer ms> <VmRSS kB>".
"""

import collections
import os
import socket
import sys
import threading
import time

VALUES = {
    "ups.status": "OL",
    "battery.charge": "100",
    "input.voltage": "230.0",
    "output.voltage": "230.0",
    "ups.load": "20",
}
MEGABYTE = b"X" * (1 << 20)


def now_ms():
    return int(time.time() * 1000)


class Server:
    def __init__(self, control, log):
        self.control = control
        self.log_file = open(log, "a", buffering=1)
        self.lock = threading.Lock()
        self.mode = "honest"
        self.connections = {}
        self.count = 0

    def log(self, connection, event):
        with self.lock:
            self.log_file.write(f"{now_ms()} {connection} {event}\n")

    def watch_control(self):
        while True:
            try:
                with open(self.control) as f:
                    mode = f.read().strip() or self.mode
            except OSError:
                mode = self.mode
            if mode != self.mode:
                self.mode = mode
                self.log(0, f"mode {mode}")
                if mode == "listflood":
                    # Only a new connection asks LIST VAR again.
                    for sock in list(self.connections.values()):
                        try:
                            sock.shutdown(socket.SHUT_RDWR)
                        except OSError:
                            pass
            time.sleep(0.05)

    def serve(self, listener):
        threading.Thread(target=self.watch_control, daemon=True).start()
        while True:
            sock, _ = listener.accept()
            self.count += 1
            threading.Thread(target=Connection(self, sock, self.count).run, daemon=True).start()


class Connection:
    def __init__(self, server, sock, number):
        self.server = server
        self.sock = sock
        self.number = number
        self.requests = collections.deque()
        self.wake = threading.Condition()
        self.closed = False
        self.sent = 0

    def read(self):
        pending = b""
        try:
            while True:
                data = self.sock.recv(4096)
                if not data:
                    break
                pending += data
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    words = line.decode("ascii", "replace").split()
                    if words[:3] == ["GET", "VAR", "ups"] and len(words) == 4:
                        self.server.log(self.number, f"GET {words[3]}")
                    with self.wake:
                        self.requests.append(words)
                        self.wake.notify()
        except OSError:
            pass
        self.server.log(self.number, "close")
        with self.wake:
            self.closed = True
            self.wake.notify()

    def send(self, data):
        self.sock.sendall(data)
        self.sent += len(data)

    def answer(self, words):
        if words[:1] in (["USERNAME"], ["PASSWORD"], ["LOGIN"]):
            return b"OK\n"
        if words[:1] == ["LOGOUT"]:
            return b"OK Goodbye\n"
        if words[:2] == ["LIST", "VAR"]:
            lines = ["BEGIN LIST VAR ups"]
            lines += [f'VAR ups {name} "{value}"' for name, value in VALUES.items()]
            lines.append("END LIST VAR ups")
            return ("\n".join(lines) + "\n").encode()
        if words[:2] == ["GET", "VAR"] and len(words) == 4 and words[3] in VALUES:
            return f'VAR ups {words[3]} "{VALUES[words[3]]}"\n'.encode()
        return b"ERR VAR-NOT-SUPPORTED\n"

    def flood_list(self):
        self.send(b"BEGIN LIST VAR ups\n")
        n = 0
        while self.server.mode == "listflood" and not self.closed:
            block = "".join(f'VAR ups flood.{n + i} "1"\n' for i in range(2000))
            n += 2000
            self.send(block.encode())
        self.send(b"END LIST VAR ups\n")

    def write(self):
        broken = False  # a line left unfinished by the last mode
        while True:
            mode = self.server.mode
            if mode == "longline":
                self.send(MEGABYTE)
                broken = True
            elif mode == "garbage":
                self.send(os.urandom(65536) + b"\x00\xff")
                broken = True
            elif mode == "trickle":
                self.send(b"V")
                broken = True
                with self.wake:
                    self.wake.wait_for(lambda: self.closed, 2)
            else:
                if broken:
                    self.send(b"\n")
                    broken = False
                with self.wake:
                    if not self.requests and not self.closed:
                        self.wake.wait(0.05)
                    if self.closed:
                        return
                    words = self.requests.popleft() if self.requests else None
                if words is None:
                    continue
                if mode == "listflood" and words[:2] == ["LIST", "VAR"]:
                    self.flood_list()
                else:
                    self.send(self.answer(words))
            if self.closed:
                return

    def run(self):
        self.server.connections[self.number] = self.sock
        self.server.log(self.number, "open")
        threading.Thread(target=self.read, daemon=True).start()
        try:
            self.write()
        except OSError:
            pass
        with self.wake:
            self.wake.wait_for(lambda: self.closed)
        self.server.log(self.number, f"sent {self.sent}")
        del self.server.connections[self.number]
        self.sock.close()


def serve(port_file, control, log):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    with open(port_file + ".new", "w") as f:
        f.write(f"{listener.getsockname()[1]}\n")
    os.rename(port_file + ".new", port_file)
    Server(control, log).serve(listener)


def rss_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def probe(port, pid, log):
    out = open(log, "a", buffering=1)
    sock = None
    while True:
        started = time.monotonic()
        try:
            if sock is None:
                sock = socket.create_connection(("127.0.0.1", port), timeout=2)
            sock.sendall(b"GET VAR zelto ups.status\n")
            answer = b""
            while not answer.endswith(b"\n"):
                data = sock.recv(4096)
                if not data:
                    raise OSError("closed")
                answer += data
            took = (time.monotonic() - started) * 1000
        except OSError:
            took = 2000.0 if sock is not None else (time.monotonic() - started) * 1000
            if sock is not None:
                sock.close()
            sock = None
        try:
            rss = rss_kb(pid)
        except OSError:
            return
        out.write(f"{now_ms()} {took:.1f} {rss}\n")
        time.sleep(max(0.0, 0.1 - (time.monotonic() - started)))


if __name__ == "__main__":
    if sys.argv[1] == "serve":
        serve(sys.argv[2], sys.argv[3], sys.argv[4])
    else:
        probe(int(sys.argv[2]), int(sys.argv[3]), sys.argv[4])
