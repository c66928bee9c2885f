#!/usr/bin/env python3
"""The planted_dll scenario under a relay trace of the programs it starts.

    dll_search_trace.py BUILD_DIR DRIVER SETUP_EXE PRODUCT_FOLDER

Runs the scenario in a fresh prefix (tests/wine/run-in-prefix.sh) and checks
in the trace that every QvxSetup.exe and QvxUninstall.exe process called
SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) and
SetDllDirectoryA("") before its first window or COM call, and that the
installer and both stages of the uninstaller were traced. Of the trace (some
100 MB) only the lines read here are kept, in
BUILD_DIR/wine/e2e.planted_dll.trace. Exits with 0 when the scenario and
every check passed.
"""
import os
import re
import subprocess
import sys

# The uninstaller's finishing copy carries a suffix of its own.
PROGRAM = re.compile(r'^(\w+):\w+:trace:loaddll:\w+ Loaded L".*\\\\(QvxSetup|QvxUninstall)[^\\"]*\.exe" .*: native')
FIRST_LOAD = re.compile(r"^(\w+):\w+:trace:loaddll:")
RESTRICTIONS = {
    "SetDefaultDllDirectories": re.compile(r"^(\w+):\w+:Call KERNEL32\.SetDefaultDllDirectories\(00000800\)"),
    "SetDllDirectoryA": re.compile(r'^(\w+):\w+:Call KERNEL32\.SetDllDirectoryA\(\w+ ""\)'),
}
# What may load a DLL on demand: the first window, common controls, COM.
FIRST_USE = re.compile(r"^(\w+):\w+:Call (comctl32\.InitCommonControls|user32\.(DialogBoxParamA|MessageBoxA"
                       r"|CreateWindowExA)|ole32\.Co(Initialize|CreateInstance))\(")
KEEP = re.compile(r":trace:loaddll:|:Call (KERNEL32\.SetD\w+|comctl32\.InitCommonControls|user32\.(DialogBoxParamA"
                  r"|MessageBoxA|CreateWindowExA)|ole32\.Co(Initialize|CreateInstance))\(|^run-in-prefix")


def run_traced(build, driver, setup, product, trace_path):
    here = os.path.dirname(os.path.abspath(__file__))
    env = dict(os.environ, QVX_PROGRAM_WINEDEBUG="+pid,+relay,+loaddll")
    command = [os.path.join(here, "..", "wine", "run-in-prefix.sh"), build, "e2e.planted_dll", driver,
               "planted_dll", setup, product]
    with open(trace_path, "w", errors="replace") as trace:
        process = subprocess.Popen(command, env=env, stderr=subprocess.PIPE)
        for raw in process.stderr:
            line = raw.decode("utf-8", errors="replace").rstrip("\r\n")
            if KEEP.search(line):
                trace.write(line + "\n")
                if line.startswith("run-in-prefix"):
                    print(line)
        return process.wait()


def check_trace(trace_path):
    programs, seen, events = {}, set(), {}
    with open(trace_path) as trace:
        for line in trace:
            first = FIRST_LOAD.match(line)
            if first and first.group(1) not in seen:
                seen.add(first.group(1))
                program = PROGRAM.match(line)
                if program:
                    programs[program.group(1)] = program.group(2) + ".exe"
                continue
            for name, pattern in RESTRICTIONS.items():
                match = pattern.match(line)
                if match:
                    events.setdefault(match.group(1), []).append(name)
            use = FIRST_USE.match(line)
            if use:
                events.setdefault(use.group(1), []).append(use.group(2))

    ok = True

    def expect(good, text):
        nonlocal ok
        ok = ok and good
        print(f"{'ok  ' if good else 'FAIL'} {text}")

    for pid, exe in sorted(programs.items()):
        calls = events.get(pid, [])
        uses = [i for i, call in enumerate(calls) if call not in RESTRICTIONS]
        if not uses:
            expect(False, f"{exe} (process {pid}) made a traced window or COM call")
            continue
        before = calls[:uses[0]]
        expect(all(name in before for name in RESTRICTIONS),
               f"{exe} (process {pid}) restricts its DLL search before {calls[uses[0]]}"
               f" (calls: {', '.join(calls[:uses[0] + 1])})")
    counts = {exe: list(programs.values()).count(exe) for exe in ("QvxSetup.exe", "QvxUninstall.exe")}
    expect(counts["QvxSetup.exe"] >= 1 and counts["QvxUninstall.exe"] >= 2,
           f"traced the installer and both stages of the uninstaller ({counts})")
    return ok


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    build, driver, setup, product = sys.argv[1:]
    trace_path = os.path.join(build, "wine", "e2e.planted_dll.trace")
    os.makedirs(os.path.dirname(trace_path), exist_ok=True)
    status = run_traced(build, driver, setup, product, trace_path)
    print(f"the planted_dll scenario exited with {status}")
    traced = check_trace(trace_path)
    sys.exit(0 if status == 0 and traced else 1)


if __name__ == "__main__":
    main()
