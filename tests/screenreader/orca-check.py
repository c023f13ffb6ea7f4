#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What a blind operator hears, checked: the tool and its simulated module under the Orca
screen reader, in an X server of their own with a window manager and the accessibility bus.
Speech goes to speech-dispatcher's silent module; what Orca says is read from its debug log.
A fixed walk by the keyboard alone (WALK below), and after each key what must be heard,
waited for with a deadline. Exit status 0 when everything was heard; else it names what was
not, and what was said."""
import argparse, contextlib, os, pathlib, re, shutil, signal, subprocess, sys, tempfile, time

# What each language says; the walk is the same.
EXPECT = {
    "zh": {"console": "通讯记录", "search": "搜索端口", "opened": "端口：1 已打开", "baud": "波特率：",
           "silence": "“AT”发出 2 秒后，模块没有任何回应", "field": "设备名称：",
           "role": "主从角色：", "mode": "连接模式："},
    "en": {"console": "Traffic log", "search": "Search port", "opened": "Port 1: open",
           "baud": "Baud:", "silence": '2 s after "AT", the module has not answered at all',
           "field": "Name:", "role": "Role:", "mode": "Connect:"},
}
# The keys pressed, and what must be heard after them: a text, or what EXPECT calls it.
WALK = [(["Tab", "Tab"], ["search"]), (["space"], ["opened"]), (["Tab"], ["baud", "38400"]),
        (["Down"], ["56000"]), (["Up"], ["38400"]), (["Tab", "space"], ["silence"]),
        (["Tab", "Tab"], ["field"]), (["Tab"] * 11, ["role"]), (["Tab"], ["mode"]),
        (["shift+Tab"] * 18, ["console"]), (["ctrl+End", "ctrl+Home"], ["AT"])]


def wait(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise TimeoutError(what)
        time.sleep(0.1)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    pathlib.Path(path).write_text(text)


class Desk:
    """An X server, a session bus, the accessibility bus and a window manager; then the tool
    under Orca, driven by keys, and what Orca says after each one."""

    def __init__(self, root):
        self.root, self.procs, self.env, self.mark, self.heard = root, [], {}, 0, []

    def open(self):
        root, home = self.root, os.path.join(self.root, "home")
        os.makedirs(os.path.join(root, "run"), mode=0o700)
        # Orca speaks into the silent module and writes each utterance to its log.
        write(os.path.join(home, ".config", "speech-dispatcher", "speechd.conf"),
              'AddModule "dummy" "sd_dummy" ""\nDefaultModule dummy\n')
        # Orca does not flush its debug log: line-buffered, it follows the keys.
        write(os.path.join(root, "hook", "sitecustomize.py"),
              "import builtins\n_open = builtins.open\n"
              "def _lines(file, mode='r', *a, **kw):\n"
              f"    if isinstance(file, str) and file.startswith({root!r}) and 'w' in mode "
              "and not a and 'buffering' not in kw:\n"
              "        kw['buffering'] = 1\n"
              "    return _open(file, mode, *a, **kw)\n"
              "builtins.open = _lines\n")
        self.env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=os.path.join(root, "run"),
                        XDG_CONFIG_HOME=os.path.join(home, ".config"), LANG="C.UTF-8",
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", NO_AT_BRIDGE="0")
        for name in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "TARVENIT_LANG", "LC_ALL"):
            self.env.pop(name, None)
        # The X server picks a free display itself and tells which.
        read, told = os.pipe()
        self.start(["Xvfb", "-displayfd", str(told), "-screen", "0", "1280x1024x24", "-nolisten",
                    "tcp"], env=os.environ, pass_fds=(told,))
        os.close(told)
        with os.fdopen(read) as display:
            self.env["DISPLAY"] = ":" + display.readline().strip()
        bus = self.output("dbus-launch", "--sh-syntax")
        for name in ("DBUS_SESSION_BUS_ADDRESS", "DBUS_SESSION_BUS_PID"):
            self.env[name] = re.search(name + r"='?([^';]+)", bus).group(1)
        self.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        # Without a window manager no focus reaches the screen reader.
        self.start(["openbox"], stderr=open(os.path.join(root, "openbox.err"), "w"))
        wait(lambda: "window id" in self.output("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"), 30,
             "the window manager")

    def output(self, *command):
        return subprocess.run(command, env=self.env, capture_output=True, text=True).stdout

    def start(self, command, env=None, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
              **options):
        self.procs.append(subprocess.Popen(command, env=env or self.env, stdout=stdout,
                                           stderr=stderr, text=True, **options))
        return self.procs[-1]

    def close(self):
        for process in reversed(self.procs):  # a process already gone is left alone
            process.terminate()
            with contextlib.suppress(subprocess.TimeoutExpired):
                process.wait(3)
            process.kill()
        with contextlib.suppress(KeyError, OSError):
            os.kill(int(self.env["DBUS_SESSION_BUS_PID"]), signal.SIGTERM)

    def launch(self, tool, simulator, language, console):
        """True once the tool's window, given the keyboard, is heard to say `console`."""
        self.log = os.path.join(self.root, f"orca-{language}.log")
        port = self.start([simulator, "--no-command-mode"], stdout=subprocess.PIPE).stdout.readline()
        self.start([tool, "--lang", language], env=dict(self.env, TARVENIT_PORTS=port.strip()),
                   stderr=open(os.path.join(self.root, "tool.err"), "w"))
        wait(self.window, 20, "the tool's window")
        self.start(["orca", "--replace", "--debug-file", self.log],
                   env=dict(self.env, PYTHONPATH=os.path.join(self.root, "hook")))
        # Orca is up once it has spoken.
        wait(lambda: os.path.exists(self.log) and "SPEECH OUTPUT" in open(
            self.log, errors="replace").read(), 30, "Orca")
        for _ in range(5):
            self.output("xdotool", "windowactivate", "--sync", self.window())
            if not self.hear([console], 4)[1]:
                return True
        return False

    def window(self):
        found = self.output("xdotool", "search", "--onlyvisible", "--name", "^Tarvenit$").split()
        return found[0] if found else None

    def hear(self, expected, seconds=10.0):
        """Waits until every expected text has been said since the last key; each utterance
        read whole from Orca's log (it may span lines)."""
        deadline, said = time.monotonic() + seconds, []
        while True:
            with contextlib.suppress(FileNotFoundError), open(self.log, "rb") as f:
                f.seek(self.mark)
                text = f.read().decode("utf-8", "replace")
                text = text[:text.rfind("\n") + 1]  # a line still being written waits
                self.mark += len(text.encode("utf-8"))
                found = re.findall(r"SPEECH OUTPUT: '(.*?)'\s*(?:\{'established'|\n\d\d:\d\d:)", text,
                                   re.S)
                heard = [re.sub(r"\s+", " ", s).strip() for s in found]
                said, self.heard = said + heard, self.heard + heard
            missing = [e for e in expected if not any(e in s for s in said)]
            if not missing or time.monotonic() > deadline:
                return said, missing
            time.sleep(0.1)

    def key(self, key):
        """A key as a person presses it: a modifier held until the key is let go. (xdotool's
        own "key ctrl+Home" lets Ctrl go first, and a screen reader then takes the key for
        Home alone.)"""
        keys = key.split("+")
        for k in keys:
            self.output("xdotool", "keydown", k)
        time.sleep(0.05)
        for k in reversed(keys):
            self.output("xdotool", "keyup", k)


