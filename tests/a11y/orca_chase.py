#!/usr/bin/python3
"""A blind operator's chase, heard through the real screen reader.

Starts a throw-away desktop (Xvfb, a D-Bus session, the accessibility bus, Orca with a silent
speech server), the window on loopback feeds with a radio on a pseudo-terminal, and drives it
with keys alone. Orca's debug log records every utterance; each step waits for the sentence it
should bring. Then every focusable object is looked up over AT-SPI: none may lack a name.

    orca_chase.py HARNESS      the test
    orca_chase.py --orca ARGS  (internal) Orca with the silent speech server
    orca_chase.py --walk APP   (internal) lists APP's focusable objects without a name, and
                               presses a Tune cell through its action
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

WATCHED = "WB0RLJ"
UTTERANCE = re.compile(r"SPEECH OUTPUT: '(.*)'\s*(?:voice=\S+\s*)?\{")


def run_orca():
    """Orca as installed, speaking to nobody, beside any other Orca the user runs."""
    import builtins
    import importlib.machinery
    import importlib.util
    import types

    from orca import speechserver

    class SpeechServer(speechserver.SpeechServer):
        getFactoryName = staticmethod(lambda: "Silent")
        getSpeechServers = staticmethod(lambda: [SpeechServer()])
        getSpeechServer = staticmethod(lambda info=None: SpeechServer())
        shutdownActiveServers = staticmethod(lambda: None)
        getInfo = lambda self: ["Silent", "silent"]
        # Speaking, stopping and every setting: nothing.
        __getattr__ = lambda self, name: lambda *args, **kwargs: None

    silent = types.ModuleType("silentspeech")
    silent.SpeechServer = SpeechServer
    sys.modules["silentspeech"] = silent
    loader = importlib.machinery.SourceFileLoader("orcalauncher", "/usr/bin/orca")
    launcher = importlib.util.module_from_spec(
        importlib.util.spec_from_loader("orcalauncher", loader))
    loader.exec_module(launcher)
    launcher.otherOrcas = lambda: []
    # Line-buffered, so that each utterance can be read as soon as it is said.
    launcher.open = lambda name, mode="r": builtins.open(name, mode, buffering=1)
    sys.argv = ["orca"] + sys.argv[2:]
    sys.exit(launcher.main())


class Desktop:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="bh-orca-")
        self.processes = []
        self.env = dict(os.environ)
        for key, sub in (("HOME", ""), ("XDG_RUNTIME_DIR", "run"), ("XDG_CONFIG_HOME", "config"),
                         ("XDG_DATA_HOME", "data"), ("XDG_CACHE_HOME", "cache")):
            path = os.path.join(self.dir, sub)
            os.makedirs(path, mode=0o700, exist_ok=True)
            self.env[key] = path
        self.env.pop("QT_QPA_PLATFORM", None)
        self.log = os.path.join(self.dir, "orca.log")
        self.read = 0
        self.heard = []
        self.cursor = 0

    def start(self, args, **kwargs):
        out = open(os.path.join(self.dir, os.path.basename(args[0]) + ".out"), "w")
        process = subprocess.Popen(args, env=self.env, stdout=out, stderr=subprocess.STDOUT,
                                   **kwargs)
        self.processes.append(process)
        return process

    def wait(self, what, check, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            found = check()
            if found:
                return found
            time.sleep(0.05)
        raise AssertionError("gave up waiting for " + what)

    def up(self):
        read, write = os.pipe()
        self.start(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                    "-nolisten", "tcp"], pass_fds=(write,))
        os.close(write)
        with os.fdopen(read) as display:
            self.env["DISPLAY"] = ":" + display.readline().strip()
        bus = subprocess.run(["dbus-launch", "--sh-syntax"], env=self.env, check=True,
                             capture_output=True, text=True).stdout
        for name, value in re.findall(r"(\w+)='?([^';\n]*)'?;", bus):
            self.env[name] = value
        self.bus_pid = int(self.env["DBUS_SESSION_BUS_PID"])
        prefs = os.path.join(self.dir, "orca")
        os.makedirs(prefs)
        with open(os.path.join(prefs, "user-settings.conf"), "w") as settings:
            settings.write('{"general": {"speechServerFactory": "silentspeech", '
                           '"enableSpeech": true, "enableBraille": false, "firstStart": false}, '
                           '"profiles": {"default": {"profile": ["Default", "default"], '
                           '"pronunciations": {}, "keybindings": {}}}, '
                           '"pronunciations": {}, "keybindings": {}}')
        self.start(["/usr/bin/python3", os.path.abspath(__file__), "--orca", "-u", prefs,
                    "--debug", "--debug-file=" + self.log])
        self.expect("Screen reader on", seconds=30)

    def down(self):
        for process in reversed(self.processes):
            process.terminate()
        for process in reversed(self.processes):
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
        if hasattr(self, "bus_pid"):
            try:
                os.kill(self.bus_pid, 15)
            except ProcessLookupError:
                pass

    def utterances(self):
        try:
            with open(self.log, "rb") as log:
                log.seek(self.read)
                chunk = log.read()
        except FileNotFoundError:
            return []
        end = chunk.rfind(b"\n") + 1
        self.read += end
        # Orca ends what it says with a full stop of its own.
        said = [m.group(1).strip().removesuffix(".")
                for m in UTTERANCE.finditer(chunk[:end].decode("utf-8", "replace"))]
        self.heard += said
        return said

    def expect(self, pattern, seconds=10):
        """Waits for an utterance matching `pattern` after the last one expected; returns it."""
        since = self.cursor

        def match():
            self.utterances()
            return next((i for i in range(since, len(self.heard))
                         if re.search(pattern, self.heard[i])), None)

        try:
            found = self.wait(repr(pattern), lambda: match() is not None and match() + 1, seconds)
        except AssertionError:
            raise AssertionError("Orca never said %r; it said %r" % (pattern, self.heard[since:]))
        self.cursor = found
        return self.heard[found - 1]

    def keys(self, *keys):
        subprocess.run(["xdotool", "key", "--delay", "60"] + list(keys), env=self.env,
                       check=True)

    def type(self, text):
        subprocess.run(["xdotool", "type", "--delay", "80", text], env=self.env, check=True)


def walk(app_name):
    """Lists every focusable object of the application with an empty name, as AT-SPI shows it
    (the rows past the first of each table stand for the rest), and presses the first Tune
    cell of the list in front through its named action."""
    import pyatspi

    app = next(a for a in pyatspi.Registry.getDesktop(0) if a and a.name == app_name)
    unnamed = []
    tune = []

    def walk(obj, path):
        role = obj.getRoleName()
        if role == "table cell" and obj.name.startswith("Tune ") and \
                obj.getState().contains(pyatspi.STATE_SHOWING):
            tune.append(obj)
        if obj.getState().contains(pyatspi.STATE_FOCUSABLE) and not obj.name:
            unnamed.append("%s %s (%s)" % (role, path, ", ".join(
                "%s %r" % (c.getRoleName(), c.name) for c in list(obj)[:4] if c)))
        count = obj.childCount
        if role == "table":
            try:
                count = min(count, 2 * obj.queryTable().nColumns)
            except NotImplementedError:
                pass
        for i in range(count):
            child = obj.getChildAtIndex(i)
            if child is not None:
                walk(child, path + [i])

    walk(app, [])
    for name in unnamed:
        print(name)
    action = tune[0].queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "Tune" not in names:
        print("a Tune cell offers %r" % names)
    else:
        action.doAction(names.index("Tune"))


def chase(harness):
    desktop = Desktop()
    try:
        desktop.up()
        settings = os.path.join(desktop.env["XDG_CONFIG_HOME"], "BandhopperHarness")
        os.makedirs(settings)
        with open(os.path.join(settings, "BandhopperHarness.conf"), "w") as conf:
            # A day's lead makes any daily net's reminder due as soon as it is set.
            conf.write("[General]\nwatchList=%s\nvoice=0\nsounds=0\nreminderLeadMinutes=1440\n"
                       % WATCHED)
        desktop.env.update(QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
                           QT_QPA_PLATFORM="xcb")
        if "ASAN_OPTIONS" in desktop.env:
            # The X keyboard library hands strndup strings that end at their length, not at a
            # NUL, which strict string checks take for an overflow.
            desktop.env["ASAN_OPTIONS"] += ":strict_string_checks=0"
        desktop.start([harness, "--radio-pty", "follow,7074000,silent,unplug",
                       "--failing", "/static/spots.json"])
        # Named before it is mapped, and focus on an unmapped window is refused.
        window = desktop.wait("the window", lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--name", "^Bandhopper$"], env=desktop.env,
            capture_output=True, text=True).stdout.split(), 20)[0]
        subprocess.run(["xdotool", "windowfocus", window], env=desktop.env, check=True)
        # The watched activator's spot, once, as the lists arrive.
        desktop.expect(r"^%s at US-4011 .*, 14\.0435 CW" % WATCHED, 20)

        # Into the POTA list: it reads the first row, the keyboard stands on it.
        desktop.keys("ctrl+2")
        desktop.expect(r"^Tune \S+, \S+, [\d.]+ kHz")
        desktop.keys("ctrl+r")
        desktop.expect(r"^POTA: 54 spots$")
        # Back to the filters, the band read with its value; 20 m tells what it leaves.
        desktop.keys(*["shift+Tab"] * 5)
        desktop.expect(r"^Band: combo box")
        desktop.expect(r"^All bands")
        desktop.keys(*["Down"] * 6)
        left = desktop.expect(r"^20 metres: \d+ of 54 spots$")
        shown = int(re.search(r"(\d+) of", left).group(1))
        desktop.keys(*["Tab"] * 5)
        desktop.expect(r"^Tune \S+, \S+, 14[\d.]* kHz")
        desktop.keys("ctrl+i")
        desktop.expect(r"^54 rows, loaded \d\d:\d\d UTC, %d hidden by the filter" % (54 - shown))

        # Enter tunes the row; each outcome is said, the same one again too.
        desktop.keys("Return")
        desktop.expect(r"^Tuned 14\.\d+ ")
        desktop.keys("Return")
        desktop.expect(r"^Radio did not follow: it reports 7\.074$")
        desktop.keys("Return")
        desktop.expect(r"^No answer from the radio$")
        desktop.keys("Return")  # the adapter vanishes; the Radio tab comes to the front
        desktop.expect(r"^Radio: combo box")
        desktop.keys("ctrl+2")
        call = re.match(r"^Tune (\S+),", desktop.expect(r"^Tune ")).group(1)
        for _ in range(2):
            desktop.keys("Return")
            desktop.expect(r"^Not connected to a radio$")

        # Ctrl+L logs the row: the dialog stands on the report received, Enter logs it.
        desktop.keys("ctrl+l")
        desktop.expect(r"Report received")
        desktop.keys("Return")
        desktop.expect(r"^Logged %s on 20 m$" % re.escape(call))
        # This desktop has no window manager to give the closed dialog's focus back.
        subprocess.run(["xdotool", "windowfocus", window], env=desktop.env, check=True)

        # The search field keeps the reader; Enter there tunes the first row it leaves.
        desktop.keys("ctrl+f")
        desktop.expect(r"^Search the POTA rows")
        before = desktop.cursor
        desktop.type("a")
        desktop.expect(r"^20 metres, “a”: \d+ of 54 spots$")
        rows_read = [u for u in desktop.heard[before:] if u.startswith("Tune ")]
        assert not rows_read, "typing drew the reader to a row: %r" % rows_read
        desktop.keys("Return")
        desktop.expect(r"^Not connected to a radio$")
        desktop.keys("ctrl+shift+b")
        desktop.expect(r"^Band Conditions.*Solar flux: ")
        desktop.keys("ctrl+4")
        desktop.expect(r"^WWFF list")
        desktop.keys("ctrl+r")
        desktop.expect(r"^WWFF did not load: .*503")
        # SOTA asks for one load a minute: a refresh within it says when the next may go.
        desktop.keys("ctrl+3")
        desktop.expect(r"^SOTA list")
        desktop.keys("ctrl+r")
        desktop.expect(r"^SOTA asks for one request a minute; next at \d\d:\d\d:\d\d UTC$")

        # Remind Me on the Nets row's own cell: due at once, it is said at once.
        desktop.keys("ctrl+6")
        desktop.expect(r"Maritime Mobile Service Net")
        desktop.keys("End")
        desktop.expect(r"Remind me before Maritime Mobile Service Net starts$")
        desktop.keys("Return")
        desktop.expect(r"^Maritime Mobile Service Net starts in .+ on 14\.300")

        # In a process of its own: a lost accessibility bus aborts the process that asked.
        walked = subprocess.run(["/usr/bin/python3", os.path.abspath(__file__), "--walk",
                                 "BandhopperHarness"], env=desktop.env, capture_output=True,
                                text=True, timeout=60)
        assert walked.returncode == 0 and not walked.stdout.strip(), \
            "focusable without a name:\n%s%s" % (walked.stdout, walked.stderr)
        # The Tune cell's own action does what Enter does.
        desktop.expect(r"^Not connected to a radio$")
    finally:
        desktop.down()
        if os.environ.get("BH_KEEP_ORCA_LOG"):
            print("Orca's log: " + desktop.log)
        else:
            shutil.rmtree(desktop.dir, ignore_errors=True)
    print("Orca said, in order:\n  " + "\n  ".join(desktop.heard))


if __name__ == "__main__":
    if sys.argv[1:2] == ["--orca"]:
        run_orca()
    if sys.argv[1:2] == ["--walk"]:
        walk(sys.argv[2])
        sys.exit(0)
    for tool in ("Xvfb", "dbus-launch", "xdotool", "orca"):
        if not shutil.which(tool):
            print("skipped: %s is not installed (tools/bootstrap.sh test)" % tool)
            sys.exit(77)
    chase(os.path.abspath(sys.argv[1]))
