#!/usr/bin/env python3
"""vmod-sim's interactive front ends: a host program talks to the module over a
pseudo-terminal, over TCP and through standard input/output, in real time."""
import os
import re
import select
import socket
import subprocess
import sys
import tempfile
import time
import termios
import tty

SIM = sys.argv[1]


def read_until(read, want, timeout=10.0):
    got = b""
    end = time.time() + timeout
    while want not in got and time.time() < end:
        chunk = read(end - time.time())
        if chunk:
            got += chunk
    return got


def start(*args):
    state = tempfile.mkdtemp(prefix="vmod-fe-")
    return subprocess.Popen([SIM, "--state", state, *args], stderr=subprocess.PIPE,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)


def announced(proc, pattern):
    line = b""
    end = time.time() + 20
    while time.time() < end:
        r, _, _ = select.select([proc.stderr], [], [], 0.5)
        if r:
            line += os.read(proc.stderr.fileno(), 200)
            m = re.search(pattern, line)
            if m:
                return m.group(1).decode()
    raise AssertionError("vmod-sim did not announce its port: %r" % line)


def check_pty():
    proc = start("--port0", "pty")
    try:
        path = announced(proc, rb"port 0 on (/dev/pts/\d+)")
        fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(fd, termios.TCSANOW)  # keep what the module already sent

        def read(t):
            r, _, _ = select.select([fd], [], [], max(t, 0))
            return os.read(fd, 100) if r else b""
        assert read_until(read, b">\r").endswith(b">\r"), "no first prompt on the pty"
        os.write(fd, b"*IERR\r")
        got = read_until(read, b"#\r")
        assert got == b"#\r", got
        os.close(fd)
    finally:
        proc.terminate()
        proc.wait(10)


def check_tcp():
    port = 20000 + os.getpid() % 20000
    proc = start("--port0", "tcp:%d" % port)
    try:
        announced(proc, rb"port 0 on tcp 127.0.0.1:(\d+)")
        s = socket.create_connection(("127.0.0.1", port), timeout=10)

        def read(t):
            s.settimeout(max(t, 0.01))
            try:
                return s.recv(100)
            except socket.timeout:
                return b""
        s.sendall(b"*SERR\r")
        got = read_until(read, b"!\r")
        assert got.endswith(b"!\r"), got
        s.close()
    finally:
        proc.terminate()
        proc.wait(10)


def check_stdio():
    state = tempfile.mkdtemp(prefix="vmod-fe-")
    out = subprocess.run([SIM, "--state", state, "--port0", "stdio"], input=b"*IERR\nxyz\n",
                         stdout=subprocess.PIPE, timeout=30).stdout
    assert out.endswith(b">\r#\r!\r"), out


check_pty()
check_tcp()
check_stdio()
print("front ends: 3 passed, 0 failed")
