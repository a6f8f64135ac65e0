"""The web panel in a real browser: headless Chromium driven by Selenium opens the page of a
running vmod-sim whose command port a host (pyserial) holds at the same time.

    web_panel_test.py VMOD_SIM DEMO_IMAGE
"""
import io
import os
import sys
import time
import urllib.request

import serial
from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.by import By

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from live_sim import Checks, Sim, free_port  # noqa: E402

SIM, DEMO = sys.argv[1], sys.argv[2]


class Host:
    """The host program on the pseudo-terminal: sends lines and collects what comes back."""

    def __init__(self, path):
        self.port = serial.Serial(path, 115200, xonxoff=True, timeout=0.05)
        self.got = b""

    def send(self, line):
        self.port.write(line.encode() + b"\r")

    def wait_for(self, text, within=5.0, since=0):
        """Everything received until `text` is in it (after offset `since`); fails after
        `within` seconds."""
        want = text.encode()
        end = time.time() + within
        while want not in self.got[since:]:
            if time.time() > end:
                raise AssertionError("the host did not receive %r; it has %r" % (text, self.got[-300:]))
            self.got += self.port.read(4096)
        return self.got

    def command(self, line, reply=">\r"):
        start = len(self.got)
        self.send(line)
        end = time.time() + 5
        while reply.encode() not in self.got[start:]:
            if time.time() > end:
                raise AssertionError("no %r after %r: %r" % (reply, line, self.got[start:]))
            self.got += self.port.read(4096)


def wait(what, fn, within=8.0):
    end = time.time() + within
    while True:
        v = fn()
        if v:
            return v
        if time.time() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


def browser():
    o = webdriver.ChromeOptions()
    for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
              "--window-size=1400,1000", "--autoplay-policy=no-user-gesture-required"):
        o.add_argument(a)
    o.binary_location = "/usr/bin/chromium"
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=o)


