#!/usr/bin/env python3
"""vmodctl against vmod-sim on a pseudo-terminal: an image built by vmod-image goes into the
Data Flash by text lines and by the binary download, and the module then draws from it."""
import fcntl
import os
import re
import select
import subprocess
import sys
import tempfile
import time

SIM, CTL, IMAGES = sys.argv[1], sys.argv[2], sys.argv[3]


def start(state):
    proc = subprocess.Popen([SIM, "--state", state, "--port0", "pty"], stderr=subprocess.PIPE,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    text = b""
    end = time.time() + 20
    while time.time() < end:
        r, _, _ = select.select([proc.stderr], [], [], 0.5)
        if r:
            text += os.read(proc.stderr.fileno(), 200)
            m = re.search(rb"port 0 on (/dev/pts/\d+)", text)
            if m:
                return proc, m.group(1).decode()
    proc.kill()
    raise AssertionError("vmod-sim did not announce its pseudo-terminal: %r" % text)


def ctl(port, *args, ok=True):
    r = subprocess.run([CTL, "-p", port] + list(args), capture_output=True, timeout=120)
    if ok and r.returncode != 0:
        raise AssertionError("vmodctl %s failed (%d): %s %s" % (args, r.returncode, r.stdout, r.stderr))
    return r


def first_pixels(port, bitmap):
    ctl(port, "cmd", "xi %d 0 0" % bitmap)
    out = ctl(port, "cmd", "*FB 0").stdout.decode()
    return out.split(",")[:2]


def check(method, image, bitmap, want):
    state = tempfile.mkdtemp(prefix="vmodctl-")
    proc, port = start(state)
    try:
        time.sleep(0.5)  # the start-up messages of a blank module
        r = ctl(port, "download", "-q", "-m", method, os.path.join(IMAGES, image))
        got = first_pixels(port, bitmap)
        assert got == want, (method, got)
        # A refused command is reported by the exit status.
        r = ctl(port, "cmd", "xi 99 0 0", ok=False)
        assert r.returncode == 2 and r.stdout == b"!\n", r
        r = ctl(port, "cmd", "--crc", "xmpmax")
        assert r.stdout == b"128\n>\n", r.stdout
    finally:
        proc.terminate()
        proc.wait(10)


check("xmp", "demo.bin", 1, ["FFFF", "001F"])
check("bdld", "demo.bin", 1, ["FFFF", "001F"])
check("bdld", "other.bin", 1, ["041F", "041F"])
r = subprocess.run([CTL, "-p", "/nonexistent/tty", "cmd", "x"], capture_output=True)
assert r.returncode == 1 and b"cannot open /nonexistent/tty" in r.stderr, r

# Over TCP, with the options after the subcommand; a second program on the pty is refused by
# the device lock that serial programs share.
tcp = 20002 + os.getpid() % 20000
state = tempfile.mkdtemp(prefix="vmodctl-")
proc = subprocess.Popen([SIM, "--state", state, "--port0", "tcp:%d" % tcp, "--port1", "pty"], stderr=subprocess.PIPE,
                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
try:
    text = b""
    while b"port 1 on /dev/pts/" not in text:
        text += os.read(proc.stderr.fileno(), 200)
    aux = re.search(rb"port 1 on (/dev/pts/\d+)", text).group(1).decode()
    holder = os.open(aux, os.O_RDWR | os.O_NOCTTY)
    fcntl.flock(holder, fcntl.LOCK_EX)
    r = subprocess.run([CTL, "-p", aux, "cmd", "vers"], capture_output=True, timeout=60)
    assert r.returncode == 1 and b"is in use by another program" in r.stderr, r
    os.close(holder)
    time.sleep(0.5)
    r = subprocess.run([CTL, "cmd", "vers", "-p", "tcp:127.0.0.1:%d" % tcp, "-t", "5"],
                       capture_output=True, timeout=60)
    assert r.returncode == 0 and r.stdout == b'VMOD5 V1.2.0 VGA "NEC_K2766_FUJ"\n>\n', r
    r = subprocess.run([CTL, "cmd", "-p", "tcp:127.0.0.1:1", "vers"], capture_output=True, timeout=60)
    assert r.returncode == 1 and b"cannot connect to 127.0.0.1:1" in r.stderr, r
finally:
    proc.terminate()
    proc.wait(10)


# A device that answers with garbage only: "cmd vers" ends with the device named and status 1,
# in bounded time and memory, whether the garbage floods the line or trickles.
import resource
import threading


def garbage_device(pace):
    master, slave = os.openpty()
    name = os.ttyname(slave)
    stop = threading.Event()

    def talk():
        chunk = bytes((i * 37 + 11) % 251 for i in range(4096)).replace(b">\r", b"x\r")
        while not stop.is_set():
            try:
                os.write(master, chunk if pace == 0 else chunk[:16])
            except OSError:
                break
            if pace:
                time.sleep(pace)
            # What vmodctl sends is read and dropped.
            r, _, _ = select.select([master], [], [], 0)
            if r:
                try:
                    os.read(master, 4096)
                except OSError:
                    break

    t = threading.Thread(target=talk, daemon=True)
    t.start()
    return name, master, slave, stop, t


# A sanitizer build reserves terabytes of address space for its shadow memory: there the
# time limit alone has to do.
with open(CTL, "rb") as _f:
    SANITIZED = b"__asan_init" in _f.read()


def limited():
    if not SANITIZED:
        resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))


for pace, want in ((0, b"without the end of a reply"), (0.01, b"no reply to \"vers\" from ")):
    name, master, slave, stop, t = garbage_device(pace)
    try:
        began = time.time()
        r = subprocess.run([CTL, "-p", name, "cmd", "vers", "-t", "3"], capture_output=True, timeout=60,
                           preexec_fn=limited)
        took = time.time() - began
        assert r.returncode == 1, r
        assert name.encode() in r.stderr and want in r.stderr, (pace, r.stderr[:300])
        assert took < 20, took
        assert len(r.stderr) < 1000, len(r.stderr)
    finally:
        stop.set()
        os.close(slave)
        t.join(5)
        os.close(master)
# A device that closes: the end is reported, not waited for.
master, slave = os.openpty()
name = os.ttyname(slave)
os.close(master)
r = subprocess.run([CTL, "-p", name, "cmd", "vers", "-t", "3"], capture_output=True, timeout=60)
assert r.returncode == 1 and name.encode() in r.stderr, r
os.close(slave)
print("vmodctl: 3 downloads, the TCP port and 3 misbehaving devices passed")
