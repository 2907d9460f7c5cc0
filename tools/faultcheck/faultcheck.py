#!/usr/bin/env python3
"""Test strength: do the tests catch the faults that matter?

    python3 tools/faultcheck/faultcheck.py [BUILD_DIR] [--only REGEX] [--list]

BUILD_DIR (default build/) is a configured build of this source tree, as scripts/test.sh
leaves it. Each fault listed in faults.py is written into the sources on its own; the tests
named for it are rebuilt and run, and the file is put back. A fault that no test fails on is
printed as UNCAUGHT. Exit code 0 when every fault was caught; 1 when one was not, when its text
no longer occurs exactly once in its file (STALE) or when it does not build (BROKEN); 2 when
the unmodified tree already fails. The sources are restored also on Ctrl-C or SIGTERM, a run
killed outright is undone by the next one, and what the run built is rebuilt at the end from
the restored sources. Python 3 standard library only.
"""

import argparse
import json
import os
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
from faults import FAULTS  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]
TEST_TIMEOUT_S = 120
STOP_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


class Interrupted(Exception):
    pass


def on_signal(signum, _frame):
    raise Interrupted(signal.Signals(signum).name)


def run(command, cwd, env=None):
    """Runs a command in a process group of its own; returns (exit code, output)."""
    with subprocess.Popen(command, cwd=cwd, env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, errors="replace",
                          start_new_session=True) as process:
        try:
            out, _ = process.communicate()
        except BaseException:
            # Ninja removes what an interrupted compiler left half-written when told to stop.
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            process.wait()
            raise
        return process.returncode, out


class Journal:
    """Writes faults into the sources and puts them back. The original text of a changed file
    is kept in the build directory until it is restored, so that the next run can undo a run
    that was killed without a chance to clean up."""

    def __init__(self, build_dir):
        self.path = build_dir / "faultcheck-journal.json"

    def _write(self, texts):
        # A signal arriving meanwhile waits, so that no file is left half-written.
        blocked = signal.pthread_sigmask(signal.SIG_BLOCK, STOP_SIGNALS)
        try:
            for path, text in texts.items():
                (ROOT / path).write_text(text, encoding="utf-8")
        finally:
            signal.pthread_sigmask(signal.SIG_SETMASK, blocked)

    def undo_leftovers(self):
        """Restores what a killed run left faulty; True if there was anything."""
        if not self.path.exists():
            return False
        originals = json.loads(self.path.read_text(encoding="utf-8"))
        self._write(originals)
        for path in originals:
            print(f"faultcheck: restored {path}, left faulty by a run that was killed")
        self.path.unlink()
        return True

    def apply(self, fault):
        """Writes the fault into its files; returns their original contents."""
        originals = {}
        for path, _, _ in fault.edits:
            originals.setdefault(path, (ROOT / path).read_text(encoding="utf-8"))
        faulty = dict(originals)
        for path, find, replace in fault.edits:
            faulty[path] = faulty[path].replace(find, replace, 1)
        self.path.write_text(json.dumps(originals), encoding="utf-8")
        self._write(faulty)
        return originals

    def restore(self, originals):
        self._write(originals)
        self.path.unlink(missing_ok=True)


def stale_reason(fault):
    """Why the fault no longer fits the sources, or None."""
    texts = {}
    for path, find, _ in fault.edits:
        if path not in texts:
            if not (ROOT / path).is_file():
                return f"{path} does not exist"
            texts[path] = (ROOT / path).read_text(encoding="utf-8")
        count = texts[path].count(find)
        if count != 1:
            return f"{path}: the text to change occurs {count} times, not once: {find!r}"
    return None


def list_tests(build_dir):
    """Every CTest test, with the target that builds it; None where that is not known."""
    code, out = run(["ctest", "--show-only=json-v1"], build_dir)
    if code != 0:
        raise SystemExit(f"faultcheck: ctest cannot list the tests of {build_dir}:\n{out}")
    tests = {}
    for test in json.loads(out)["tests"]:
        executable = Path(test.get("command", [""])[0]).name
        # Each unit test bears the name of its executable's target.
        tests[test["name"]] = executable if executable == test["name"] else None
    return tests


def build(build_dir, targets):
    """Builds the targets, or everything when one of them is not known."""
    command = ["cmake", "--build", str(build_dir)]
    if None not in targets:
        command += ["--target", *sorted(targets)]
    return run(command, ROOT)


