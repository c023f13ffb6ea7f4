#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The Windows installer and program under wine64, against the simulated module.

Usage: e2e.py INSTALLER SIMULATOR WORKDIR (in an X server: DISPLAY must be set).

Installs with the installer's silent mode, drives the installed tarvenit.exe by mouse and
keyboard (xdotool) on a COM port that wine maps to the simulator's pseudo-terminal, reads
the results from the simulator's log, and uninstalls. The receive path needs
wine-serial-shim.c (built here) preloaded into wine; see its comment.
"""
import os
import re
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
TWIPS_PER_PIXEL = 15  # wine's default 96 dpi


class Failure(Exception):
    pass


def wait_for(what, check, timeout):
    deadline = time.monotonic() + timeout
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.05)


def check(condition, message):
    if not condition:
        raise Failure(message)


def source_table(path, name):
    """The string literals of a table in the tool's source, so the test follows it."""
    text = (ROOT / path).read_text(encoding="utf-8")
    body = re.search(name + r"[^=]*=\s*\{(.*?)\};", text, re.S).group(1)
    return re.findall(r'"([^"]*)"', re.sub(r"//[^\n]*", "", body))


def control_places():
    """The window's controls as (x, y, width, height) in pixels, from their twips."""
    text = (ROOT / "src/app/form1.cpp").read_text(encoding="utf-8")
    # A row: { "Command4", QT_TRANSLATE_NOOP("Form1", "搜索端口"), 315, 210, 1170, 435, Stays }
    caption = r'(?:QT_TRANSLATE_NOOP\("\w+",\s*)?"[^"]*"\)?'
    rows = re.findall(r'\{\s*"(\w+)",\s*' + caption
                      + r',\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\s*(?:,\s*\w+\s*)?\}', text)
    return {row[0]: tuple(int(v) // TWIPS_PER_PIXEL for v in row[1:]) for row in rows}


class Wine:
    def __init__(self, work, shim):
        self.prefix = work / "prefix"
        # The window in Chinese, as this test reads it, whatever language wine reports.
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", TARVENIT_LANG="zh")
        self.shim = shim

    def run(self, *args, **kw):
        return subprocess.run(["wine", *args], env=self.env, check=True,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)

    def start(self, *args):
        env = dict(self.env, LD_PRELOAD=str(self.shim))
        return subprocess.Popen(["wine", *args], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def restart_server(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env)

    def map_ports(self, ports):
        for name, device in ports.items():
            self.run("reg", "add", r"HKLM\Software\Wine\Ports", "/v", name, "/d", device, "/f")
        self.restart_server()  # the ports are read when the server starts

    def path(self, windows_path):
        drive, rest = windows_path.split(":", 1)
        return self.prefix / f"drive_{drive.lower()}" / rest.lstrip("\\").replace("\\", "/")


class Simulator:
    def __init__(self, program, log, *options):
        self.log = log
        log.unlink(missing_ok=True)
        self.process = subprocess.Popen([program, "--log", str(log), *options],
                                        stdout=subprocess.PIPE, text=True)
        self.device = self.process.stdout.readline().strip()
        check(self.device.startswith("/dev/"), "the simulator printed no device")

    def lines(self):
        """(time in ms, direction, text) of every line in the log so far."""
        if not self.log.exists():
            return []
        rows = []
        for line in self.log.read_text(encoding="utf-8", errors="replace").splitlines():
            parts = line.split(" ", 2)
            if len(parts) >= 2 and parts[1] in ("<", ">"):
                rows.append((int(parts[0]), parts[1], parts[2] if len(parts) > 2 else ""))
        return rows

    def received(self):
        return [text for _, direction, text in self.lines() if direction == "<"]

    def stop(self):
        self.process.kill()
        self.process.wait()


class Window:
    def __init__(self, process):
        self.process = process
        self.id = wait_for("the window", lambda: self._find(), 60)
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", self.id],
                                  capture_output=True, text=True, check=True).stdout
        values = dict(line.split("=", 1) for line in geometry.split())
        self.x, self.y = int(values["X"]), int(values["Y"])
        self.places = control_places()

    @staticmethod
    def _find():
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Tarvenit$"],
                               capture_output=True, text=True).stdout.split()
        return found[0] if found else None

    def click(self, control):
        x, y, width, height = self.places[control]
        subprocess.run(["xdotool", "mousemove", str(self.x + x + width // 2),
                        str(self.y + y + height // 2), "click", "1"], check=True)

    def colours(self, screenshot, control):
        """The distinct colours of a control in a screenshot of the screen."""
        x, y, width, height = self.places[control]
        crop = f"{width}x{height}+{self.x + x}+{self.y + y}"
        listing = subprocess.run(["convert", str(screenshot), "-crop", crop, "+repage",
                                  "-unique-colors", "txt:-"],
                                 capture_output=True, text=True, check=True).stdout
        return set(re.findall(r"#[0-9A-F]{6}", listing))

    def type(self, text):
        subprocess.run(["xdotool", "type", "--delay", "20", text], check=True)

    def key(self, name):
        subprocess.run(["xdotool", "key", name], check=True)

    def holds(self, device):
        fds = Path(f"/proc/{self.process.pid}/fd")
        return any(os.path.realpath(fd) == device for fd in fds.iterdir())

    def cpu_seconds(self):
        fields = Path(f"/proc/{self.process.pid}/stat").read_text().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def check_each_after_reply(sim, replies_end):
    """Every command the module received came after the previous one's last reply line."""
    lines = sim.lines()
    commands = [i for i, (_, d, _) in enumerate(lines) if d == "<"]
    for before, after in zip(commands, commands[1:]):
        between = [text for _, d, text in lines[before + 1:after] if d == ">"]
        check(between and between[-1] in replies_end,
              f"{lines[after][2]!r} was sent before the reply to {lines[before][2]!r} ended")


def start_tool(wine, exe, device):
    window = Window(wine.start(exe))
    window.click("Command4")  # search: COM1 does not open, COM2 is the module
    wait_for("the search to open COM2", lambda: window.holds(device), 10)
    return window


def run_main_steps(wine, exe, simulator, work, screenshot):
    sim = Simulator(simulator, work / "module.log")
    try:
        wine.map_ports({"COM1": "/dev/tarvenit-no-such-port", "COM2": sim.device})
        window = start_tool(wine, exe, sim.device)
        try:
            queries = source_table("src/engine/query.cpp", "QueryTable")
            window.click("Command1")
            wait_for("the query", lambda: len(sim.received()) >= len(queries)
                     and sim.lines()[-1][1:] == (">", "OK"), 30)
            check(sim.received() == queries,
                  f"the module received {sim.received()}, expected {queries}")
            check_each_after_reply(sim, ("OK",))
            subprocess.run(["import", "-window", "root", str(screenshot)], check=True)
            echoes = window.colours(screenshot, "RichTextBox1")
            check({"#FF0000", "#0000FF"} <= echoes,
                  "the console shows no red commands and blue replies in the screenshot")
            print(f"query: the module received the {len(queries)} queries in order, "
                  f"each after the previous reply; screenshot {screenshot}")

            updates = source_table("src/engine/update.cpp", "UpdateTable")
            steps = int(re.search(r"std::array<UpdateStep, (\d+)>",
                                  (ROOT / "src/engine/update.cpp").read_text()).group(1))
            window.click("Command2")
            total = len(queries) + steps
            wait_for("the update", lambda: len(sim.received()) >= total
                     and sim.lines()[-1][2] in ("OK", "ERROR"), 30)
            sent = sim.received()[len(queries):]
            check(sent[0] == "AT+NAME=TARVENIT-BT",
                  f"the update began with {sent[0]!r}, not the name read by the query")
            for prefix in updates:
                check(any(line.startswith(prefix) for line in sent),
                      f"the update sent no {prefix!r} line: {sent}")
            check_each_after_reply(sim, ("OK", "ERROR"))
            print(f"update: {len(sent)} settings written: {', '.join(sent)}")

            window.click("Text2")
            window.type("AT+NAME?")
            window.key("Return")
            window.click("Command5")
            wait_for("the hand-typed command", lambda: sim.received()[-1:] == ["AT+NAME?"]
                     and sim.lines()[-1][2] == "OK", 10)
            print("send: the hand-typed AT+NAME? reached the module and was answered")
        finally:
            wine.restart_server()
    finally:
        sim.stop()


def run_hangup(wine, exe, simulator, work):
    hangup_after = 5
    sim = Simulator(simulator, work / "module-hangup.log", "--hangup-after", str(hangup_after))
    try:
        wine.map_ports({"COM1": "/dev/tarvenit-no-such-port", "COM2": sim.device})
        window = start_tool(wine, exe, sim.device)
        try:
            window.click("Command1")
            # The program notices the lost line and says so in a warning box.
            wait_for("the warning about the lost port", lambda: subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--name", "^警告"],
                capture_output=True).returncode == 0, 30)
            check(len(sim.received()) == hangup_after,
                  f"the module hung up after {hangup_after} commands, got {sim.received()}")
            before, start = window.cpu_seconds(), time.monotonic()
            time.sleep(3)  # the measuring window itself, not a wait for an event
            used = (window.cpu_seconds() - before) / (time.monotonic() - start)
            print(f"hangup after {hangup_after} commands: the warning box is up, and the tool "
                  f"used {used:.0%} of a CPU over the next 3 s")
            check(used < 0.25, f"the tool spins after the hangup ({used:.0%} of a CPU)")
        finally:
            wine.restart_server()
    finally:
        sim.stop()


def install(wine, installer):
    wine.run(str(installer), "/S")
    home = wine.path(r"C:\Program Files\Tarvenit")
    expected = {"tarvenit.exe", "Uninstall.exe", "Qt6Core.dll", "Qt6Gui.dll", "Qt6Widgets.dll",
                "Qt6SerialPort.dll", "libstdc++-6.dll", "libgcc_s_seh-1.dll",
                "libwinpthread-1.dll", "platforms/qwindows.dll",
                "styles/qwindowsvistastyle.dll", "translations/qtbase_zh_CN.qm"}
    found = {str(p.relative_to(home)) for p in home.rglob("*") if p.is_file()}
    check(found == expected, f"installed {sorted(found)}, expected {sorted(expected)}")
    menu = wine.path(r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Tarvenit")
    links = sorted(p.name for p in menu.glob("*.lnk"))
    check(links == ["Tarvenit.lnk", "Uninstall.lnk"], f"Start-menu entries: {links}")
    print(f"install: {len(found)} files in {home.name}, Start menu: {', '.join(links)}")
    return home, menu


def uninstall(wine, home, menu):
    # The uninstaller copies itself away and runs from there: wait for its result.
    wine.run(str(home / "Uninstall.exe"), "/S")
    wait_for("the uninstaller", lambda: not home.exists() and not menu.exists(), 60)
    key = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvenit"
    listed = subprocess.run(["wine", "reg", "query", key], env=wine.env,
                            capture_output=True).returncode == 0
    check(not listed, "the uninstaller left the program in the list of programs")
    print("uninstall: the program, its Start-menu entries and its registry entry are gone")


def main():
    installer, simulator, work = (Path(a).resolve() for a in sys.argv[1:4])
    work.mkdir(parents=True, exist_ok=True)
    shim = work / "wine-serial-shim.so"
    subprocess.run(["gcc", "-shared", "-fPIC", "-O2", "-Wall", "-Wextra", "-o", str(shim),
                    str(Path(__file__).with_name("wine-serial-shim.c")), "-ldl"], check=True)
    wine = Wine(work, shim)
    subprocess.run(["rm", "-rf", str(wine.prefix)], check=True)
    started = time.monotonic()
    wine.run("wineboot", "-u")
    # Windows' dialog font, which Qt takes as the window's font, as on a Chinese Windows:
    # a face with Chinese glyphs (fonts-wqy-microhei). wine's own fallback for it has
    # metrics that put the text of line edits out of sight.
    for face in ("MS Shell Dlg", "MS Shell Dlg 2"):
        wine.run("reg", "add",
                 r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes",
                 "/v", face, "/d", "WenQuanYi Micro Hei", "/f")
    print(f"wine prefix made in {time.monotonic() - started:.0f} s")

    home, menu = install(wine, installer)
    exe = str(home / "tarvenit.exe")
    try:
        run_main_steps(wine, exe, simulator, work, work / "query.png")
        run_hangup(wine, exe, simulator, work)
    finally:
        wine.restart_server()
    uninstall(wine, home, menu)
    print("Windows end-to-end: passed")


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print(f"Windows end-to-end: FAILED: {failure}", file=sys.stderr)
        sys.exit(1)
