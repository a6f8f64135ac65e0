#!/usr/bin/env python3
"""A first page on the module: text, a touch button, and the button's reports.

    python3 first_page.py ~/.local/state/vmod/port0     # the virtual module's pseudo-terminal
    python3 first_page.py /dev/ttyUSB0                  # a module on a USB serial adapter

Needs pyserial (Debian: python3-serial)."""
import sys

import serial

MARKS = (b">", b"!", b"#", b"^", b"?")


def command(port, line):
    """Sends one command line; returns the lines the module sent before its acknowledgement."""
    port.write(line.encode("latin-1") + b"\r")
    text = []
    while True:
        reply = port.read_until(b"\r")
        if not reply.endswith(b"\r"):
            raise TimeoutError("no acknowledgement for %r (got %r)" % (line, b"".join(text) + reply))
        if reply[:-1] in MARKS:
            if reply != b">\r":
                raise RuntimeError("the module refused %r with %r" % (line, reply))
            return text
        text.append(reply[:-1])


def main():
    # xonxoff=True: the module's XOFF pauses our writes when it cannot keep up.
    port = serial.Serial(sys.argv[1], 115200, xonxoff=True, timeout=5)
    # A module that has just been switched on may still be sending its start-up report.
    # "*IERR" is answered "#", which nothing else sends: what comes before it is old.
    port.write(b"*IERR\r")
    if not port.read_until(b"#\r").endswith(b"#\r"):
        sys.exit("no answer from the module on " + sys.argv[1])
    print(command(port, "vers")[0].decode())
    command(port, "z")                              # a clean page: screen, hot spots, origin
    command(port, "s 0 1")                          # black on white
    command(port, "f 24")
    command(port, 't "Hello from the host" 20 20')
    command(port, "r 20 60 619 62 1 00F")           # a blue rule under the title
    command(port, "f 16")
    command(port, 'bd 1 40 120 5 "OK" 22 24')       # button 1, style 5: reports press and release
    print("press the OK button")
    # The button reports by itself: x1 when pressed, r1 when released.
    port.timeout = None
    for _ in range(2):
        print("report:", port.read_until(b"\r")[:-1].decode())
    port.close()


if __name__ == "__main__":
    main()
