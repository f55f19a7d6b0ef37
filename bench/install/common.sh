# Sourced by bench/install/run and bench/install/run-wine: the releases, the
# server, the timing and the installer's runs both scripts share. Before
# sourcing, the script sets me (its name), driver (the Linux build's
# headless_install) and release (the Linux build's ostrak_release); see run
# for the environment it reads. Whose driver a run starts is sys: linux here,
# and a script that sets sys to another name defines <sys>_driver_cmd,
# <sys>_reset and <sys>_library for it (run-wine: windows).
runs=${RUNS:-3}
large_files=${LARGE_FILES:-16}
large_mib=${LARGE_MIB:-64}
small_files=${SMALL_FILES:-255}
small_kib=${SMALL_KIB:-16}
nginx=/usr/sbin/nginx
timebin=/usr/bin/time
sys=linux

# need FILE HINT: FILE must be an executable (or names a missing command).
need() {
  if [[ -z $1 || ! -x $1 ]]; then
    echo "$me: missing ${1:-curl} ($2)" >&2
    exit 1
  fi
}
for tool in "$driver" "$release" "$nginx" "$timebin" "$(command -v curl || true)"; do
  need "$tool" "build the targets headless_install and ostrak_release; scripts/install-deps installs nginx, curl, time"
done

tmp_parent=${BENCH_TMP:-${TMPDIR:-/tmp}}
need_kib=$(((2 * large_files * large_mib + 64) * 1024))
free_kib=$(df -Pk "$tmp_parent" | awk 'NR == 2 { print $4 }')
if ((free_kib < need_kib)); then
  echo "$me: $tmp_parent has $((free_kib / 1024)) MiB free, $((need_kib / 1024)) MiB are needed (set BENCH_TMP)" >&2
  exit 1
fi

work=$(mktemp -d "$tmp_parent/ostrak-bench-install-XXXXXX")
nginx_pid=
# What a script adds to the end of the run (run-wine: the Wine server).
cleanup_more() { :; }
cleanup() {
  if [[ -n $nginx_pid ]]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  cleanup_more
  rm -rf "$work"
}
trap cleanup EXIT

load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)
mkdir -p "$work/nginx" "$work/runtime" "$work/curl"
chmod 700 "$work/runtime"

# make_release NAME COUNT BYTES: a source folder of COUNT random files of
# BYTES plus the executable and the libraries, published as $work/NAME/crc
# (the source is removed once published).
make_release() {
  local name=$1 count=$2 bytes=$3 src=$work/src-$1 i
  mkdir -p "$src"
  for f in ostrak.exe CGZipLibrary.dll gdiplus.dll Unzip32.dll; do
    head -c 16384 /dev/urandom > "$src/$f"
  done
  for ((i = 1; i <= count; i++)); do
    head -c "$bytes" /dev/urandom > "$(printf '%s/data%03d.pak' "$src" "$i")"
  done
  "$release" "$src" "$work/$name" --seed 7 > "$work/release-$name.txt" || {
    echo "$me: ostrak_release failed for the $name release" >&2
    exit 1
  }
  rm -rf "$src"
}
echo "Publishing $large_files files of $large_mib MiB and $small_files files of $small_kib KiB..."
make_release large "$large_files" $((large_mib * 1024 * 1024))
make_release small "$small_files" $((small_kib * 1024))

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
large_port=$(free_port)
small_port=$(free_port)
cat > "$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
error_log $work/nginx/error.log;
pid $work/nginx/nginx.pid;
events { worker_connections 64; }
http {
  access_log off;
  default_type application/octet-stream;
  sendfile on;
  client_body_temp_path $work/nginx/client_body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server { listen 127.0.0.1:$large_port; root $work/large; }
  server { listen 127.0.0.1:$small_port; root $work/small; }
}
CONF
"$nginx" -p "$work/nginx" -e "$work/nginx/error.log" -c "$work/nginx/nginx.conf" &
nginx_pid=$!
for port in "$large_port" "$small_port"; do
  for _ in $(seq 100); do
    if curl -s -o /dev/null --http1.0 "http://127.0.0.1:$port/crc/dta.lst"; then break; fi
    sleep 0.1
  done
done

# The files the installer stores, in the order it fetches them; the version
# text comes first over the wire but is not stored.
release_files() { # name
  echo dta.lst
  echo ostrak.exe
  (cd "$work/$1/crc" && ls data*.pak)
  printf '%s\n' CGZipLibrary.dll gdiplus.dll Unzip32.dll
}
release_files large > "$work/large-files.txt"
release_files small > "$work/small-files.txt"
large_count=$(wc -l < "$work/large-files.txt")
small_count=$(wc -l < "$work/small-files.txt")

