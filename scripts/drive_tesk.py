#!/usr/bin/env python3
"""Drives the real Tesk program under Xvfb as a person would, with mouse and keys.

It opens an archive, extracts it over an existing file (overwrite prompt) with an encrypted
entry (password prompt), opens the settings, adds a folder and compresses it, and checks
the files each step leaves on disk, and that the program wrote nothing into its home folder
(a fresh one, also its configuration folder). With --shots it saves PNGs of the main window, the
compress list, each prompt and the settings dialog.

Usage: drive_tesk.py PROGRAM [--shots DIR]      exits non-zero when a step fails
"""
import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

FAILURE_SHOT = os.path.join(tempfile.gettempdir(), "drive_tesk-failure.png")
TITLE = "Marvik\u00b4s Zip and Unzip utility (Beta)"


def exact(title):
    """An extended regular expression that matches just this title."""
    return "^" + "".join("\\" + c if c in ".[]()*+?{}|^$\\" else c for c in title) + "$"


def sh(*args, check=True):
    # A tool that hangs (an X call to a server gone wrong) fails the step instead.
    return subprocess.run(args, check=check, capture_output=True, text=True, timeout=60).stdout


class Screen:
    """An Xvfb display with one program on it."""

    def __init__(self):
        # Xvfb picks a free display itself and tells its number: guessing one from the lock
        # files fails once a killed server's lock was left behind on every candidate. Without
        # -noreset the server resets when its last client (the display probe) leaves, and a
        # program connecting during the reset is refused.
        reader, writer = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(writer), "-noreset", "-screen", "0",
                                      "1280x1024x24", "-dpi", "96", "-nolisten", "tcp"],
                                     pass_fds=(writer,), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        os.close(writer)
        with os.fdopen(reader) as told:
            number = told.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = f":{number}"
        os.environ["DISPLAY"] = self.display
        os.environ.pop("QT_QPA_PLATFORM", None)
        os.environ.pop("QT_QPA_PLATFORMTHEME", None)
        self.wait_for(lambda: subprocess.run(["xdpyinfo"], capture_output=True,
                                             timeout=60).returncode == 0,
                      "the display")
        self.program = None

    def wait_for(self, condition, what, seconds=15):
        end = time.time() + seconds
        while time.time() < end:
            result = condition()
            if result:
                return result
            time.sleep(0.1)
        subprocess.run(["import", "-window", "root", FAILURE_SHOT], capture_output=True,
                       timeout=60)
        state = ""
        if self.program:
            code = self.program.poll()
            state = " (the program is still running)" if code is None else \
                f" (the program ended with {code}: {self.log.read_text(errors='replace')[-500:]})"
        raise RuntimeError(f"timed out waiting for {what} at {time.strftime('%H:%M:%S')}{state}")

    def start(self, program, home):
        """Starts the program with home as its home and configuration folder."""
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
        self.log = pathlib.Path(home).parent / "program.log"
        with open(self.log, "wb") as log:
            self.program = subprocess.Popen([program], stdout=log, stderr=log, env=env)

    def window(self, title, seconds=15):
        """The X window id of the visible window whose title is exactly title."""
        def find():
            ids = sh("xdotool", "search", "--onlyvisible", "--name", exact(title),
                     check=False).split()
            return ids[-1] if ids else None
        return self.wait_for(find, f"window '{title}'", seconds)

    def gone(self, title):
        self.wait_for(lambda: not sh("xdotool", "search", "--onlyvisible", "--name",
                                     exact(title), check=False).split(),
                      f"window '{title}' to close")

    def geometry(self, window):
        values = dict(line.split("=") for line in
                      sh("xdotool", "getwindowgeometry", "--shell", window).split())
        return int(values["X"]), int(values["Y"])

    def focus(self, window, dx=None, dy=None):
        """Gives a window the keyboard: there is no window manager to do it. With dx, dy the
        pointer clicks there (relative to the window), e.g. into a text box."""
        x, y = self.geometry(window)
        if dx is not None:
            self.click(x + dx, y + dy)
        sh("xdotool", "windowfocus", "--sync", window)

    def keys(self, *keys):
        sh("xdotool", "key", "--delay", "60", *keys)

    def type(self, text):
        sh("xdotool", "type", "--delay", "10", text)

    def click(self, x, y):
        sh("xdotool", "mousemove", str(x), str(y), "click", "1")

    def shot(self, window, path):
        time.sleep(0.4)  # let the window finish painting
        if path:
            sh("import", "-window", window, path)

    def close(self):
        if self.program:
            self.program.kill()
            self.program.wait()
        # Terminated, not killed, so that the server removes its lock file.
        self.xvfb.terminate()
        try:
            self.xvfb.wait(10)
        except subprocess.TimeoutExpired:
            self.xvfb.kill()
            self.xvfb.wait()


def menu(screen, main, rights, downs):
    """Opens the File menu with a click, moves right to another menu and down to its
    item number downs (1 is the first). A menu reached with Right opens with its first
    item already highlighted; one opened by the click does not."""
    screen.focus(main, 15, 10)  # the click opens File
    time.sleep(0.3)
    if rights:
        downs = max(downs - 1, 0)
    moves = ["Right"] * rights + ["Down"] * downs
    if moves:
        screen.keys(*moves)
        time.sleep(0.3)
    screen.keys("Return")


