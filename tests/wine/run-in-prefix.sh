#!/usr/bin/env bash
# run-in-prefix.sh BUILD_DIR NAME EXE [ARGS...]
# run-in-prefix.sh BUILD_DIR --template
#
# Runs a Windows program under wine in a fresh prefix of its own and exits
# with the program's exit code. With --template it only makes the template.
#
# - A template prefix is made once per build tree (BUILD_DIR/wine/template,
#   under a lock, so parallel tests share one wineboot) and copied for every
#   run, so each test starts from the same clean machine. It is a 64-bit
#   prefix; with wine32 installed it runs 32-bit programs as 64-bit Windows
#   does. It is made anew when the installed Wine or the emulator that runs
#   its 32-bit loader changes: a prefix made by another installation may no
#   longer start programs. A wineboot that fails or is cut off leaves no
#   template behind.
# - The exe's header picks the loader: the 64-bit one for a PE32+ exe and for
#   the prefix's own programs named without a path, the 32-bit one for PE32.
#   (Started through the 32-bit loader, a 64-bit program costs an extra start
#   of that loader, which is slow where i386 code is emulated.)
# - Before the program, a trivial program of the same bitness is started in
#   the run's prefix and timed. That start-up, against 2 s, gives
#   QVX_WAIT_SCALE (1 to 10, one decimal), which the end-to-end driver and
#   this script multiply their waits by: an emulated 32-bit Wine on a busy
#   machine gets longer waits, and every wait stays bounded.
# - QVX_WINDOWS_VERSION (win31, win95, win98, nt40, win2k, winxp, win7,
#   win10) sets the Windows version that the run's prefix reports.
# - Wine never sees the real home: HOME points into the build tree, the user's
#   shell folders in the prefix are plain folders inside the prefix, and
#   winemenubuilder is disabled so no .desktop files are written anywhere.
# - The program runs on $DISPLAY when set, otherwise on an Xvfb started here.
# - A line "SCREENSHOT <name>" on the program's stdout saves the screen to
#   $QVX_SCREENSHOT_DIR/<name>.png (default BUILD_DIR/screenshots) and then
#   creates C:\qvx-shots\<name>.done, which the program may wait for.
# - QVX_KEEP_PREFIX=1 keeps the prefix of a passing run (failing runs always
#   keep it) in BUILD_DIR/wine/runs/NAME.
set -uo pipefail