# One timed command, stdout to OUT: appends "wall user sys maxrss_kib" to
# RESULT and keeps the command's stdout in $work/last.txt unless OUT is
# /dev/null.
timed() { # RESULT OUT command...
  local result=$1 out=$2
  shift 2
  sync
  "$timebin" -f '%e %U %S %M' -o "$work/time.txt" "$@" > "$out" 2> "$work/stderr.txt" || {
    echo "$me: failed: $*" >&2
    cat "$work/stderr.txt" "$out" >&2 2>/dev/null || true
    exit 1
  }
  tail -n 1 "$work/time.txt" >> "$result"
}

# The installer's command in cmd: a home of its own (settings, desktop,
# system folder), the lock's folder, and the server; the folder it installs
# into is $game.
home=$work/home
game=$home/Games/Ostrak
linux_driver_cmd() { # port arguments...
  cmd=(env -u WINEPREFIX HOME="$home" XDG_CONFIG_HOME="$home/.config"
    XDG_RUNTIME_DIR="$work/runtime" OSTRAK_SERVER="127.0.0.1:$1" "$driver" "${@:2}")
}
linux_reset() { :; }
# Where the installer puts the library that goes to the system folder.
linux_library() { echo "$home/.local/lib/$1"; }
driver_cmd() { "${sys}_driver_cmd" "$@"; }
fresh_home() {
  rm -rf "$home"
  mkdir -p "$home/Desktop" "$home/Games/Ostrak"
  "${sys}_reset"
}

# The installer's own line must say that the expected number of files was
# fetched; the time it gives for the action (without the process's start
# and end) goes to RESULT.
check_driver() { # expected RESULT
  if ! grep -q "^installed: $1 files fetched, 0 failed attempts" "$work/last.txt"; then
    echo "$me: expected $1 files fetched without failures; the installer said:" >&2
    cat "$work/last.txt" "$work/stderr.txt" >&2
    exit 1
  fi
  sed -n 's/^installed: .* attempts, \([0-9]*\) ms;.*/\1/p' "$work/last.txt" >> "$2"
}

install_release() { # name port count
  fresh_home
  driver_cmd "$2" install "$game"
  timed "$work/$sys-$1-install.txt" "$work/last.txt" "${cmd[@]}"
  check_driver "$3" "$work/$sys-$1-install-ms.txt"
}

# The up-to-date rerun of an installed release: it fetches the list again,
# nothing else.
rerun_release() { # name port
  driver_cmd "$2" install "$game"
  timed "$work/$sys-$1-rerun.txt" "$work/last.txt" "${cmd[@]}"
  check_driver 1 "$work/$sys-$1-rerun-ms.txt"
}

# cat of the files whose checksums the rerun computes (the list, ostrak.exe,
# the listed files).
cat_release() { # name
  local files=()
  mapfile -t files < <(grep -v '[.]dll$' "$work/$1-files.txt")
  (cd "$game" && timed "$work/$1-cat.txt" /dev/null cat "${files[@]}")
}

# The copies in FOLDER (the installer's when it is $game) must equal what
# the server holds.
compare_copies() { # name folder
  local f
  while read -r f; do
    local served=$work/$1/crc/$f
    local copy=$2/$f
    [[ $f = gdiplus.dll && $2 = "$game" ]] && copy=$("${sys}_library" "$f")
    cmp -s "$served" "$copy" || { echo "$me: $copy differs from the served file" >&2; exit 1; }
  done < "$work/$1-files.txt"
}

# The idle window, RUNS times: started, left to itself for half a second,
# cancelled.
idle_runs() {
  : > "$work/$sys-idle.txt"
  for _ in $(seq "$runs"); do
    fresh_home
    driver_cmd "$large_port" idle
    timed "$work/$sys-idle.txt" /dev/null "${cmd[@]}"
  done
}

# Empties the results gathered so far (those of a warm-up round).
forget_results() {
  local f
  for f in "$work"/*-{install,install-ms,rerun,rerun-ms,cat,curl,cksum,baseline}.txt; do
    if [[ -e $f ]]; then : > "$f"; fi
  done
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
stats() { # file -> "wall cpu rss_mib"
  local wall cpu rss
  wall=$(awk '{ print $1 }' "$1" | median)
  cpu=$(awk '{ print $2 + $3 }' "$1" | median)
  rss=$(awk '{ print $4 }' "$1" | median)
  awk -v w="$wall" -v c="$cpu" -v r="$rss" 'BEGIN { printf "%.2f %.2f %.1f\n", w, c, r / 1024 }'
}
