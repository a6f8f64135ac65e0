"""Helpers of the tests that run vmod-sim in real time and talk to it as host programs do."""
import os
import re
import select
import shutil
import subprocess
import tempfile
import time


class Checks:
    """Named checks that report each result and go on after a failure."""

    def __init__(self):
        self.passed, self.failed = 0, []

    def run(self, name, fn):
        try:
            fn()
            self.passed += 1
            print("ok  ", name)
        except AssertionError as e:
            self.failed.append(name)
            print("FAIL", name, "-", e)

    def summary(self, what):
        print("%s: %d passed, %d failed" % (what, self.passed, len(self.failed)))
        return 1 if self.failed else 0


class Sim:
    """vmod-sim in real time with the given options, on a fresh state folder."""

    def __init__(self, sim, *args):
        self.state = tempfile.mkdtemp(prefix="vmod-live-")
        self.proc = subprocess.Popen([sim, "--state", self.state, *args], stderr=subprocess.PIPE,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        self.banner = b""

    def announced(self, pattern):
        """The first group of `pattern` once vmod-sim's start-up lines show it."""
        end = time.time() + 20
        while time.time() < end:
            m = re.search(pattern, self.banner)
            if m:
                return m.group(1).decode()
            r, _, _ = select.select([self.proc.stderr], [], [], 0.5)
            if r:
                self.banner += os.read(self.proc.stderr.fileno(), 500)
        raise AssertionError("vmod-sim did not announce %r: %r" % (pattern, self.banner))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        self.proc.wait(10)
        shutil.rmtree(self.state, ignore_errors=True)


def recv_until(sock, end):
    """What the socket receives up to and with `end`."""
    got = b""
    while not got.endswith(end):
        chunk = sock.recv(500)
        if not chunk:
            raise AssertionError("the connection closed after %r" % got)
        got += chunk
    return got


def recv_all(sock):
    """Everything until the other side closes the connection (or a time-out of the socket)."""
    got = b""
    try:
        while True:
            chunk = sock.recv(4096)
            if not chunk:
                break
            got += chunk
    except TimeoutError:
        pass
    return got


def free_port():
    """A TCP port of the loopback address that nothing listens on just now."""
    import socket
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port
