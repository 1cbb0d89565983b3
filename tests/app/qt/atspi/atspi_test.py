#!/usr/bin/python3
"""The Linux dialog as a screen reader (Orca) meets it: through the AT-SPI
accessibility bus, in another process. quillmark-host starts the dialog on a
real X server; this script reads the dialog's accessible tree with pyatspi and
drives the keyboard with xdotool:
- the window is a dialog named for what it is and the record;
- the QR code is a named image with the actions "press" (open) and
  "showMenu", and has the keyboard focus at start;
- the caption is a label whose text is the caption's plain text, with a link
  ("Größer") that has an action; Tab moves the focus to the link and Enter on
  it shows the large code, whose caption has no link, so the focus goes back
  to the code;
- Shift+F10 opens the code's menu, whose vCard 3.0 entry is checkable.

Run inside dbus-run-session under an X server (xvfb-run). Arguments: host,
dialog, record file, scratch folder. Prints "N passed, M failed"."""
import os
import shutil
import subprocess
import sys
import time

host, dialog, record, scratch = sys.argv[1:5]
results = []


def check(name, ok, detail=""):
    results.append(bool(ok))
    print("%s: %s%s" % ("ok" if ok else "FAILED", name, "" if ok else " (%s)" % (detail,)), flush=True)


def pump(seconds):
    """Lets AT-SPI's events in (pyatspi keeps its view of the tree, the
    applications on the bus among it, up to date from them)."""
    from gi.repository import GLib
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while GLib.MainContext.default().iteration(False):
            pass
        time.sleep(0.01)


