#!/usr/bin/env bash
# i386-emulation.sh: makes this machine run i386 programs through qemu's
# user-mode emulator where its kernel refuses them (a 64-bit-only kernel: an
# i386 execve fails with "Exec format error"). Run as root; safe to run again,
# and quick when everything is in place.
#
# - qemu-user comes from the backports suite of the machine's own Debian
#   source (the same address, signing key and components, suite
#   <codename>-backports), pinned so that nothing else is taken from there.
#   The release of the stable suite (7.2 on bookworm) runs Wine correctly but
#   some hundred times slower: it ignores MAP_FIXED_NOREPLACE, on which Wine's
#   loader relies to reserve its address ranges.
# - binfmt_misc gets an entry that hands i386 ELF executables to
#   /usr/bin/qemu-i386, with flag F: the kernel opens the emulator once, at
#   registration, so it serves programs in any mount namespace or chroot.
#   This is kernel state that a reboot loses, so it is checked on every run.
#
# Exits with 0 when i386 programs run afterwards; otherwise prints why not in
# one line on stdout and exits with 1. What it does goes to stderr.
set -uo pipefail
exec 3>&1 1>&2

here=$(dirname "$0")
qemu=/usr/bin/qemu-i386
# The oldest qemu-user measured to run Wine at speed.
qemu_min=1:10.0
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/qemu-i386
apt_get() { apt-get -o DPkg::Lock::Timeout=600 "$@"; }

say() { echo "bootstrap: $*"; }
fail() { echo "$*" >&3; exit 1; }

# The i386 ELF header that binfmt_misc matches: class 32-bit, little-endian,
# version 1, type executable or shared object (the mask ignores the lowest bit
# of e_type), machine i386 (3). The mask leaves out the OS ABI and padding.
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

qemu_version() { dpkg-query -W -f='${Version}' qemu-user 2>/dev/null; }

qemu_suitable() {
  local version
  version=$(qemu_version) && [ -n "$version" ] && [ -x "$qemu" ] &&
    dpkg --compare-versions "$version" ge "$qemu_min"
}

# Prints the stanza (deb822) or line (one-line format) of an enabled Debian
# source for suite $1, with the suite replaced by $2, followed by the format
# ("sources" or "list") on a line of its own. Nothing when there is none.
derive_source() {
  local suite=$1 new=$2 file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # Stanzas are separated by blank lines; comment lines are dropped. Field
    # names and the Enabled value are read in any case, and a field may go
    # on over lines that start with white space.
    if awk -v suite="$suite" -v new="$new" '
      BEGIN { RS = ""; FS = "\n" }
      {
        deb = 0; match_suite = 0; enabled = 1; out = ""; field = ""
        for (i = 1; i <= NF; i++) {
          line = $i
          if (line ~ /^#/) continue
          value = line
          if (line !~ /^[ \t]/) {
            field = tolower(line); sub(/:.*/, "", field)
            sub(/^[^:]*:/, "", value)
          }
          n = split(value, words, /[ \t]+/)
          for (j = 1; j <= n; j++) {
            if (field == "types" && words[j] == "deb") deb = 1
            if (field == "suites" && words[j] == suite) match_suite = 1
            if (field == "enabled" && tolower(words[j]) ~ /^(no|false|off|without|disable)$/) enabled = 0
          }
          if (field == "suites") {
            if (line !~ /^[ \t]/) out = out "Suites: " new "\n"
            continue
          }
          out = out line "\n"
        }
        if (deb && match_suite && enabled) { printf "%s", out; found = 1; exit }
      }
      END { exit found ? 0 : 1 }' "$file"; then
      echo sources
      return 0
    fi
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    # deb [options] URI suite component...
    if awk -v suite="$suite" -v new="$new" '
      $1 == "deb" {
        i = 2
        if ($2 ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
        if ($(i + 1) == suite) { $(i + 1) = new; print; found = 1; exit }
      }
      END { exit found ? 0 : 1 }' "$file"; then
      echo list
      return 0
    fi
  done
  return 1
}

# Adds <codename>-backports next to the machine's own Debian source, with a
# pin that lets only qemu-user come from it.
add_backports() {
  local codename=$1 backports=$1-backports derived format
  # Only an enabled, uncommented binary source counts: apt-get -t needs it.
  if derive_source "$backports" "$backports" >/dev/null; then
    return 0
  fi
  derived=$(derive_source "$codename" "$backports") ||
    fail "no enabled Debian apt source for $codename to take $backports from"
  format=${derived##*$'\n'}
  say "adding $backports for qemu-user alone"
  printf '%s\n' "${derived%$'\n'*}" >"/etc/apt/sources.list.d/qvx-backports.$format" &&
    cat >/etc/apt/preferences.d/qvx-backports <<EOF || fail "cannot write the apt sources for $backports"
# $backports serves qemu-user here and nothing else.
Package: qemu-user
Pin: release n=$backports
Pin-Priority: 500

Package: *
Pin: release n=$backports
Pin-Priority: -1
EOF
}

install_qemu() {
  local codename
  codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || fail "cannot tell this system's Debian release from /etc/os-release"
  add_backports "$codename" || exit 1
  say "installing qemu-user from $codename-backports"
  export DEBIAN_FRONTEND=noninteractive
  apt_get update -qq || fail "apt-get update failed"
  apt_get install -y -qq --no-install-recommends -t "$codename-backports" qemu-user >/dev/null ||
    fail "cannot install qemu-user from $codename-backports"
  qemu_suitable || fail "qemu-user $(qemu_version) is older than $qemu_min, which runs Wine at speed"
}

# The entry is in place when it is enabled, names our emulator with flag F,
# and the emulator the kernel really runs is the installed one: with flag F
# the kernel keeps the file it opened at registration, which an upgrade of
# qemu-user does not replace.
entry_current() {
  [ -f "$entry" ] && grep -qx enabled "$entry" && grep -qx "interpreter $qemu" "$entry" &&
    grep -q '^flags: .*F' "$entry" &&
    [ "$("$here/probe-i386.sh" --emulator 2>/dev/null)" = "$("$qemu" --version | head -n1)" ]
}

register_entry() {
  if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
      fail "cannot mount binfmt_misc on $binfmt (a container without the right to?)"
  fi
  grep -qx enabled "$binfmt/status" || echo 1 >"$binfmt/status" ||
    fail "binfmt_misc is disabled and cannot be enabled"
  entry_current && return 0
  say "registering $qemu for i386 programs with binfmt_misc"
  if [ -e "$entry" ]; then
    echo -1 >"$entry" || fail "cannot remove the stale binfmt_misc entry $entry"
  fi
  echo ":qemu-i386:M::$i386_magic:$i386_mask:$qemu:F" >"$binfmt/register" ||
    fail "binfmt_misc refused the entry for $qemu"
}

qemu_suitable || install_qemu
register_entry
why=$("$here/probe-i386.sh") || fail "$why even through $qemu"
entry_current || fail "i386 programs run, but not through $("$qemu" --version | head -n1)"
exit 0
