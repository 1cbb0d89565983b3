#!/usr/bin/python3
"""Drags the card out of the Linux dialog into programs of other toolkits, as
a user does, on a real X server: quillmark-host starts the dialog, a drop
target (GTK 3 or Qt) runs in its own process, and xdotool moves the pointer
from the QR code into the target and releases it there. The target must
receive a non-empty text/uri-list naming the .vcf (with Ctrl held, the .png)
and be able to read the file at the moment of the drop; the GTK target also
asks for every other format the drag offers, and each must deliver. Esc
then closes the dialog, which removes the pair.

Run under an X server (xvfb-run). Arguments: host, dialog, Qt drop target,
record file, scratch folder. Exits 0 when every drop delivered; prints
"N passed, M failed"."""
import json
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
host, dialog, qt_target, record, scratch = sys.argv[1:6]


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True).stdout


def wait_for(what, predicate, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            value = predicate()
        except subprocess.CalledProcessError:  # xdotool found nothing yet
            value = None
        if value:
            return value
        time.sleep(0.05)
    raise TimeoutError("waited %d s for %s" % (seconds, what))


def geometry(window):
    values = dict(line.split("=", 1) for line in xdotool("getwindowgeometry", "--shell", window).split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def start_target(command, env):
    target = subprocess.Popen(command, stdout=subprocess.PIPE, text=True, env=env)
    line = target.stdout.readline().strip()
    if line != "ready":
        raise RuntimeError("drop target did not start: %r" % line)
    return target


def drag(source_point, target_point, ctrl):
    """Press on the code, move in small steps past the drag distance and on
    to the target, release there: what a hand on a mouse does."""
    sx, sy = source_point
    tx, ty = target_point
    xdotool("mousemove", str(sx), str(sy))
    time.sleep(0.1)
    if ctrl:
        xdotool("keydown", "ctrl")
    xdotool("mousedown", "1")
    # Past the drag detection's start delay, then out of its rectangle.
    time.sleep(0.3)
    for i in range(1, 21):
        xdotool("mousemove", str(sx + (tx - sx) * i // 20), str(sy + (ty - sy) * i // 20))
        time.sleep(0.05)
    time.sleep(0.3)
    xdotool("mouseup", "1")
    if ctrl:
        xdotool("keyup", "ctrl")


def main():
    shutil.rmtree(scratch, ignore_errors=True)
    tmp = os.path.join(scratch, "tmp")
    os.makedirs(tmp)
    env = dict(os.environ, TMPDIR=tmp, XDG_CONFIG_HOME=os.path.join(scratch, "config"))
    env.pop("QT_QPA_PLATFORM", None)
    env.pop("WAYLAND_DISPLAY", None)
    folder = os.path.join(tmp, "CVTempDir")
    dialog_run = subprocess.Popen([host, "--record", record, "--metrics", "0,0", "--launch", dialog], env=env)
    passed = failed = 0
    try:
        vcf = wait_for("the card", lambda: [os.path.join(folder, f) for f in os.listdir(folder)
                                            if f.endswith(".vcf")] if os.path.isdir(folder) else None)[0]
        png = vcf[:-4] + ".png"
        window = wait_for("the dialog's window",
                          lambda: xdotool("search", "--onlyvisible", "--classname", "quillmark").split())[0]
        wx, wy, ww, wh = geometry(window)
        # The QR code fills the window below the one-line caption.
        source = (wx + ww // 2, wy + wh // 2 + 20)
        cases = [
            ("GTK 3, the .vcf", ["/usr/bin/python3", os.path.join(HERE, "gtk_drop_target.py"), "800", "100"], False, vcf),
            ("GTK 3 with Ctrl, the .png", ["/usr/bin/python3", os.path.join(HERE, "gtk_drop_target.py"), "800", "100"], True, png),
            ("Qt, the .vcf", [qt_target, "800", "100"], False, vcf),
            ("Qt with Ctrl, the .png", [qt_target, "800", "100"], True, png),
        ]
        for name, command, ctrl, expected in cases:
            target = start_target(command, env)
            target_window = wait_for("the target's window", lambda: xdotool(
                "search", "--onlyvisible", "--name", "^drop-target-").split())[0]
            tx, ty, tw, th = geometry(target_window)
            drag(source, (tx + tw // 2, ty + th // 2), ctrl)
            try:
                out, _ = target.communicate(timeout=20)
            except subprocess.TimeoutExpired:
                target.kill()
                out = ""
            report = json.loads(out.strip().splitlines()[-1]) if out.strip() else None
            with open(expected, "rb") as f:
                want = f.read().hex()
            ok = (report is not None and report["uris"] and len(report["files"]) == 1
                  and report["files"][0]["path"] == expected and report["files"][0].get("bytes") == want
                  # Whatever else the drag offers, it delivers.
                  and all(size > 0 for size in report.get("offered", {}).values()))
            detail = " ".join(sorted(report.get("offered", {}))) if ok else json.dumps(report)
            print("%s: %s %s" % ("ok" if ok else "FAILED", name, detail), flush=True)
            passed, failed = passed + ok, failed + (not ok)
        # Esc closes the dialog, and its pair goes with it.
        # No window manager here: focus the dialog directly, then type.
        xdotool("windowfocus", "--sync", window)
        xdotool("key", "Escape")
        dialog_run.wait(timeout=30)
        gone = not os.path.exists(vcf) and not os.path.exists(png)
        print("%s: the pair is removed after Esc" % ("ok" if gone else "FAILED"), flush=True)
        passed, failed = passed + gone, failed + (not gone)
    finally:
        if dialog_run.poll() is None:
            dialog_run.kill()
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