def main():
    checks = Checks()
    port = free_port()
    base = "http://127.0.0.1:%d" % port
    with Sim(SIM, "--port0", "pty", "--web", str(port)) as sim:
        pty = sim.announced(rb"port 0 on (/dev/pts/\d+)")
        sim.announced(rb"web panel on (http://\S+)")
        host = Host(pty)
        host.wait_for("Error loading bitmaps from SD card or Data Flash.\r>\r")
        drv = browser()
        try:
            drv.get(base + "/")
            canvas = drv.find_element(By.ID, "screen")
            console = drv.find_element(By.ID, "console")

            def clock():
                import json
                return json.loads(urllib.request.urlopen(base + "/api/time", timeout=5).read())

            def canvas_rgb():
                data = drv.execute_script(
                    "const d = document.getElementById('screen').getContext('2d')"
                    ".getImageData(0, 0, 640, 480).data;"
                    "let s = ''; for (let i = 0; i < d.length; i += 4)"
                    " s += String.fromCharCode(d[i], d[i + 1], d[i + 2]); return btoa(s);")
                import base64
                return base64.b64decode(data)

            def screenshot_rgb():
                png = urllib.request.urlopen(base + "/api/screenshot.png", timeout=5).read()
                return Image.open(io.BytesIO(png)).convert("RGB").tobytes()

            def click_at(x, y, hold=0.15):
                r = drv.execute_script("const r = arguments[0].getBoundingClientRect();"
                                       "return [r.left, r.top];", canvas)
                a = ActionBuilder(drv)
                a.pointer_action.move_to_location(int(r[0] + x), int(r[1] + y)).pointer_down()
                a.pointer_action.pause(hold).pointer_up()
                a.perform()

            def drag(points, step=0.04):
                r = drv.execute_script("const r = arguments[0].getBoundingClientRect();"
                                       "return [r.left, r.top];", canvas)
                a = ActionBuilder(drv)
                x0, y0 = points[0]
                a.pointer_action.move_to_location(int(r[0] + x0), int(r[1] + y0)).pointer_down()
                a.pointer_action.pause(0.15)
                for x, y in points[1:]:
                    a.pointer_action.move_to_location(int(r[0] + x), int(r[1] + y)).pause(step)
                a.pointer_action.pause(0.15).pointer_up()
                a.perform()

            def canvas_shows_the_frame_buffer():
                for line in ("z", "r 10 10 200 100 1 F00", "c 320 240 60 1", "l 0 479 639 0",
                             "pwx 639 479 00FF00", 't "web panel" 400 40'):
                    host.command(line)
                shot = wait("the drawing in the screenshot",
                            lambda: (lambda s: s if s[(100 * 640 + 100) * 3] == 0xFF else None)(screenshot_rgb()))
                got = wait("the canvas to show the frame", lambda: canvas_rgb() == shot and shot)
                assert got
                # Against the module's own reading of single pixels, independent of the panel.
                for x, y in ((100, 50), (320, 240), (639, 479), (5, 5)):
                    start = len(host.got)
                    host.command("prx %d %d" % (x, y))
                    want = host.got[start:].split(b"\r")[0].decode()
                    c = canvas_rgb()[(y * 640 + x) * 3:(y * 640 + x) * 3 + 3]
                    # prx widens with zero low bits; the panel repeats the high bits below.
                    mine = "%02X%02X%02X" % (c[0] & 0xF8, c[1] & 0xFC, c[2] & 0xF8)
                    assert mine == want, "(%d, %d): canvas %s, module %s" % (x, y, mine, want)
            checks.run("the canvas shows what the frame buffer holds after drawing commands",
                       canvas_shows_the_frame_buffer)

            def a_button_pressed_by_mouse_reports_to_both():
                host.command('bd 1 40 120 1 "OK" 22 24')
                start = len(host.got)
                click_at(60, 140)
                host.wait_for("x1\r", since=start)
                wait("x1 in the console", lambda: "x1" in console.text)
            checks.run("a button pressed by mouse reports on the pseudo-terminal and in the console",
                       a_button_pressed_by_mouse_reports_to_both)

            def led_follows_led_on_and_off():
                lamp = drv.find_element(By.ID, "led")
                line = drv.find_element(By.ID, "line")
                start = len(host.got)
                line.send_keys("led on\n")  # from the page's console
                wait("the LED lamp on", lambda: "on" in lamp.get_attribute("class").split())
                host.wait_for(">\r", since=start)  # the host sees the console's reply too
                host.command("led off")  # from the host
                wait("the LED lamp off", lambda: "on" not in lamp.get_attribute("class").split())
                # The checked form, from the page: answered like a plain line, not '#'.
                drv.find_element(By.ID, "crc").click()
                start = len(host.got)
                line.send_keys("led on\n")
                wait("the LED lamp on again", lambda: "on" in lamp.get_attribute("class").split())
                host.wait_for(">\r", since=start)
                assert b"#\r" not in host.got[start:]
                drv.find_element(By.ID, "crc").click()
            checks.run("the LED follows led on and led off, typed in the page or sent by the host",
                       led_follows_led_on_and_off)

            def upload_then_drag_a_slider():
                drv.find_element(By.ID, "file").send_keys(os.path.abspath(DEMO))
                host.wait_for("bitmap/macro file from SD card\r", within=10)
                wait("the upload's notice", lambda: "on the SD card" in drv.find_element(By.ID, "notice").text)
                host.command("sl 200 1 100 300 2 0 1 0 0 100 0")
                start = len(host.got)
                drag([(112, 312)] + [(112 + 12 * i, 312) for i in range(1, 16)])
                host.wait_for("l200:", within=3, since=start)
                time.sleep(0.5)
                host.got += host.port.read(4096)
                values = [int(v.split(b":")[1]) for v in host.got[start:].split(b"\r") if v.startswith(b"l200:")]
                assert values, "no slider reports: %r" % host.got[start:]
                assert values == sorted(values) and values[-1] > 60, values
                wait("the last report in the console", lambda: "l200:%d" % values[-1] in console.text)
            checks.run("an image chosen in the page loads from the SD card; a slider dragged by mouse reports",
                       upload_then_drag_a_slider)

            def panel_off_is_dark():
                host.command("v off")
                wait("the canvas dark", lambda: "brightness(0" in canvas.get_attribute("style"))
                host.command("v on")
                wait("the canvas lit", lambda: "brightness(1" in canvas.get_attribute("style"))
            checks.run("the screen goes dark with the panel off and lights again", panel_off_is_dark)

            def three_pages_and_a_host_at_full_rate():
                first = drv.current_window_handle
                for _ in range(2):
                    drv.switch_to.new_window("tab")
                    drv.get(base + "/")
                host.command("z")
                t0 = clock()
                n = 600
                lines = b""
                for i in range(n):
                    lines += b"o %d 0\r" % i + b"o\r"
                    if i % 20 == 0:
                        lines += b"r %d 100 %d 300 1 %03X\r" % (i, i + 15, (i * 7) & 0xFFF)
                start = len(host.got)
                host.port.write(lines)
                host.wait_for("\r%d 0\r" % (n - 1), within=30, since=start)
                t1 = clock()
                reported = [int(x.split(b" ")[0]) for x in host.got[start:].split(b"\r")
                            if x.endswith(b" 0") and x[:1].isdigit()]
                assert reported == list(range(n)), reported[:20]
                ratio = (t1["virtualMs"] - t0["virtualMs"]) / (t1["hostMs"] - t0["hostMs"])
                assert 0.85 < ratio < 1.15, ratio  # the module's clock kept pace with the host's
                shot = screenshot_rgb()
                for handle in drv.window_handles:
                    drv.switch_to.window(handle)
                    wait("every page to show the last frame", lambda: canvas_rgb() == shot)
                    assert "599 0" in drv.find_element(By.ID, "console").text
                for handle in drv.window_handles:
                    if handle != first:
                        drv.switch_to.window(handle)
                        drv.close()
                drv.switch_to.window(first)
            checks.run("three pages open and a host at full rate: replies in order, time on pace, pages current",
                       three_pages_and_a_host_at_full_rate)
        finally:
            drv.quit()
    return checks.summary("web panel in a browser")


if __name__ == "__main__":
    sys.exit(main())