def choose(screen, title, path):
    """Answers a file or folder chooser by typing a full path."""
    screen.focus(screen.window(title))
    time.sleep(0.3)
    screen.keys("ctrl+a")
    screen.type(path)
    screen.keys("Return")
    screen.gone(title)


def message(screen, shots, name):
    box = screen.window("Tesk")
    screen.shot(box, shots and os.path.join(shots, name))
    screen.focus(box)
    screen.keys("Return")
    screen.gone("Tesk")


def make_fixture(work):
    source = os.path.join(work, "source")
    os.makedirs(os.path.join(source, "docs", "img"))
    for name, text in (("readme.txt", "Tesk reads and writes zip archives.\n"),
                       ("docs/guide.txt", "A guide.\n" * 200),
                       ("docs/img/logo.svg", "<svg/>\n")):
        with open(os.path.join(source, name), "w") as f:
            f.write(text)
    archive = os.path.join(work, "sample.zip")
    subprocess.run(["zip", "-q", "-r", archive, "readme.txt", "docs"], cwd=source, check=True)
    with open(os.path.join(source, "notes.txt"), "w") as f:
        f.write("secret notes\n")
    subprocess.run(["zip", "-q", "-P", "tesk-pass", archive, "notes.txt"], cwd=source,
                   check=True)
    dest = os.path.join(work, "out")
    os.makedirs(dest)
    with open(os.path.join(dest, "readme.txt"), "w") as f:
        f.write("old\n")
    return source, archive, dest


def drive(program, shots):
    work = tempfile.mkdtemp(prefix="tesk-drive-")
    screen = Screen()
    try:
        source, archive, dest = make_fixture(work)
        home = os.path.join(work, "home")
        os.makedirs(home)
        screen.start(program, home)
        # The first start on a fresh machine builds the font cache: allow for it.
        main = screen.window(TITLE, seconds=180)

        menu(screen, main, 0, 1)  # File > Open Zip Archive
        choose(screen, "Open Zip Archive", archive)
        screen.shot(main, shots and os.path.join(shots, "main-archive.png"))

        menu(screen, main, 2, 1)  # Action > Extract to
        choose(screen, "Choose destination", dest)
        prompt = screen.window("File Exists")
        screen.shot(prompt, shots and os.path.join(shots, "overwrite.png"))
        screen.focus(prompt)
        screen.keys("Return")  # the focus starts on Yes
        prompt = screen.window("Enter password for encrypted file(s)")
        screen.focus(prompt)
        screen.type("tesk-pass")
        screen.shot(prompt, shots and os.path.join(shots, "password.png"))
        screen.keys("Tab", "space")  # Enter presses no button here; Ok is next in tab order
        message(screen, shots, "done.png")
        for name in ("readme.txt", "notes.txt", "docs/guide.txt", "docs/img/logo.svg"):
            with open(os.path.join(dest, name), "rb") as got, \
                 open(os.path.join(source, name), "rb") as want:
                if got.read() != want.read():
                    raise RuntimeError(f"extracted {name} differs")

        # Settings is an item of the menu bar itself, right of Action: a click opens it.
        screen.focus(main, 160, 10)
        settings = screen.window("Settings")
        screen.shot(settings, shots and os.path.join(shots, "settings.png"))
        screen.focus(settings, 100, 50)  # into the password box
        screen.type("abc")  # too short: no password, and the hint turns into a warning
        screen.shot(settings, shots and os.path.join(shots, "settings-short-password.png"))
        screen.keys("ctrl+a", "BackSpace")
        sh("xdotool", "windowclose", settings)  # the close box
        screen.gone("Settings")

        menu(screen, main, 1, 1)  # Add > Add Directory
        choose(screen, "Choose directory to compress", source)
        screen.shot(main, shots and os.path.join(shots, "main-compress.png"))
        target = os.path.join(work, "new")
        menu(screen, main, 2, 2)  # Action > Compress to
        choose(screen, "Choose name for the compressed file", target)
        message(screen, shots, "compressed.png")
        with zipfile.ZipFile(target + ".zip") as z:
            names = set(z.namelist())
            if "source/docs/img/logo.svg" not in names or z.testzip() is not None:
                raise RuntimeError(f"unexpected archive: {sorted(names)}")
        if screen.program.poll() is not None:
            raise RuntimeError("the program ended")
        # Tesk keeps no settings: nothing of it may land in the user's folders (caches aside).
        written = [os.path.relpath(os.path.join(d, f), home)
                   for d, _, files in os.walk(home) for f in files]
        written = [w for w in written if not w.startswith(".cache" + os.sep)]
        if written:
            raise RuntimeError(f"written into the home folder: {written}")
    finally:
        screen.close()
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--shots")
    args = parser.parse_args()
    if args.shots:
        os.makedirs(args.shots, exist_ok=True)
    try:
        drive(os.path.abspath(args.program), args.shots and os.path.abspath(args.shots))
    except (RuntimeError, subprocess.CalledProcessError, OSError) as e:
        print(f"drive_tesk: {e} (the screen at that moment: {FAILURE_SHOT})", file=sys.stderr)
        return 1
    print("drive_tesk: every step worked")
    return 0


if __name__ == "__main__":
    sys.exit(main())
