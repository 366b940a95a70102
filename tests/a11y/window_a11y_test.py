#!/usr/bin/env python3
"""The window driven through the accessibility bus, as a screen reader drives it.

Starts its own X server (Xvfb), session bus and accessibility bus in a scratch home, runs the
built program there and, finding every control by the name a screen reader reads out: gives
the user name, says a line and reads the reply, opens and closes each dialog, links the bot
with a second copy of the program and comes back to chatting. Everything started here is
ended here. Exit status 77 (skipped) when the Debian packages it needs are missing.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77

if sys.argv[1] == "--choose":
    # Chooses a menu entry on the bus. An entry that opens a modal dialog answers only once the
    # dialog has closed, so the test runs this as a process of its own and goes on meanwhile.
    import pyatspi
    top, entry = sys.argv[2], sys.argv[3]
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is None or a.name.lower() != "vebix":
            continue
        menu = pyatspi.findDescendant(a, lambda n: n.getRoleName() == "menu item" and
                                      n.name == top)
        item = menu and pyatspi.findDescendant(menu, lambda n: n.name == entry)
        if item:
            try:
                item.queryAction().doAction(0)
            except Exception:
                pass  # the program may have ended meanwhile (File > Exit)
            sys.exit(0)
    sys.exit(1)

VEBIX, SOURCE = sys.argv[1], sys.argv[2]
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
for tool in ("Xvfb", "dbus-daemon"):
    if not shutil.which(tool):
        print(f"{tool} is missing (scripts/vebix-dev test installs it)")
        sys.exit(SKIP)
if not os.path.exists(LAUNCHER):
    print("at-spi2-core is missing (scripts/vebix-dev test installs it)")
    sys.exit(SKIP)

started = []


def start(args, **kw):
    proc = subprocess.Popen(args, start_new_session=True, **kw)
    started.append(proc)
    return proc


def stop_all():
    for proc in reversed(started):
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGTERM)
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()


def shown():
    """The program's windows, and the named controls in them, for a failure's message."""
    try:
        import pyatspi
        lines = []
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            a = desktop.getChildAtIndex(i)
            if a is None or a.name.lower() != "vebix":
                continue

            def walk(node, depth):
                if depth > 8 or node is None:
                    return
                if node.name:
                    lines.append("  " * depth + f"{node.getRoleName()}: {node.name!r}")
                for j in range(node.childCount):
                    walk(node.getChildAtIndex(j), depth + 1)
            walk(a, 0)
        return "\n" + "\n".join(lines)
    except Exception as e:  # the failure's message must not hide the failure
        return f"(unknown: {e})"


def until(what, condition, seconds=60):
    """Waits for condition (a callable) to give something true, and returns it."""
    deadline = time.monotonic() + seconds
    while True:
        found = condition()
        if found:
            return found
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}; the program shows: {shown()}")
        time.sleep(0.05)  # a poll of the condition, not a wait for time to pass


scratch = tempfile.mkdtemp(prefix="vebix-a11y-")
try:
    env = dict(os.environ)
    for var, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "home/.config"),
                     ("XDG_DATA_HOME", "home/.local/share"), ("XDG_RUNTIME_DIR", "run")):
        env[var] = os.path.join(scratch, sub)
        os.makedirs(env[var], mode=0o700, exist_ok=True)
    docs = os.path.join(env["HOME"], "Documents")
    os.makedirs(docs)
    env.pop("QT_QPA_PLATFORM", None)
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    env["LC_ALL"] = "C.UTF-8"

    # The X server tells its display number once it listens.
    read_end, write_end = os.pipe()
    start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
           "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as display:
        env["DISPLAY"] = ":" + display.readline().strip()

    bus = start(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                 "--address=unix:path=" + os.path.join(env["XDG_RUNTIME_DIR"], "bus")],
                stdout=subprocess.PIPE, env=env, text=True)
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    start([LAUNCHER, "--launch-immediately"], env=env)
    os.environ.update(env)

    try:
        import pyatspi  # noqa: E402 - the bus must be known first
    except ImportError:
        print("python3-pyatspi is missing (scripts/vebix-dev test installs it)")
        sys.exit(SKIP)

    # The other bot: a copy of the program in a folder of its own, with its own mind.
    bea = os.path.join(scratch, "Bea")
    os.makedirs(bea)
    shutil.copy(VEBIX, os.path.join(bea, "vebix"))
    with open(os.path.join(SOURCE, "app/resources/template_mind.mdd"), "rb") as f:
        template = f.read()
    with open(os.path.join(bea, "Bea.mdd"), "wb") as f:
        f.write(template.replace(b'"Vebix"', b'"Bea"', 1))
    header = "2\r\n0\r\nvebix\r\nBea\r\n"
    with open(os.path.join(bea, "UDLP.NFO"), "w", newline="") as f:
        f.write(header)
    with open(os.path.join(bea, "UDLPX.NFO"), "w", newline="") as f:
        f.write(header + f"mind={bea}/Bea.mdd\r\nexepath={bea}/vebix\r\nshowerrors=false\r\n"
                "learn=false\r\n")

    # Our copy lives in a folder it may write, so that Enable UDLP writes beside it.
    own = os.path.join(scratch, "bin")
    os.makedirs(own)
    shutil.copy(VEBIX, os.path.join(own, "vebix"))
    # A first start: the new mind goes to the documents folder.
    program = start([os.path.join(own, "vebix")], env=env, cwd=scratch)

    def app():
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            a = desktop.getChildAtIndex(i)
            if a is not None and a.name.lower() == "vebix":
                return a
        return None

    def find(root, role, name, showing=True):
        def match(node):
            try:
                return (node.getRole() == role and node.name == name and
                        (not showing or node.getState().contains(pyatspi.STATE_SHOWING)))
            except Exception:
                return False
        return pyatspi.findDescendant(root, match)

    def window(title):
        """A top-level window of the program whose title is title (or starts with it)."""
        a = app()
        if a is None:
            return None
        for i in range(a.childCount):
            w = a.getChildAtIndex(i)
            if w is not None and w.name.startswith(title) and \
                    w.getState().contains(pyatspi.STATE_SHOWING):
                return w
        return None

    def press(root, name):
        button = until(f"button {name!r}", lambda: find(root, pyatspi.ROLE_PUSH_BUTTON, name))
        action = button.queryAction()
        for i in range(action.nActions):
            if action.getName(i) in ("Press", "press", "click", "SetFocus") or i == 0:
                action.doAction(i)
                return

    def type_into(root, name, text):
        box = until(f"text {name!r}", lambda: find(root, pyatspi.ROLE_TEXT, name))
        box.queryEditableText().setTextContents(text)

    def text_of(root, name):
        box = find(root, pyatspi.ROLE_TEXT, name)
        if box is None:
            return ""
        t = box.queryText()
        return t.getText(0, t.characterCount)

    choosers = []

    def menu(top, entry):
        """Chooses entry from the menu top."""
        choosers.append(start([sys.executable, __file__, "--choose", top, entry], env=env))

    try:
        until("the program on the bus", app)
    except AssertionError:
        desktop = pyatspi.Registry.getDesktop(0)
        print("on the bus:", [desktop.getChildAtIndex(i).name for i in range(desktop.childCount)],
              "program running:", program.poll() is None)
        raise
    names = until("the name prompt", lambda: window("User Name"))
    type_into(names, "User name", "Ann")
    press(names, "OK")

    main = until("the main window", lambda: window("Vebix \u2014 Vebix.mdd"))
    # Every control of the chat has a name to be read out.
    for role, name in ((pyatspi.ROLE_TEXT, "Conversation"), (pyatspi.ROLE_TEXT, "Your message"),
                       (pyatspi.ROLE_PUSH_BUTTON, "Say")):
        until(name, lambda: find(main, role, name))

    def say(line):
        type_into(main, "Your message", line)
        press(main, "Say")
        until(f"a reply to {line!r}",
              lambda: "<Ann> " + line + "\n<Vebix> " in text_of(main, "Conversation"))

    say("hello there")

    # Each dialog opens and closes again.
    for top, entry, title, close in (("File", "New Mind...", "New Mind", "Cancel"),
                                     ("Help", "About Vebix", "About Vebix", "OK"),
                                     ("File", "Load Mind...", "Load Mind", "Cancel")):
        menu(top, entry)
        dialog = until(title, lambda: window(title))
        press(dialog, close)
        until(f"{title} closed", lambda: window(title) is None)

    # Enable UDLP for this bot, then link it with Bea.
    menu("Tools", "Enable UDLP (bot linking)...")
    udlp = until("the UDLP dialog", lambda: window("Universal Dynamic Link Protocol"))
    until("the guide link", lambda: find(udlp, pyatspi.ROLE_LABEL, "How to link bots") or
          find(udlp, pyatspi.ROLE_STATIC, "How to link bots"))
    press(udlp, "Enable UDLP2")
    enabled = until("the enabled box", lambda: window("UDLP"))
    press(enabled, "OK")
    until("the enabled box closed", lambda: window("UDLP") is None)
    press(udlp, "Done")

    menu("Tools", "Link Bots (UDLP)...")
    finder = until("Find UDLP Bot", lambda: window("Find UDLP Bot"))
    type_into(finder, "Bot folder", bea)
    press(finder, "OK")
    until("Bea's answer", lambda: "<Bea> " in text_of(main, "Conversation"), 120)
    press(main, "Exit link mode")
    until("back to chatting", lambda: "back to chatting with Vebix" in
          text_of(main, "Conversation"), 120)
    say("nice to be back")

    menu("File", "Exit")
    assert program.wait(60) == 0, f"the program ended with {program.returncode}"
    for chooser in choosers:
        assert chooser.wait(60) == 0, "a menu entry was not found"
    print("ok")
finally:
    stop_all()
    shutil.rmtree(scratch, ignore_errors=True)
