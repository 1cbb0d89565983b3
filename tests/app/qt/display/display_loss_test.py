#!/usr/bin/python3
"""The display goes away under the dialog: the X server (Xvfb) or the
Wayland compositor (weston, headless) ends while the dialog shows a card.
Qt then ends the program through exit() from inside its event loop; the
card's pair must not stay behind in the working folder.

Arguments: host, dialog, record file, scratch folder. Prints
"N passed, M failed"."""
import os
import shutil
import subprocess
import sys
import time

host, dialog, record, scratch = sys.argv[1:5]


def wait_for(predicate, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    return None


def start_x(folder):
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                              pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        display = f.readline().strip()
    return server, {"DISPLAY": ":" + display, "QT_QPA_PLATFORM": "xcb"}


def start_wayland(folder):
    runtime = os.path.join(folder, "runtime")
    os.makedirs(runtime, mode=0o700)
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    server = subprocess.Popen(["weston", "--backend=headless-backend.so", "--socket=wayland-qm", "--width=1280",
                               "--height=1024", "--idle-time=0"], env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not wait_for(lambda: os.path.exists(os.path.join(runtime, "wayland-qm")), 30):
        raise RuntimeError("weston did not start")
    return server, {"XDG_RUNTIME_DIR": runtime, "WAYLAND_DISPLAY": "wayland-qm", "QT_QPA_PLATFORM": "wayland"}


def run(name, start):
    folder = os.path.join(scratch, name)
    tmp = os.path.join(folder, "tmp")
    os.makedirs(tmp)
    server, display = start(folder)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(display, TMPDIR=tmp, XDG_CONFIG_HOME=os.path.join(folder, "config"))
    dialog_run = subprocess.Popen([host, "--record", record, "--launch", dialog], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    cards = os.path.join(tmp, "CVTempDir")
    pair = wait_for(lambda: [os.path.join(cards, f) for f in os.listdir(cards) if f.endswith((".vcf", ".png"))]
                    if os.path.isdir(cards) else None, 60)
    server.terminate()
    server.wait(timeout=30)
    try:
        dialog_run.wait(timeout=30)
    except subprocess.TimeoutExpired:
        dialog_run.kill()
    ok = bool(pair) and len(pair) == 2 and not any(os.path.exists(p) for p in pair)
    print("%s: %s: the pair is removed when the display ends %s" % ("ok" if ok else "FAILED", name,
                                                                    "" if ok else pair), flush=True)
    return ok


def main():
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    results = [run("X11", start_x), run("Wayland", start_wayland)]
    print("%d passed, %d failed" % (sum(results), len(results) - sum(results)))
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