if [ $# -lt 3 ] && [ "${2:-}" != --template ]; then
  echo "usage: $0 BUILD_DIR NAME EXE [ARGS...] | $0 BUILD_DIR --template" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
name=$2
exe=${3:-}
shift $(($# < 3 ? $# : 3))
tools=$(cd "$(dirname "$0")/../../tools" && pwd)

wine_root=$build/wine
template=$wine_root/template
run_dir=$wine_root/runs/$name
shots=${QVX_SCREENSHOT_DIR:-$build/screenshots}
mkdir -p "$wine_root/runs" "$shots"

export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
unset WINEARCH WINELOADER WINESERVER

xvfb_pid=
cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# Xvfb picks a free display itself (-displayfd) and reports it once it
# accepts clients, so parallel runs never race for a display number.
start_xvfb() {
  local dfile=$run_dir.display
  rm -f "$dfile"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  local i
  for i in $(seq 1 100); do
    if [ -s "$dfile" ]; then
      export DISPLAY=":$(head -n1 "$dfile")"
      rm -f "$dfile"
      return 0
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "run-in-prefix: Xvfb did not start" >&2
  return 1
}

# Wine links the user's Desktop, Documents etc. to folders of $HOME. Replace
# those links by folders inside the prefix so that a copied prefix is
# self-contained and nothing reaches any home.
unlink_user_folders() {
  local link
  while IFS= read -r -d '' link; do
    rm -f "$link" && mkdir -p "$link"
  done < <(find "$1/drive_c/users" -type l -print0)
}

# The 64-bit loader: wine64 on the PATH, or where Debian keeps it; the plain
# wine where there is none (a 32-bit Wine alone).
wine64=$(command -v wine64 || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; } || echo wine)

# The optional header's magic of a PE file: 267 (PE32) or 523 (PE32+);
# nothing for anything else.
pe_magic() {
  local offset
  [ -f "$1" ] && [ "$(head -c2 "$1")" = MZ ] || return 0
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  [ -n "$offset" ] && [ "$(od -An -tx1 -j"$offset" -N4 "$1" | tr -d ' ')" = 50450000 ] || return 0
  od -An -tu2 -j$((offset + 24)) -N2 "$1" | tr -d ' '
}

loader_for() {
  if [ "$(pe_magic "$1")" = 267 ]; then echo wine; else echo "$wine64"; fi
}

# What the template was made with: the Wine packages and version, and the
# emulator that runs i386 programs, where one does.
wine_installation() {
  dpkg-query -W 'wine*' 'libwine*' 2>/dev/null
  "$wine64" --version 2>/dev/null
  "$tools/probe-i386.sh" --emulator 2>/dev/null
}

# Made under a lock; the ready mark, holding the installation's key, is
# written last and only when every step succeeded, so a template whose
# wineboot failed or was cut off is never reused.
make_template() {
  local key
  key=$(wine_installation | sha256sum | cut -d' ' -f1)
  (
    flock -w 900 9 || { echo "run-in-prefix: template lock timed out" >&2; exit 1; }
    [ -f "$template/.qvx-ready" ] && [ "$(cat "$template/.qvx-ready")" = "$key" ] && exit 0
    # What a cut-off attempt left running in the old template is ended first.
    [ -d "$template" ] && WINEPREFIX=$template wineserver -k >/dev/null 2>&1
    rm -rf "$template" "$wine_root/home-template"
    mkdir -p "$wine_root/home-template"
    export WINEPREFIX=$template HOME=$wine_root/home-template
    step() {
      local status
      "$@" >/dev/null 2>&1
      status=$?
      [ "$status" -eq 0 ] && return 0
      [ "$status" -eq 124 ] && status="was cut off" || status="failed with status $status"
      echo "run-in-prefix: making the template prefix: '$*' $status" >&2
      wineserver -k >/dev/null 2>&1
      exit 1
    }
    step timeout --foreground 600 "$wine64" wineboot -i
    # Without a window manager on Xvfb, Wine draws captions and frames itself
    # only for undecorated windows; screenshots should show the captions.
    step timeout --foreground 120 "$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f
    step timeout --foreground 120 wineserver -w
    step unlink_user_folders "$template"
    echo "$key" >"$template/.qvx-ready.new" && mv "$template/.qvx-ready.new" "$template/.qvx-ready"
  ) 9>"$wine_root/template.lock"
}

# Passes the program's output through and serves its screenshot requests.
serve_output() {
  local line shot
  while IFS= read -r line; do
    line=${line%$'\r'}
    printf '%s\n' "$line"
    if [[ $line =~ ^SCREENSHOT\ ([A-Za-z0-9_.-]+)$ ]]; then
      shot=${BASH_REMATCH[1]}
      import -display "$DISPLAY" -window root "$shots/$shot.png" 2>/dev/null ||
        echo "run-in-prefix: screenshot $shot failed" >&2
      mkdir -p "$WINEPREFIX/drive_c/qvx-shots"
      touch "$WINEPREFIX/drive_c/qvx-shots/$shot.done"
    fi
  done
}

drop_wine32_notice() {
  grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' \
    -e 'apt-get install wine32' >&2
}

if [ -z "${DISPLAY:-}" ]; then
  start_xvfb || exit 1
fi

make_template 2> >(drop_wine32_notice) || exit 1
[ -f "$template/.qvx-ready" ] || { echo "run-in-prefix: no template prefix" >&2; exit 1; }
[ "$name" = --template ] && exit 0

# A prefix holds some 700 MB of program images that no run writes to: share
# those with the template through hard links and copy every other file
# (registry, ini files, user folders), which a run may rewrite in place.
copy_prefix() {
  cp -al "$template" "$1" || return 1
  find "$1" -type f ! -iregex '.*\.\(dll\|exe\|drv\|sys\|ocx\|cpl\|acm\|ax\|ds\|tlb\|nls\|msstyles\|ttf\|fon\|sfd\)' \
    -exec sh -c 'for f; do cp -p "$f" "$f.qvx-copy" && mv -f "$f.qvx-copy" "$f"; done' sh {} +
}

rm -rf "$run_dir"
mkdir -p "$run_dir/home"
copy_prefix "$run_dir/prefix" || { echo "run-in-prefix: cannot copy the template" >&2; exit 1; }
export WINEPREFIX=$run_dir/prefix HOME=$run_dir/home
loader=$(loader_for "$exe")

# The start-up of a trivial program of the exe's bitness in this prefix, the
# first one, which also starts the prefix's wineserver and services as the
# program's own start would. A start of up to 2 s leaves the waits as they
# are written; a slower one lengthens them in proportion, up to ten times.
# A fresh prefix's first start now and then ends at once with a failure
# under parallel runs (seen about once in a hundred); such a start is tried
# again, and only the start that succeeded is timed.
for attempt in 1 2 3; do
  start=$(date +%s%N)
  timeout 120 "$loader" cmd /c exit 0 >/dev/null 2> >(drop_wine32_notice)
  status=$?
  [ "$status" -eq 0 ] && break
  echo "run-in-prefix: a trivial program's start $attempt ended with status $status" >&2
  wineserver -k >/dev/null 2>&1
  [ "$attempt" -eq 3 ] && exit 1
  sleep 1
done
startup_ms=$((($(date +%s%N) - start) / 1000000))
scale10=$((startup_ms / 200))
scale10=$((scale10 < 10 ? 10 : scale10 > 100 ? 100 : scale10))
export QVX_WAIT_SCALE=$((scale10 / 10)).$((scale10 % 10))
scaled() { echo $(($1 * scale10 / 10)); }
echo "run-in-prefix: a program starts in $startup_ms ms here; waits are scaled by $QVX_WAIT_SCALE" >&2

if [ -n "${QVX_WINDOWS_VERSION:-}" ] &&
  ! timeout "$(scaled 60)" "$wine64" reg add 'HKCU\Software\Wine' /v Version /d "$QVX_WINDOWS_VERSION" /f \
    >/dev/null 2> >(drop_wine32_notice); then
  echo "run-in-prefix: cannot set the Windows version $QVX_WINDOWS_VERSION" >&2
  exit 1
fi

# The program's output goes through a FIFO rather than a pipe: Windows
# programs that it started inherit the output, and one of them left running
# must not keep the test waiting once the program itself has ended.
fifo=$run_dir/output.fifo
mkfifo "$fifo"
serve_output <"$fifo" &
serve_pid=$!
"$loader" "$exe" "$@" >"$fifo" 2> >(drop_wine32_notice) &
wine_pid=$!
wait "$wine_pid"
rc=$?

# Let the prefix's wineserver end by itself, but never wait for it forever:
# processes the program left behind are ended.
if ! timeout "$(scaled 20)" wineserver -w; then
  echo "run-in-prefix: Windows processes were left running, ending them" >&2
  wineserver -k >/dev/null 2>&1
  timeout "$(scaled 10)" wineserver -w
fi
# The output ends once no process holds the FIFO any more; bounded all the same.
for _ in $(seq 1 50); do
  kill -0 "$serve_pid" 2>/dev/null || break
  sleep 0.1
done
kill "$serve_pid" 2>/dev/null
wait "$serve_pid" 2>/dev/null
rm -f "$fifo"

if [ "$rc" -eq 0 ] && [ -z "${QVX_KEEP_PREFIX:-}" ]; then
  rm -rf "$run_dir"
fi
exit "$rc"
