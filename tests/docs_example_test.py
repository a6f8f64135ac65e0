#!/usr/bin/env python3
"""docs/examples/first_page.py against the virtual module, as a user runs it: through the
pseudo-terminal, with pyserial.

The example ends by waiting for a finger on its button, which a live run here has no way to
give; the scenario tests/scenarios/docs/first_page.scn sends the example's lines and presses the
button. This test holds the two together: the scenario sends exactly the example's command
lines, and the page the example draws on the live module has the frame CRC the scenario checks.

Usage: docs_example_test.py VMOD_SIM EXAMPLE SCENARIO"""
import os
import re
import select
import subprocess
import sys
import tempfile
import time

import serial

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from live_sim import Checks, Sim  # noqa: E402

SIM, EXAMPLE, SCENARIO = sys.argv[1:4]
checks = Checks()


def example_lines():
    """The command lines of the example, in the order it sends them."""
    with open(EXAMPLE, encoding="utf-8") as f:
        text = f.read()
    # The first line it writes itself, to wait out a start-up report; then one call a line.
    lines = re.findall(r'port\.write\(b"([^"\\]*)\\r"\)', text)[:1]
    for m in re.finditer(r"command\(port, (['\"])(.*?)\1\)", text):
        lines.append(m.group(2))
    return lines


def scenario():
    with open(SCENARIO, encoding="utf-8") as f:
        text = f.read()
    sends = re.findall(r"^send (.*)$", text, re.M)
    crc = re.search(r"^crc ([0-9A-F]{4})$", text, re.M)
    return sends, crc.group(1) if crc else None


def test_scenario_sends_the_examples_lines():
    sends, _ = scenario()
    lines = example_lines()
    assert len(lines) > 5, "the example's command lines were not found: %r" % lines
    assert sends == lines, "scenario %r, example %r" % (sends, lines)


def read_line_of(proc, want, timeout):
    """The example's output up to a line containing `want`."""
    got = b""
    end = time.time() + timeout
    while want not in got and time.time() < end:
        r, _, _ = select.select([proc.stdout], [], [], 0.5)
        if r:
            chunk = os.read(proc.stdout.fileno(), 500)
            if not chunk:
                break
            got += chunk
    return got.decode(errors="replace")


def test_example_draws_the_scenarios_page():
    _, crc = scenario()
    link = os.path.join(tempfile.gettempdir(), "vmod-docs-%d" % os.getpid())
    with Sim(SIM, "--port0", "pty:%s" % link) as sim:
        sim.announced(rb"linked at (\S+)")
        # Started at once, the example meets the module's start-up report on its way.
        proc = subprocess.Popen([sys.executable, EXAMPLE, link], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
        try:
            out = read_line_of(proc, b"press the OK button", 30)
        finally:
            proc.terminate()
            proc.wait(10)
        assert "press the OK button" in out, "the example stopped: %r" % out
        assert out.startswith("VMOD5 "), "no version line first: %r" % out
        port = serial.Serial(link, 115200, xonxoff=True, timeout=5)
        try:
            port.write(b"*CRC\r")
            reply = port.read_until(b">\r")
        finally:
            port.close()
        assert reply == b"0x%s\r>\r" % crc.encode(), "*CRC answered %r, the scenario has %s" % (reply, crc)


checks.run("the scenario sends the example's command lines", test_scenario_sends_the_examples_lines)
checks.run("the example's page on the live module is the scenario's", test_example_draws_the_scenarios_page)
sys.exit(checks.summary("docs example"))
