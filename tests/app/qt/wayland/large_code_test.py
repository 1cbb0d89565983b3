#!/usr/bin/python3
"""The large code on a real Wayland compositor (weston, headless, one output
of 1280 x 1024): quillmark-host starts the dialog, the caption's link
"Größer" is pressed through its accessible action (the way a screen reader
user presses it; weston's headless backend has no input devices), and a
screenshot of the whole output is taken with weston-screenshooter.

Run inside dbus-run-session. Arguments: host, dialog, record file, scratch
folder. Leaves scratch/output.png (the output) and scratch/card.vcf (the card
shown) for the caller to decode and compare; exits non-zero on failure."""
import glob
import os
import shutil
import subprocess
import sys
import time

host, dialog, record, scratch = sys.argv[1:5]


def pump(seconds):
    from gi.repository import GLib
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while GLib.MainContext.default().iteration(False):
            pass
        time.sleep(0.01)


def wait_for(what, predicate, seconds=60):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            value = predicate()
        except Exception:  # the accessible tree changes while it is read
            value = None
        if value:
            return value
        pump(0.1)
    raise TimeoutError("waited %d s for %s" % (seconds, what))


def find(node, predicate):
    if node is None:
        return None
    if predicate(node):
        return node
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), predicate)
        if found is not None:
            return found
    return None


def main():
    shutil.rmtree(scratch, ignore_errors=True)
    tmp = os.path.join(scratch, "tmp")
    runtime = os.path.join(scratch, "runtime")
    os.makedirs(tmp)
    os.makedirs(runtime, mode=0o700)
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    wait_for("the accessibility bus", lambda: subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
        capture_output=True).returncode == 0, 10)
    import gi
    gi.require_version("Atspi", "2.0")
    import pyatspi  # noqa: E402  (after the bus is up)

    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env["XDG_RUNTIME_DIR"] = runtime
    # --debug lets weston-screenshooter ask for the output's pixels, which
    # the pixman renderer draws (the headless default draws none).
    weston = subprocess.Popen(["weston", "--backend=headless-backend.so", "--socket=wayland-qm", "--width=1280",
                               "--height=1024", "--idle-time=0", "--use-pixman", "--debug"], env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    run = None
    try:
        wait_for("weston", lambda: os.path.exists(os.path.join(runtime, "wayland-qm")), 30)
        env.update(WAYLAND_DISPLAY="wayland-qm", QT_QPA_PLATFORM="wayland", TMPDIR=tmp,
                   XDG_CONFIG_HOME=os.path.join(scratch, "config"), QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        run = subprocess.Popen([host, "--record", record, "--launch", dialog], env=env,
                               stdout=subprocess.DEVNULL, stderr=open(os.path.join(scratch, "log.txt"), "w"))
        folder = os.path.join(tmp, "CVTempDir")
        wait_for("the card", lambda: os.path.isdir(folder) and any(f.endswith(".vcf") for f in os.listdir(folder)))
        desktop = pyatspi.Registry.getDesktop(0)

        def app():
            return next((a for a in (desktop.getChildAtIndex(i) for i in range(desktop.childCount))
                         if a is not None and a.name == "Quillmark"), None)

        link = wait_for("the caption's link", lambda: find(
            app(), lambda n: n.getRoleName() == "link" and n.name == "Gr\u00f6\u00dfer"))
        link.queryAction().doAction(0)
        # The large code's caption has no link.
        wait_for("the large code", lambda: find(
            app(), lambda n: n.getRoleName() == "label" and n.name.startswith("QRCode:") and "|" not in n.name))
        vcf = [os.path.join(folder, f) for f in os.listdir(folder) if f.endswith(".vcf")]
        shutil.copyfile(vcf[0], os.path.join(scratch, "card.vcf"))
        # The compositor shows the new size with one of the next frames:
        # shots are taken until two in a row are the same.
        def shot():
            for old in glob.glob(os.path.join(scratch, "wayland-screenshot-*.png")):
                os.remove(old)
            subprocess.run(["weston-screenshooter"], env=env, cwd=scratch, check=True, timeout=30)
            with open(glob.glob(os.path.join(scratch, "wayland-screenshot-*.png"))[0], "rb") as f:
                return f.read()
        previous, current = None, shot()
        for _ in range(50):
            if current == previous:
                break
            previous, current = current, shot()
        with open(os.path.join(scratch, "output.png"), "wb") as f:
            f.write(current)
        return 0
    finally:
        if run is not None:
            run.terminate()
            run.wait(timeout=30)
        weston.terminate()
        weston.wait(timeout=30)
        bus.terminate()


if __name__ == "__main__":
    sys.exit(main())
