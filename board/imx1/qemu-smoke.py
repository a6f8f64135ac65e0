#!/usr/bin/env python3
"""Boots vmod-imx1.elf on QEMU's bare ARM9 machine as a smoke test of the start-up code.

QEMU has no i.MX1, so the image runs on an ARM926 with plain RAM everywhere (the peripheral
window included, where the drivers then wait for hardware that never answers). What it shows:
the reset handler set up the stacks, copied the initialised data, cleared the rest, mapped the
image's vectors at address 0, turned on the MMU and reached main, whose interrupt_init wrote
the marker word at the end of the SDRAM window; and that nothing ended in a fault handler.
"""
import os
import re
import socket
import subprocess
import sys
import tempfile
import time

elf, nm = sys.argv[1], sys.argv[2]
symbols = {}
for line in subprocess.run([nm, elf], capture_output=True, text=True, check=True).stdout.splitlines():
    parts = line.split()
    if len(parts) == 3:
        symbols[parts[2]] = int(parts[0], 16)

workdir = tempfile.mkdtemp()
monitor_path = os.path.join(workdir, "monitor")
qemu = subprocess.Popen(
    ["qemu-system-arm", "-M", "none", "-cpu", "arm926", "-m", "512M", "-nographic", "-serial", "none",
     "-device", f"loader,file={elf},cpu-num=0", "-monitor", f"unix:{monitor_path},server,nowait"],
    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def connect():
    for _ in range(100):
        try:
            s = socket.socket(socket.AF_UNIX)
            s.connect(monitor_path)
            return s
        except OSError:
            time.sleep(0.05)
    raise SystemExit("qemu-smoke: no QEMU monitor")


def ask(s, command):
    s.sendall((command + "\n").encode())
    time.sleep(0.2)
    s.settimeout(0.3)
    out = b""
    try:
        while True:
            data = s.recv(65536)
            if not data:
                break
            out += data
    except socket.timeout:
        pass
    return re.sub(r"\x1b\[[0-9;]*[A-Za-z]", "", out.decode(errors="replace"))


def word(s, command, address):
    m = re.search(r"(?m)^0*%x: 0x([0-9a-f]{8})" % address, ask(s, f"{command} /1wx 0x{address:x}"))
    return int(m.group(1), 16) if m else None


failures = []
try:
    mon = connect()
    ask(mon, "")
    marker = None
    for _ in range(50):  # up to 10 s of emulated start-up
        marker = word(mon, "xp", 0x0BFFFFFC)
        if marker == 0xAA5555AA:
            break
        time.sleep(0.2)
    time.sleep(0.5)
    ask(mon, "stop")
    regs = ask(mon, "info registers")
    pc = int(re.search(r"R15=([0-9a-f]{8})", regs).group(1), 16)
    mode = re.search(r"PSR=[0-9a-f]{8} \S+ \S+ (\w+)", regs)
    if marker != 0xAA5555AA:
        failures.append("interrupt_init never wrote the marker word (main not reached)")
    if word(mon, "x", 0) != word(mon, "xp", symbols["_vectors"]):
        failures.append("the vectors are not mapped at address 0")
    if word(mon, "xp", symbols["Flash1Size"]) != 0x400000:
        failures.append("initialised data were not copied")
    for name in ("fault_undefined", "fault_swi", "fault_prefetch_abort", "fault_data_abort", "fault_fiq"):
        if symbols[name] <= pc < symbols[name] + 8:
            failures.append(f"stopped in {name}")
    if symbols["board_halt"] <= pc < symbols["board_halt"] + 64 or not mode or mode.group(1) != "svc32":
        failures.append(f"halted or out of the main loop's mode (pc 0x{pc:08x})")
    print(f"qemu-smoke: marker 0x{marker or 0:08x}, pc 0x{pc:08x}, {mode.group(1) if mode else '?'}", flush=True)
finally:
    qemu.kill()
    qemu.wait()

if failures:
    print("qemu-smoke: " + "; ".join(failures), file=sys.stderr)
    sys.exit(1)
print("qemu-smoke: start-up reached main")
