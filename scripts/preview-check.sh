#!/usr/bin/env bash
# Opens unkiln's preview of the sample adventure in a real browser: headless
# Chromium loads index.html from its folder, and the check fails when the page
# logs an error or an image does not load. The screenshot of the whole page is
# left in BUILD/preview-check.png for a look.
#
#   scripts/preview-check.sh [BUILD]     (default: build, as the README's commands make it)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

if ! command -v chromium >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q chromium
fi

cmake --build "$build" --target sample unkiln -j2 >/dev/null
out="$build/preview-check"
rm -rf "$out"
"$build/bin/unkiln" preview "$build"/sample/Quest/*.pdb -o "$out" --scale 2
python3 - "$out/index.html" "$build/preview-check.png" <<'EOF'
# Drives Chromium through its DevTools protocol on a pipe (file descriptors 3
# and 4, messages ended by a zero byte): standard library only.
import base64, json, os, pathlib, signal, subprocess, sys, tempfile

page = pathlib.Path(sys.argv[1]).resolve().as_uri()
shot = sys.argv[2]
signal.alarm(180)

to_chrome, from_chrome = os.pipe(), os.pipe()
fds = [os.dup(fd) for fd in (to_chrome[0], from_chrome[1])]  # away from 3 and 4
def child():
    os.dup2(fds[0], 3)
    os.dup2(fds[1], 4)
profile = tempfile.mkdtemp()
chrome = subprocess.Popen(
    ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
     "--no-first-run", "--user-data-dir=" + profile, "--remote-debugging-pipe", "about:blank"],
    preexec_fn=child, pass_fds=(3, 4), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
os.close(to_chrome[0]); os.close(from_chrome[1])
writer, reader = os.fdopen(to_chrome[1], "wb"), os.fdopen(from_chrome[0], "rb")

problems, events, buffer, next_id = [], [], b"", 0
def read_message():
    global buffer
    while b"\0" not in buffer:
        chunk = reader.read1(1 << 16)
        if not chunk:
            sys.exit("preview-check: Chromium closed the connection")
        buffer += chunk
    message, buffer = buffer.split(b"\0", 1)
    return json.loads(message)

def note(event):
    method, p = event.get("method"), event.get("params", {})
    if method == "Runtime.consoleAPICalled" and p.get("type") in ("error", "assert"):
        problems.append("console error: " + " ".join(str(a.get("value", a.get("description"))) for a in p["args"]))
    elif method == "Runtime.exceptionThrown":
        problems.append("exception: " + p["exceptionDetails"].get("text", ""))
    elif method == "Log.entryAdded" and p["entry"]["level"] == "error":
        problems.append("console error: " + p["entry"]["text"] + " " + p["entry"].get("url", ""))
    elif method == "Network.loadingFailed":
        problems.append("failed to load: " + p.get("errorText", "") + " " + p.get("requestId", ""))
    events.append(method)

def call(method, session=None, **params):
    global next_id
    next_id += 1
    message = {"id": next_id, "method": method, "params": params}
    if session:
        message["sessionId"] = session
    writer.write(json.dumps(message).encode() + b"\0")
    writer.flush()
    while True:
        reply = read_message()
        if reply.get("id") == next_id:
            if "error" in reply:
                sys.exit("preview-check: %s: %s" % (method, reply["error"]))
            return reply["result"]
        note(reply)

target = call("Target.createTarget", url="about:blank")["targetId"]
s = call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
for domain in ("Page", "Runtime", "Log", "Network"):
    call(domain + ".enable", s)
call("Emulation.setDeviceMetricsOverride", s, width=1280, height=900, deviceScaleFactor=1, mobile=False)
call("Page.navigate", s, url=page)
while "Page.loadEventFired" not in events:
    note(read_message())
broken = call("Runtime.evaluate", s, returnByValue=True, expression=
    "[...document.images].filter(i => !i.complete || i.naturalWidth === 0).map(i => i.getAttribute('src'))")
problems += ["image does not load: " + src for src in broken["result"]["value"]]
count = call("Runtime.evaluate", s, returnByValue=True, expression="document.images.length")["result"]["value"]
size = call("Page.getLayoutMetrics", s)["cssContentSize"]
height = min(int(size["height"]), 16000)
data = call("Page.captureScreenshot", s, format="png", captureBeyondViewport=True,
            clip={"x": 0, "y": 0, "width": 1280, "height": height, "scale": 1})["data"]
pathlib.Path(shot).write_bytes(base64.b64decode(data))
call("Browser.close")
chrome.wait(timeout=30)
for p in problems:
    print("preview-check:", p, file=sys.stderr)
if problems:
    sys.exit(1)
print("preview-check: %d images loaded, no errors; screenshot %s (1280 x %d)" % (count, shot, height))
EOF
