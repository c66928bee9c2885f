#!/usr/bin/env bash
# run-in-prefix.sh BUILD_DIR NAME EXE [ARGS...]
#
# Runs a Windows program under wine in a fresh prefix of its own and exits
# with the program's exit code.
#
# - A template prefix is made once per build tree (BUILD_DIR/wine/template,
#   under a lock, so parallel tests share one wineboot) and copied for every
#   run, so each test starts from the same clean machine. It is a 64-bit
#   prefix; with wine32 installed it runs 32-bit programs as 64-bit Windows
#   does. It is made anew when the installed Wine changes: a prefix made by
#   another Wine installation may no longer start programs.
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

if [ $# -lt 3 ]; then
  echo "usage: $0 BUILD_DIR NAME EXE [ARGS...]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
name=$2
exe=$3
shift 3

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

# What the template was made with: the Wine packages and version.
wine_installation() {
  dpkg-query -W 'wine*' 2>/dev/null
  wine --version 2>/dev/null
}

make_template() {
  local key
  key=$(wine_installation | sha256sum | cut -d' ' -f1)
  (
    flock -w 300 9 || { echo "run-in-prefix: template lock timed out" >&2; exit 1; }
    [ -f "$template/.qvx-ready" ] && [ "$(cat "$template/.qvx-ready")" = "$key" ] && exit 0
    rm -rf "$template" "$wine_root/home-template"
    mkdir -p "$wine_root/home-template"
    export WINEPREFIX=$template HOME=$wine_root/home-template
    timeout 180 wineboot -i >/dev/null 2>&1
    # Without a window manager on Xvfb, Wine draws captions and frames itself
    # only for undecorated windows; screenshots should show the captions.
    timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    timeout 60 wineserver -w
    unlink_user_folders "$template"
    echo "$key" >"$template/.qvx-ready"
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
if [ -n "${QVX_WINDOWS_VERSION:-}" ] &&
  ! timeout 60 wine reg add 'HKCU\Software\Wine' /v Version /d "$QVX_WINDOWS_VERSION" /f \
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
wine "$exe" "$@" >"$fifo" 2> >(drop_wine32_notice) &
wine_pid=$!
wait "$wine_pid"
rc=$?

# Let the prefix's wineserver end by itself, but never wait for it forever:
# processes the program left behind are ended.
if ! timeout 20 wineserver -w; then
  echo "run-in-prefix: Windows processes were left running, ending them" >&2
  wineserver -k >/dev/null 2>&1
  timeout 10 wineserver -w
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
