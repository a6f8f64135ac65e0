"""The web panel under load and under bad requests: several browsers' update loops, a client
that stops reading and a host streaming lines at full rate on the pseudo-terminal together;
then requests of every wrong shape. The module's replies stay complete and in order, its
virtual time keeps pace with the host's clock, and the server answers every refusal plainly.

    web_load_test.py VMOD_SIM DEMO_IMAGE
"""
import http.client
import json
import os
import socket
import struct
import sys
import threading
import time

import serial

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from live_sim import Checks, Sim, free_port  # noqa: E402

SIM, DEMO = sys.argv[1], sys.argv[2]


def request(port, method, path, body=None, timeout=10):
    c = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    c.request(method, path, body=body)
    r = c.getresponse()
    data = r.read()
    c.close()
    return r.status, data


def parse_update(data):
    n = struct.unpack_from("<I", data, 0)[0]
    head = json.loads(data[4:4 + n])
    screen = data[4 + n:]
    if screen:
        version = struct.unpack_from("<I", screen, 0)[0]
        head["screenVersion"] = version
    return head


class Browser(threading.Thread):
    """A page's update loop: asks for what is new since what it has, again and again."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.port, self.stop, self.answers, self.errors = port, False, 0, []
        self.screen = self.state = self.console = 0

    def run(self):
        c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        while not self.stop:
            try:
                c.request("GET", "/api/updates?screen=%d&state=%d&console=%d&port=0" %
                          (self.screen, self.state, self.console))
                r = c.getresponse()
                data = r.read()
                if r.status != 200:
                    self.errors.append(r.status)
                    time.sleep(0.2)
                    continue
                h = parse_update(data)
                self.screen = h.get("screenVersion", self.screen)
                self.state = h["stateVersion"]
                self.console = h["console"]["to"]
                self.answers += 1
            except (OSError, http.client.HTTPException) as e:
                self.errors.append(repr(e))
                c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)


def origin_round_trip(host, x, y):
    """Sets the drawing origin over the serial line and asks it back: what came within 5 s."""
    host.reset_input_buffer()
    host.write(b"o %d %d\ro\r" % (x, y))
    want = b"%d %d\r" % (x, y)
    r, end = b"", time.time() + 5
    while want not in r and time.time() < end:
        r += host.read(100)
    return r


def clock(port):
    return json.loads(request(port, "GET", "/api/time")[1])


def main():
    checks = Checks()
    port = free_port()
    with Sim(SIM, "--port0", "pty", "--web", str(port)) as sim:
        pty = sim.announced(rb"port 0 on (/dev/pts/\d+)")
        sim.announced(rb"web panel on (http://\S+)")
        host = serial.Serial(pty, 115200, xonxoff=True, timeout=0.1)
        got = b""
        end = time.time() + 10
        while b"Data Flash.\r>\r" not in got and time.time() < end:
            got += host.read(4096)

        def replies_in_order_and_on_time_under_load():
            browsers = [Browser(port) for _ in range(4)]
            for b in browsers:
                b.start()
            # A client that asks for the whole screen and never reads the answer.
            stuck = socket.create_connection(("127.0.0.1", port))
            stuck.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            stuck.sendall(b"GET /api/updates?screen=0&wait=0 HTTP/1.1\r\nHost: x\r\n\r\n" * 20)
            t0 = clock(port)
            n = 1000
            lines = b""
            for i in range(n):
                lines += b"o %d 0\r" % i + b"o\r"
                if i % 10 == 0:
                    lines += b"c %d 240 30 1\r" % (40 + i * 2)  # the screen changes too
            host.write(lines)
            reply = b""
            deadline = time.time() + 30
            while reply.count(b"\r%d 0\r" % (n - 1)) == 0 and time.time() < deadline:
                reply += host.read(8192)
            t1 = clock(port)
            for b in browsers:
                b.stop = True
            reported = [int(x.split(b" ")[0]) for x in reply.split(b"\r") if x.endswith(b" 0") and x[:1].isdigit()]
            assert reported == list(range(n)), "reports out of order or missing: %r" % reported[:20]
            assert b"!" not in reply and b"^" not in reply, reply[:200]
            virtual = t1["virtualMs"] - t0["virtualMs"]
            wall = t1["hostMs"] - t0["hostMs"]
            # The module's clock kept pace with the host's: nothing the panel did held up its loop.
            assert 0.85 < virtual / wall < 1.15, "virtual %.0f ms in %.0f ms of the host's clock" % (virtual, wall)
            for b in browsers:
                b.join(30)
                assert b.answers > 3 and not b.errors, (b.answers, b.errors)
            stuck.close()
        checks.run("several browsers, a stuck client and a host at full rate: replies in order, time on pace",
                   replies_in_order_and_on_time_under_load)

        def many_watchers_are_bounded():
            h = parse_update(request(port, "GET", "/api/updates?wait=0")[1])
            have = "/api/updates?screen=%d&state=%d&console=%d" % (h.get("screenVersion", 0), h["stateVersion"],
                                                                   h["console"]["to"])
            results = []

            def watch():
                try:
                    results.append(request(port, "GET", have, timeout=30))
                except OSError as e:
                    results.append((0, repr(e).encode()))
            watchers = [threading.Thread(target=watch) for _ in range(30)]
            for w in watchers:
                w.start()
            end = time.time() + 10  # the refusals come at once, unless this machine is very busy
            while len(results) < 14 and time.time() < end:
                time.sleep(0.05)
            time.sleep(0.3)
            refused = [r for r in results if r[0] == 503]
            assert len(refused) >= 14, results
            assert all(b"too many browsers" in r[1] for r in refused)
            host.write(b"led on\r")  # news for the ones that wait
            for w in watchers:
                w.join(30)
            ok = [r for r in results if r[0] == 200]
            assert len(ok) + len(refused) == 30 and len(ok) >= 1, [r[0] for r in results]
            assert parse_update(ok[0][1])["state"]["led"] is True
        checks.run("more browsers than the panel serves at once are refused plainly, the rest answered",
                   many_watchers_are_bounded)

        def idle_connections_do_not_hold_up_the_module():
            idle = [socket.create_connection(("127.0.0.1", port)) for _ in range(100)]
            try:
                r = origin_round_trip(host, 3, 4)
                assert b"3 4\r" in r, r
            finally:
                for c in idle:
                    c.close()
            status, _ = request(port, "GET", "/api/time", timeout=15)
            assert status == 200
        checks.run("a hundred idle connections hold up neither the module nor, once gone, the server",
                   idle_connections_do_not_hold_up_the_module)

        def reset_and_power_cycle_restart_the_module():
            host.reset_input_buffer()
            assert request(port, "POST", "/api/power?action=reset")[0] == 202
            r, end = b"", time.time() + 5
            while b"Data Flash.\r>\r" not in r and time.time() < end:
                r += host.read(1000)
            assert b"!Error loading bitmaps from SD card or Data Flash.\r>\r" in r, r
            assert request(port, "POST", "/api/power?action=cycle")[0] == 202
            off = on = False
            h = parse_update(request(port, "GET", "/api/updates?wait=0")[1])
            end = time.time() + 5
            while not on and time.time() < end:
                h = parse_update(request(port, "GET", "/api/updates?state=%d" % h["stateVersion"])[1])
                off = off or not h["state"]["powered"]
                on = off and h["state"]["powered"]
            assert off and on, h["state"]
            r, end = b"", time.time() + 5
            while b"Data Flash.\r>\r" not in r and time.time() < end:
                r += host.read(1000)
            assert r.count(b"Data Flash.\r>\r") == 1, r
        checks.run("reset and power cycle from the page restart the module", reset_and_power_cycle_restart_the_module)

        before = sorted(os.listdir(sim.state))
        cwd_before = sorted(os.listdir("."))

        def bad_requests_are_refused_plainly():
            cases = [
                ("POST", "/api/touch?action=down&x=640&y=0", None, 400, b"outside the 640 x 480 screen"),
                ("POST", "/api/touch?action=down&x=-1&y=5", None, 400, b"outside the 640 x 480 screen"),
                ("POST", "/api/touch?action=down&x=99999999999999999999&y=5", None, 400, b"outside"),
                ("POST", "/api/touch?action=down&x=1.5&y=5", None, 400, b"whole numbers"),
                ("POST", "/api/touch?action=hover", None, 400, b"down, move or up"),
                ("POST", "/api/console", b"a\rb", 400, b"no CR"),
                ("POST", "/api/console", b"x" * 5000, 400, b"at most 1024"),
                ("POST", "/api/power?action=explode", None, 400, b"cycle or reset"),
                ("POST", "/api/upload?target=../../etc", b"\xeb\xfe" + b"\0" * 20, 400, b"sd or flash"),
                ("POST", "/api/upload?target=sd", b"#!/bin/sh\necho hi\n" * 10, 415, b"not an external-memory image"),
                ("POST", "/api/upload?target=sd", b"", 415, b"not an external-memory image"),
                ("POST", "/api/upload?target=sd", b"\xeb\xfe\x01\x00\xff\xff\xff\xff" + b"\0" * 64, 415, b"11 MiB"),
                ("POST", "/api/upload?target=flash", b"\xeb\xfe\x01\x00" + b"\0" * (5 << 20), 413, b"Data Flash"),
                ("POST", "/api/upload?target=sd", b"\xeb\xfe\x01\x00" + b"\0" * (12 << 20), 413, b"too large"),
                ("GET", "/etc/passwd", None, 404, b"no such page"),
                ("GET", "/../../etc/passwd", None, 404, b"no such page"),
                ("DELETE", "/", None, 404, b"no such page"),
            ]
            for method, path, body, status, text in cases:
                try:
                    got, data = request(port, method, path, body)
                except (ConnectionResetError, BrokenPipeError):
                    # An oversized body may be cut off while it is still being sent.
                    assert status == 413, (method, path)
                    continue
                assert got == status and text in data, (method, path[:60], got, data[:100])
            # Bytes that are no HTTP at all, a request line of 100 kB, 5000 header lines: refused or
            # closed.
            for junk in (b"\x00\xff\x13garbage\r\n\r\n", b"GET /" + b"a" * 100000 + b" HTTP/1.1\r\n\r\n",
                         b"GET / HTTP/1.1\r\n" + b"X-A: b\r\n" * 5000 + b"\r\n"):
                s = socket.create_connection(("127.0.0.1", port), timeout=5)
                try:
                    s.sendall(junk)
                    answer = s.recv(100)
                except (ConnectionResetError, BrokenPipeError):
                    answer = b""
                s.close()
                assert answer == b"" or answer.startswith(b"HTTP/1.1 4"), answer
        checks.run("requests of every wrong shape are refused with a clear message", bad_requests_are_refused_plainly)

        def nothing_written_elsewhere_and_all_still_runs():
            assert sorted(os.listdir(sim.state)) == before, (before, os.listdir(sim.state))
            assert sorted(os.listdir(".")) == cwd_before
            r = origin_round_trip(host, 7, 8)
            assert b"7 8\r>\r" in r, r
            assert request(port, "GET", "/")[0] == 200
        checks.run("no file is written by refused requests, and module and server still answer",
                   nothing_written_elsewhere_and_all_still_runs)

        def upload_to_the_flash_loads_from_it():
            with open(DEMO, "rb") as f:
                image = f.read()
            status, text = request(port, "POST", "/api/upload?target=flash", image)
            assert status == 202, (status, text)
            r, end = b"", time.time() + 10
            while b"from data flash\r" not in r and time.time() < end:
                r += host.read(1000)
            assert b":loading %dKB bitmap/macro file from data flash\r" % (len(image) // 1024) in r, r
            with open(os.path.join(sim.state, "dataflash.bin"), "rb") as f:
                assert f.read(len(image)) == image
        checks.run("an image put into the Data Flash is there and the module restarts and loads it",
                   upload_to_the_flash_loads_from_it)
    return checks.summary("web panel under load and bad input")


if __name__ == "__main__":
    sys.exit(main())