def check(tool, simulator, language, verbose, attempt=1):
    expect = EXPECT[language]
    root = tempfile.mkdtemp(prefix="orca-check-")
    desk, stage, failures = Desk(root), "desk", []
    try:
        desk.open()
        stage = "start"
        if not desk.launch(tool, simulator, language, expect["console"]):
            failures.append(("start", [expect["console"]], desk.heard))
            return failures
        for keys, expected in WALK:
            for key in keys:
                desk.key(key)
                time.sleep(0.25)  # each key its own event, as typed
            said, missing = desk.hear([expect.get(e, e) for e in expected])
            if verbose:
                print(f"  [{'+'.join(keys)}] {said}")
            if missing:
                failures.append(("+".join(keys), missing, said))
            if keys == ["ctrl+End", "ctrl+Home"] and "A" in said:
                failures.append(("ctrl+Home", ["the whole line, not its first character"], said))
    except TimeoutError as error:
        failures.append((stage, [f"{error} on {desk.env.get('DISPLAY')}"], []))
    finally:
        desk.close()
        if failures:
            print(f"  (its logs are in {root})")
        else:
            shutil.rmtree(root, ignore_errors=True)
    # A desk that does not come up (its X server or window manager) is no fault of the tool's:
    # it is set up once more before the walk counts.
    if attempt == 1 and failures and failures[0][0] == "desk":
        print(f"  (the desk did not come up: {failures[0][1]}; once more)")
        return check(tool, simulator, language, verbose, 2)
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("tool")
    parser.add_argument("simulator")
    parser.add_argument("--lang", action="append", choices=sorted(EXPECT), help="both by default")
    parser.add_argument("--verbose", action="store_true", help="print what was heard after each step")
    args = parser.parse_args()
    missing = [c for c in ("orca", "Xvfb", "openbox", "xdotool", "dbus-launch", "xdpyinfo", "xprop")
               if not shutil.which(c)]
    if missing:
        sys.exit("orca-check: missing " + ", ".join(missing) + " (scripts/deps installs them)")
    status = 0
    for language in args.lang or ["zh", "en"]:
        started = time.monotonic()
        failures = check(args.tool, args.simulator, language, args.verbose)
        status |= bool(failures)
        print(f"{language}: {'heard everything' if not failures else 'NOT HEARD'} "
              f"({time.monotonic() - started:.0f} s)")
        for step, missing, said in failures:
            print(f"  after {step}: not heard {missing}; heard {said}")
    return status


if __name__ == "__main__":
    sys.exit(main())
