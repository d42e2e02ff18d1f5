#!/usr/bin/env bash
# Starts a demo station as the kiosk unit does, `cage -- glimora --kiosk`, on cage's headless
# backend; waits for READY=1 on a socket of its own, grabs the screen with grim, checks the
# picture is not blank, stops cage and checks that it and the station end.
#
#   tests/app/check-cage.sh GLIMORA DEMO_SETUP SOURCE_DIR PICTURE
#
# Exits 77 (skipped) when it cannot run here. cage refuses to run as root, so as root the
# kiosk runs as the user nobody.
set -euo pipefail
glimora=$(realpath "$1") demo_setup=$(realpath "$2") source=$(realpath "$3") picture=$4

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; [ -f "$work/cage.log" ] && tail -20 "$work/cage.log" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "run as root (the station runs as nobody, as the unit runs it as glimora)"
for tool in cage grim setpriv timeout; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps installs it)"
done
# The user the kiosk runs as needs a python3 it may execute, not a per-user shim.
python=/usr/bin/python3
[ -x "$python" ] || skip "/usr/bin/python3 is missing"

work=$(mktemp -d)
cage_pid=''
cleanup() {
    [ -f "$work/cage.log" ] && cp "$work/cage.log" "${picture%.png}.log"
    [ -n "$cage_pid" ] && kill -KILL "$cage_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
as_kiosk() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }

station=$work/station
mkdir -m 0700 "$station" "$work/run" "$work/home"
cp -R "$source/demo/." "$station/"
# A demo already set up in the source tree has its own server folder and password.
rm -rf "$station/sqldata"
password=Lobby-Kiosk-1
(cd "$station" && QT_QPA_PLATFORM=offscreen timeout 20 "$demo_setup" "$password" records.xls) \
    >"$work/setup.log" 2>&1 || fail "demo setup: $(cat "$work/setup.log")"
printf 'server=localhost\nuser=sa\npassword=%s\n' "$password" >"$station/login.credentials"
chmod 0600 "$station/login.credentials"
chown -R nobody:nogroup "$work"

# Hears the station's notifications; ends at READY=1, or fails after the time given.
notify=$work/notify
as_kiosk timeout 40 "$python" -c '
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1])
while True:
    if "READY=1" in s.recv(4096).decode(errors="replace").split("\n"):
        break
' "$notify" &
listener=$!
for _ in $(seq 50); do [ -S "$notify" ] && break; sleep 0.1; done
[ -S "$notify" ] || fail "the notification socket was not made"

started=$(date +%s%N)
# The output is turned 180 degrees (-r -r), which grim turns back: Debian 12's cage hands an
# unturned output the full-screen window's buffer directly, and grim then reads a buffer the
# compositor never painted, black whatever the station shows.
(cd "$station" && exec setpriv --reuid=nobody --regid=nogroup --clear-groups env \
    HOME="$work/home" XDG_RUNTIME_DIR="$work/run" NOTIFY_SOCKET="$notify" \
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    QT_QPA_PLATFORM=wayland QTWEBENGINE_DISABLE_SANDBOX=1 \
    cage -r -r -- "$glimora" --kiosk) >"$work/cage.log" 2>&1 &
cage_pid=$!
wait "$listener" || fail "no READY=1 within 40 s"
ready_ms=$((($(date +%s%N) - started) / 1000000))
kill -0 "$cage_pid" 2>/dev/null || fail "cage ended after READY=1"
echo "READY=1 after ${ready_ms} ms"

display=$(cd "$work/run" && ls wayland-* | grep -v '\.lock$' | head -1)
[ -n "$display" ] || fail "cage made no display"
# READY=1 follows the station's first paint; the compositor shows it on its next frame.
sleep 1
XDG_RUNTIME_DIR="$work/run" WAYLAND_DISPLAY=$display timeout 10 \
    setpriv --reuid=nobody --regid=nogroup --clear-groups grim "$work/screen.png" \
    || fail "grim could not grab the screen"
cp "$work/screen.png" "$picture"
echo "screen grabbed to $picture"

colours=$("$python" - "$work/screen.png" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
pos, idat = 8, b""
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if kind == b"IHDR":
        width, height, depth, colour = struct.unpack(">IIBB", body[:10])
    elif kind == b"IDAT":
        idat += body
    pos += 12 + length
assert depth == 8 and colour in (2, 6), "an 8-bit RGB(A) PNG is expected"
bpp = 3 if colour == 2 else 4
stride = width * bpp
raw = zlib.decompress(idat)
previous = bytearray(stride)
seen = set()
for y in range(height):
    kind = raw[y * (stride + 1)]
    line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    if kind == 1:
        for i in range(bpp, stride):
            line[i] = (line[i] + line[i - bpp]) & 255
    elif kind == 2:
        line = bytearray((a + b) & 255 for a, b in zip(line, previous))
    elif kind == 3:
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            line[i] = (line[i] + ((left + previous[i]) >> 1)) & 255
    elif kind == 4:
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = previous[i]
            c = previous[i - bpp] if i >= bpp else 0
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    # Every eighth line is enough to tell a screen from a blank one.
    if y % 8 == 0:
        seen.update(bytes(line[i:i + 3]) for i in range(0, stride, bpp))
    previous = line
print(len(seen))
PY
) || fail "could not read the picture"
echo "the picture has $colours colours"

# Stopping the unit stops cage, which must end, and the station with it.
children=$(pgrep -P "$cage_pid" || true)
kill -TERM "$cage_pid"
for _ in $(seq 50); do kill -0 "$cage_pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$cage_pid" 2>/dev/null && fail "cage did not end within 10 s of SIGTERM"
status=0
wait "$cage_pid" 2>/dev/null || status=$?
cage_pid=''
echo "cage ended with status $status"
for _ in $(seq 25); do
    alive=''
    for child in $children; do kill -0 "$child" 2>/dev/null && alive="$alive $child"; done
    [ -z "$alive" ] && break
    sleep 0.2
done
[ -z "$alive" ] || fail "cage ended but left$alive running"

[ "$colours" -gt 4 ] || fail "the screen is blank ($colours colours)"
echo "check-cage: all passed"