def run_tests(build_dir, names, stop_on_failure):
    """Runs the tests; returns (exit code, names of the failed tests, output)."""
    regex = "^(" + "|".join(re.escape(n) for n in sorted(names)) + ")$"
    command = ["ctest", "-R", regex, "--timeout", str(TEST_TIMEOUT_S), "--output-on-failure"]
    env = None
    if not stop_on_failure:
        # The tests are made to pass two at a time.
        command += ["-j", "2"]
    else:
        command.append("--stop-on-failure")
        # One failure is enough: a test ends at its first failed check, without the waits of
        # the checks after it, and leaves no core file behind.
        env = dict(os.environ, QTEST_FATAL_FAIL="1", QTEST_DISABLE_CORE_DUMP="1",
                   QTEST_DISABLE_STACK_DUMP="1")
    code, out = run(command, build_dir, env)
    failed = re.findall(r"^\s*\d+ - (\S+) \(", out.split("The following tests FAILED:")[-1],
                        re.M) if code else []
    return code, failed, out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir", nargs="?", default="build")
    parser.add_argument("--only", metavar="REGEX", help="only the faults whose names match")
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--share", metavar="I/N",
                        help="only every N-th fault, from the I-th (0 <= I < N): CI takes a "
                             "share in turn, so that each run fits its time")
    parser.add_argument("--baseline-passed", action="store_true",
                        help="the unmodified tree's tests have just passed on this build: do "
                             "not run them again first")
    args = parser.parse_args()

    faults = [f for f in FAULTS if not args.only or re.search(args.only, f.name)]
    if args.share:
        match = re.fullmatch(r"(\d+)/(\d+)", args.share)
        if not match or not 0 <= int(match.group(1)) < int(match.group(2)):
            raise SystemExit("faultcheck: --share takes I/N with 0 <= I < N")
        first, every = int(match.group(1)), int(match.group(2))
        faults = faults[first::every]
    if len({f.name for f in FAULTS}) != len(FAULTS):
        raise SystemExit("faultcheck: two faults in faults.py share a name")
    if args.list:
        for f in faults:
            print(f"{f.name:26} {f.tests:30} {f.defect}")
        return 0

    build_dir = Path(args.build_dir).resolve()
    cache = build_dir / "CMakeCache.txt"
    if not cache.is_file():
        raise SystemExit(f"faultcheck: {build_dir} is not a configured build directory")
    home = re.search(r"^CMAKE_HOME_DIRECTORY:INTERNAL=(.*)$", cache.read_text(), re.M)
    if not home or Path(home.group(1)).resolve() != ROOT:
        raise SystemExit(f"faultcheck: {build_dir} builds another source tree, not {ROOT}")

    for signum in STOP_SIGNALS:
        signal.signal(signum, on_signal)
    started = time.monotonic()
    journal = Journal(build_dir)
    built = set()  # targets built while a fault was in the sources
    result = 130
    try:
        if journal.undo_leftovers():
            built.add(None)  # what that run built is not known: rebuild everything
        result = check(build_dir, journal, faults, built, args.baseline_passed)
    except Interrupted as interruption:
        print(f"\nfaultcheck: stopped by {interruption}; the sources are as they were")
    finally:
        if built:
            for signum in STOP_SIGNALS:
                signal.signal(signum, signal.SIG_DFL)
            code, out = build(build_dir, built)
            if code != 0:
                print(f"{out}\nfaultcheck: rebuilding {build_dir} from the sources failed")
                result = result or 1
        print(f"faultcheck: {time.monotonic() - started:.0f} s")
    return result


def check(build_dir, journal, faults, built, baseline_passed=False):
    all_tests = list_tests(build_dir)
    plans = {}  # fault name -> {test name: target}
    stale = []
    for f in faults:
        reason = stale_reason(f)
        tests = {n: t for n, t in all_tests.items() if re.search(f.tests, n)}
        if not reason and not tests:
            reason = f"no test matches {f.tests!r}"
        if reason:
            stale.append(f)
            print(f"STALE      {f.name}: {reason}")
        else:
            plans[f.name] = tests

    # Every test a fault relies on must pass on the unmodified tree.
    baseline = {n: t for tests in plans.values() for n, t in tests.items()}
    code, out = build(build_dir, set(baseline.values()))
    if code == 0 and not baseline_passed:
        code, failed, out = run_tests(build_dir, baseline, stop_on_failure=False)
    if code != 0:
        print(f"{out}\nfaultcheck: the unmodified tree does not build or fails its tests")
        return 2
    print(f"faultcheck: the unmodified tree passes {len(baseline)} tests"
          f"{' (as just run)' if baseline_passed else ''}; {len(plans)} faults to try",
          flush=True)

    # The faults go file by file: a file changed by the fault before is compiled again only
    # once, for the first build that needs it after its last fault, not once between each two
    # of its faults. Each fault is still alone in the sources while its tests build and run.
    files = {}
    for fault in faults:
        files.setdefault(fault.edits[0][0], len(files))
    order = sorted(enumerate(faults, 1), key=lambda item: files[item[1].edits[0][0]])

    uncaught, broken = [], []
    for number, fault in order:
        if fault.name not in plans:
            continue
        tests = plans[fault.name]
        began = time.monotonic()
        originals = journal.apply(fault)
        try:
            built.update(tests.values())
            code, out = build(build_dir, set(tests.values()))
            if code != 0:
                verdict, detail = "BROKEN", "does not build"
                broken.append(fault)
            else:
                code, failed, out = run_tests(build_dir, tests, stop_on_failure=True)
                if code == 0:
                    verdict, detail = "UNCAUGHT", f"{len(tests)} tests pass"
                    uncaught.append(fault)
                else:
                    verdict, detail = "caught", "by " + (", ".join(failed) or "ctest")
        finally:
            journal.restore(originals)
        print(f"[{number:2}/{len(faults)}] {verdict:8} {fault.name:26} {detail} "
              f"({time.monotonic() - began:.1f} s)", flush=True)
        if verdict == "BROKEN":
            print(out)

    print()
    for fault in uncaught:
        print(f"UNCAUGHT   {fault.name}: {fault.defect} ({fault.edits[0][0]}; tests {fault.tests})")
    for fault in broken:
        print(f"BROKEN     {fault.name}: the faulty source does not build")
    caught = len(plans) - len(uncaught) - len(broken)
    print(f"faultcheck: {caught} of {len(faults)} faults caught; {len(uncaught)} uncaught, "
          f"{len(stale)} stale, {len(broken)} broken")
    return 0 if caught == len(faults) else 1


if __name__ == "__main__":
    sys.exit(main())
