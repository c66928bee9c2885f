#!/usr/bin/env bash
# probe-i386.sh [--emulator]: exits with 0 when this machine executes i386
# programs, the kind the 32-bit Wine loader is. Otherwise it prints why not in
# one line and exits with 1.
#
# With --emulator it also prints, on success, the version line of the qemu
# user-mode emulator that the kernel hands i386 programs to (binfmt_misc), and
# nothing where the kernel runs them itself: qemu-user answers QEMU_VERSION in
# the environment by printing its version instead of running the program.
#
# The probe is a 96-byte static i386 ELF program written here byte by byte
# (no i386 compiler needed): an ELF header, one loadable segment at
# 0x08048000, and the code `mov eax, 1; mov ebx, 42; int 0x80`, the exit
# system call with status 42.
set -uo pipefail

dir=$(mktemp -d) || { echo "cannot make a temporary folder for the i386 probe"; exit 1; }
trap 'rm -rf "$dir"' EXIT
probe=$dir/exit42

# ELF header: 32-bit, little-endian, an i386 executable entered at
# 0x08048054, one program header at offset 52, no section headers.
elf_header='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
elf_header+='\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
elf_header+='\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00'
elf_header+='\x00\x00\x00\x00\x00\x00'
# Program header: the whole 96-byte file loaded at 0x08048000, read+execute.
segment='\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
segment+='\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
code='\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'
if ! printf '%b' "$elf_header$segment$code" >"$probe" || ! chmod +x "$probe"; then
  echo "cannot write the i386 probe to $dir"
  exit 1
fi

error=$("$probe" 2>&1)
status=$?
if [ "$status" -eq 42 ]; then
  if [ "${1:-}" = --emulator ]; then
    QEMU_VERSION=1 "$probe" 2>/dev/null | head -n1
  fi
  exit 0
fi
if [ "$status" -eq 126 ] || [ "$status" -eq 127 ]; then
  echo "this machine does not execute i386 programs (${error##*: })"
else
  echo "an i386 program ended with status $status instead of 42"
fi
exit 1