def wait_for(what, predicate, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            value = predicate()
        except Exception:  # the tree changes while it is read
            value = None
        if value:
            return value
        pump(0.1)
    raise TimeoutError("waited %d s for %s" % (seconds, what))


def main():
    shutil.rmtree(scratch, ignore_errors=True)
    tmp = os.path.join(scratch, "tmp")
    os.makedirs(tmp)
    # The accessibility bus of this session, as a desktop session starts it.
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    # Clients (this one and the dialog) find the accessibility bus through
    # the launcher: it must answer before either looks.
    wait_for("the accessibility bus", lambda: subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
        capture_output=True).returncode == 0, 10)
    import gi
    gi.require_version("Atspi", "2.0")
    import pyatspi  # noqa: E402  (after the bus is up)

    env = dict(os.environ, TMPDIR=tmp, XDG_CONFIG_HOME=os.path.join(scratch, "config"),
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    env.pop("QT_QPA_PLATFORM", None)
    env.pop("WAYLAND_DISPLAY", None)
    run = subprocess.Popen([host, "--record", record, "--metrics", "0,0", "--launch", dialog], env=env)
    try:
        # The desktop's list of applications is read once and then kept up
        # to date by events: it is first read when the dialog is up, which
        # it is once its card is written.
        folder = os.path.join(tmp, "CVTempDir")
        wait_for("the card", lambda: os.path.isdir(folder) and any(f.endswith(".vcf") for f in os.listdir(folder)))
        desktop = pyatspi.Registry.getDesktop(0)

        def find(node, predicate):
            if predicate(node):
                return node
            for i in range(node.childCount):
                child = node.getChildAtIndex(i)
                if child is not None:
                    found = find(child, predicate)
                    if found is not None:
                        return found
            return None

        def app():
            for i in range(desktop.childCount):
                a = desktop.getChildAtIndex(i)
                if a is not None and a.name == "Quillmark":
                    return a
            return None

        def role_named(role):
            return lambda n: n.getRoleName() == role

        window = wait_for("the dialog with a card", lambda: find(
            app(), lambda n: n.getRoleName() == "dialog" and n.name.startswith("Visitenkarte als QR-Code: ")))
        check("the window is a dialog named for the card", True)
        image = find(window, role_named("image"))
        check("the code is an image with the card's name",
              image is not None and image.name.startswith("QR-Code der Visitenkarte von Anna Berg"),
              image and image.name)
        actions = image.queryAction()
        names = [actions.getName(i) for i in range(actions.nActions)]
        check("the code's actions open the card and show its menu",
              "Press" in names and "ShowMenu" in names, names)

        caption = find(window, lambda n: n.getRoleName() == "label" and "|" in n.name)
        text = caption.queryText().getText(0, -1) if caption is not None else ""
        check("the caption exposes its text", text == caption.name and text.endswith("| Gr\u00f6\u00dfer"), text)
        link = find(caption, role_named("link")) if caption is not None else None
        check("the caption's link is a link with an action",
              link is not None and link.name == "Gr\u00f6\u00dfer" and link.queryAction().nActions >= 1,
              link and link.name)

        wid = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", "quillmark"],
                             capture_output=True, text=True).stdout.split()[0]
        # No window manager here: the test gives the window the input focus.
        subprocess.run(["xdotool", "windowfocus", "--sync", wid], check=True)
        check("the code has the keyboard focus at start",
              wait_for("the code's focus", lambda: image.getState().contains(pyatspi.STATE_FOCUSED), 10))
        subprocess.run(["xdotool", "key", "Tab"], check=True)
        check("Tab moves the focus to the link",
              wait_for("the link's focus", lambda: link.getState().contains(pyatspi.STATE_FOCUSED), 10))
        subprocess.run(["xdotool", "key", "Return"], check=True)
        # The large code's caption has no link: the focus goes back to the code.
        large = wait_for("the large code", lambda: find(
            window, lambda n: n.getRoleName() == "label" and n.name.startswith("QRCode:") and "|" not in n.name), 20)
        check("Enter on the link shows the large code, the focus returns to the code",
              large.childCount == 0 and wait_for("the code's focus", lambda: find(window, role_named("image")).getState().contains(
                  pyatspi.STATE_FOCUSED), 10))
        # A popup menu is no child of the application in the tree: a screen
        # reader follows the focus events of its entries, and so does this.
        from gi.repository import Atspi
        entries = {}

        def focused(event):
            if event.detail1 == 1 and event.source is not None:
                entries[event.source.name] = event.source

        listener = Atspi.EventListener.new(focused)
        listener.register("object:state-changed:focused")
        subprocess.run(["xdotool", "key", "shift+F10"], check=True)
        older = "F\u00fcr \u00e4ltere Telefone (vCard 3.0)"
        deadline = time.monotonic() + 10
        while older not in entries and time.monotonic() < deadline:
            subprocess.run(["xdotool", "key", "Down"], check=True)
            pump(0.3)
        item = entries.get(older)
        check("Shift+F10 opens the menu, its vCard 3.0 entry is a check box, not checked",
              item is not None and item.getRoleName() == "check box"
              and not item.getState().contains(pyatspi.STATE_CHECKED),
              sorted(entries) if item is None else item.getRoleName())
        # Enter on it switches to vCard 3.0: the card is written anew.
        subprocess.run(["xdotool", "key", "Return"], check=True)
        vcf = [os.path.join(folder, f) for f in os.listdir(folder) if f.endswith(".vcf")][0]
        check("Enter on the entry writes the card as vCard 3.0",
              wait_for("the 3.0 card", lambda: "VERSION:3.0" in open(vcf, encoding="utf-8").read(), 10))
    except TimeoutError as e:
        seen = [desktop.getChildAtIndex(i).name for i in range(desktop.childCount)]
        a = app()
        if a is not None:
            seen += ["%s %r" % (a.getChildAtIndex(i).getRoleName(), a.getChildAtIndex(i).name) for i in range(a.childCount)]
        check("reading the dialog", False, "%s; on the bus: %s" % (e, seen))
    finally:
        if run.poll() is None:
            subprocess.run(["xdotool", "key", "Escape"])
            try:
                run.wait(timeout=10)
            except subprocess.TimeoutExpired:
                run.kill()
        bus.terminate()
    passed = sum(results)
    print("%d passed, %d failed" % (passed, len(results) - passed))
    return 0 if passed == len(results) and results else 1


if __name__ == "__main__":
    sys.exit(main())
