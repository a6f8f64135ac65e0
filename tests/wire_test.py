#!/usr/bin/env python3
"""The virtual module's serial line as real host programs see it: pyserial through the
pseudo-terminal with and without XON/XOFF, socat and plain sockets over TCP.

Usage: wire_test.py VMOD_SIM"""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

import serial

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from live_sim import Checks, free_port, recv_all, recv_until  # noqa: E402
from live_sim import Sim as LiveSim  # noqa: E402

SIM = sys.argv[1]
checks = Checks()


def Sim(*args):
    return LiveSim(SIM, *args)


def read_until(port, want, timeout=10.0):
    got = b""
    end = time.time() + timeout
    while not got.endswith(want) and time.time() < end:
        got += port.read(port.in_waiting or 1)
    return got


def numbered_lines(lines, pause_every=50):
    text = b""
    for i in range(lines):
        if i and i % pause_every == 0:
            text += b"w 100\r"
        text += b'out "L%04d\\r"\r' % i
    return text


def stream(sim_link, xonxoff, lines=2000, pause_every=50):
    """Streams numbered `out` lines, with a 100 ms wait every `pause_every` lines, from a
    writer thread while this thread reads; returns what came back."""
    port = serial.Serial(sim_link, 115200, xonxoff=xonxoff, timeout=0.2)
    try:
        # The start-up report may come before or after pyserial empties its input at the open.
        port.write(b"*IERR\r")
        start = read_until(port, b"#\r")
        assert start.endswith(b"#\r"), "no reply: %r" % start
        writer = threading.Thread(target=port.write, args=(numbered_lines(lines, pause_every),), daemon=True)
        writer.start()
        got = b""
        quiet_since = time.time()
        end = time.time() + 90
        while time.time() < end:
            chunk = port.read(4096)
            if chunk:
                got += chunk
                quiet_since = time.time()
            elif not writer.is_alive() and time.time() - quiet_since > 1.0:
                break
        return got
    finally:
        port.close()


def xonxoff_loses_nothing():
    with Sim("--port0", "pty:%s" % os.path.join(tempfile.gettempdir(), "vmod-wire-%d" % os.getpid())) as sim:
        link = sim.announced(rb"linked at (\S+)")
        assert os.path.realpath(link).startswith("/dev/pts/"), os.path.realpath(link)
        got = stream(link, xonxoff=True)
    numbers = re.findall(rb"L(\d{4})\r", got)
    assert b"^" not in got, "overflow with flow control on: %r" % got[:200]
    assert [int(n) for n in numbers] == list(range(2000)), \
        "%d of 2000 lines came back, first gap near %r" % (len(numbers), numbers[:3])
    assert got.count(b">\r") == 2039, "acknowledgements: %d" % got.count(b">\r")
    # The module's XOFF and XON are flow control for the host's port: pyserial never sees them.
    assert b"\x13" not in got and b"\x11" not in got


def no_flow_control_overflows():
    with Sim("--port0", "pty") as sim:
        path = sim.announced(rb"port 0 on (/dev/pts/\d+)")
        got = stream(path, xonxoff=False, lines=600)
    assert b"^\r" in got, "no overflow without flow control: %r" % got[-200:]
    assert b"\x13" in got, "the module's XOFF did not reach a host without flow control"
    assert len(re.findall(rb"L\d{4}\r", got)) < 600


def client(tcp):
    return socket.create_connection(("127.0.0.1", tcp), timeout=10)


def prompted_client(tcp):
    """A client that has read the held start-up report up to the first prompt."""
    s = client(tcp)
    recv_until(s, b">\r")
    return s


def tcp_xonxoff_loses_nothing():
    tcp = free_port()
    with Sim("--port0", "tcp:%d,xonxoff" % tcp) as sim:
        sim.announced(rb"on tcp 127.0.0.1:(\d+) with XON/XOFF")
        s = prompted_client(tcp)
        writer = threading.Thread(target=s.sendall, args=(numbered_lines(1000),), daemon=True)
        writer.start()
        s.settimeout(1.5)
        got = recv_all(s)
        s.close()
    numbers = re.findall(rb"L(\d{4})\r", got)
    assert b"^" not in got, "overflow with flow control on"
    assert b"\x13" in got and b"\x11" in got, "the module never paused the client"
    assert [int(n) for n in numbers] == list(range(1000)), "%d of 1000 lines came back" % len(numbers)


def tcp_half_close_gets_the_reply():
    tcp = free_port()
    with Sim("--port0", "tcp:%d" % tcp) as sim:
        sim.announced(rb"on tcp 127.0.0.1:(\d+)")
        # The start-up report was held for the first client.
        s = client(tcp)
        got = recv_until(s, b">\r")
        assert got.startswith(b"!Data Flash header"), got
        s.close()  # seen as the end of its input: the line is free a second later
        time.sleep(1.3)
        if shutil.which("socat"):
            out = subprocess.run(["socat", "-", "TCP:127.0.0.1:%d" % tcp], input=b"vers\r",
                                 stdout=subprocess.PIPE, timeout=20).stdout
            assert out == b'VMOD5 V1.2.0 VGA "NEC_K2766_FUJ"\r>\r', out
            time.sleep(1.3)
        s = client(tcp)
        s.sendall(b"w 300\rvers\r")
        s.shutdown(socket.SHUT_WR)
        got = recv_all(s)
        assert got == b'>\rVMOD5 V1.2.0 VGA "NEC_K2766_FUJ"\r>\r', got


def tcp_second_client_is_refused():
    tcp = free_port()
    with Sim("--port0", "tcp:%d" % tcp) as sim:
        sim.announced(rb"on tcp 127.0.0.1:(\d+)")
        first = prompted_client(tcp)
        second = client(tcp)
        refusal = recv_all(second)
        assert b"in use by another client" in refusal, refusal
        first.sendall(b"*IERR\r")
        got = recv_until(first, b"#\r")
        assert got == b"#\r", got


checks.run("pyserial with xonxoff=True streams 2000 lines with pauses and loses none", xonxoff_loses_nothing)
checks.run("pyserial without flow control overruns the ring and sees ^", no_flow_control_overflows)
checks.run("a TCP client on a port with XON/XOFF streams 1000 lines with pauses and loses none", tcp_xonxoff_loses_nothing)
checks.run("a TCP client that half-closes receives the whole reply", tcp_half_close_gets_the_reply)
checks.run("a second TCP client is refused and the first keeps the line", tcp_second_client_is_refused)
sys.exit(checks.summary("wire"))
