#!/usr/bin/env bash
# The real ostrak_install.exe under Wine on the X display the Windows suite
# runs on, driven with the mouse and the keyboard as a person would: a
# release made by ostrak_release and served by python's http.server on
# loopback is installed in one run and removed in the next. Checks the files
# on the Wine drive, the registry values and the shortcut on the desktop.
#   $1 ostrak_install.exe   $2 ostrak_release (the Linux build's)
# Exit 77 (skipped) without the publisher's tool or xdotool.
set -u
exe=$1
release_tool=$2
[ -x "$release_tool" ] && command -v xdotool >/dev/null || exit 77
drive="$WINEPREFIX/drive_c"
game="$drive/Program Files/Ostrak"
key='HKCU\Software\VB and VBA Program Settings\Ostrak\GUI Settings'
work=$(mktemp -d)
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
cleanup() {
  [ -n "${server:-}" ] && kill "$server" 2>/dev/null
  [ -n "${installer:-}" ] && kill "$installer" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# What an earlier run in this prefix left (the libraries and the shortcut
# stay after an uninstall) goes first.
rm -f "$drive"/windows/syswow64/{CGZipLibrary,gdiplus,Unzip32}.dll "$drive"/users/*/Desktop/Ostrak.lnk
rm -rf "$game"
wine reg delete "$key" /f >/dev/null 2>&1

mkdir "$work/release"
echo "MZ the game" >"$work/release/ostrak.exe"
echo "alpha data" >"$work/release/a.pak"
echo "quiet music" >"$work/release/music1.ogg"
for name in CGZipLibrary.dll gdiplus.dll Unzip32.dll; do echo "MZ library $name" >"$work/release/$name"; done
"$release_tool" "$work/release" "$work/site" --seed 5 >/dev/null || { echo "ostrak_release failed"; exit 1; }
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 "$port" -d "$work/site" --protocol HTTP/1.0 >"$work/server.log" 2>&1 &
server=$!

# The id of the window whose title is exactly $1 (a regular expression),
# within 20 s; a screenshot of the screen when it does not come.
window() {
  for _ in $(seq 100); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  import -window root "$PWD/wine-$2.png" 2>/dev/null
  echo "no window \"$1\" within 20 s (screenshot: $PWD/wine-$2.png)" >&2
  return 1
}
# Clicks the button at twips x,y of the window's 5895 x 3150 design.
click() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove "$((X + WIDTH * $2 / 5895))" "$((Y + HEIGHT * $3 / 3150))" click 1
}
press() { sleep 0.3; xdotool key --window "$1" "$2"; }
start() {
  OSTRAK_SERVER="127.0.0.1:$port" wine "$exe" >>"$work/installer.log" 2>&1 &
  installer=$!
}
ended() {
  for _ in $(seq 100); do kill -0 "$installer" 2>/dev/null || return 0; sleep 0.2; done
  return 1
}

# Install: the top button, the music question (No), the offered folder, the
# success box (No).
start
main=$(window "Ostrak Installer" main) || exit 1
click "$main" 4987 1267
music=$(window "Download music\\?" music) && press "$music" n
folder=$(window "Install where\\?" folder) && press "$folder" Return
done_box=$(window "Installation complete!" done) && press "$done_box" n
ended || fail "the installer did not end after the install"
for name in dta.lst ostrak.exe a.pak CGZipLibrary.dll Unzip32.dll; do
  cmp -s "$game/$name" "$work/site/crc/$name" || fail "$name is not the served one"
done
[ -e "$game/music1.ogg" ] && fail "the music was installed although declined"
cmp -s "$drive/windows/syswow64/gdiplus.dll" "$work/site/crc/gdiplus.dll" ||
  fail "gdiplus.dll is not in the 32-bit system folder"
ls "$drive"/users/*/Desktop/Ostrak.lnk >/dev/null 2>&1 || fail "no Ostrak.lnk on the desktop"
values=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
grep -q 'LOC    REG_SZ    C:\\Program Files\\Ostrak$' <<<"$values" || fail "LOC: $values"
grep -q 'DoMu    REG_SZ    1$' <<<"$values" || fail "DoMu: $values"

# Uninstall: the middle button, Yes, OK.
start
main=$(window "Ostrak Installer" main-again) || exit 1
sleep 1
click "$main" 4987 1987
sure=$(window "Are you sure\\?" sure) && press "$sure" y
gone=$(window "Uninstall complete\\." gone) && press "$gone" Return
ended || fail "the installer did not end after the uninstall"
[ -e "$game" ] && fail "the game folder is still there"
wine reg query "$key" >/dev/null 2>&1 && fail "the settings section is still there"
[ -f "$drive/windows/syswow64/gdiplus.dll" ] || fail "the library in the system folder went too"
[ "$(grep -c 'GET /crc/' "$work/server.log")" -eq 7 ] || fail "requests: $(grep GET "$work/server.log")"
exit $((failures > 0))
