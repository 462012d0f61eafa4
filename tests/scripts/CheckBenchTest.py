"""The bench scripts' check (scripts/check-bench): which steps of a script it finds missing."""
import importlib.machinery
import importlib.util
import os
import unittest

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
loader = importlib.machinery.SourceFileLoader("check_bench", os.path.join(TOP, "scripts", "check-bench"))
spec = importlib.util.spec_from_loader("check_bench", loader)
check_bench = importlib.util.module_from_spec(spec)
loader.exec_module(check_bench)

LIBRARY = """
median() { sort -g | head -n1; }
remove_work() { if declare -F on_exit >/dev/null; then on_exit; fi; }
"""
SOURCING = '. "$(dirname "$0")/bench-lib.sh"\n'

# (case, script, the names it should find missing)
CASES = [
    ("a function the library no longer has", "liked_settings a 3\n", {"liked_settings"}),
    ("a function the library has", "median 1 2\n", set()),
    ("a function the script defines after its use", "later\nlater() { :; }\n", set()),
    ("a removed function in quotes in a substitution", 'x="total $(gone_sum "$a")"\n', {"gone_sum"}),
    ("a removed function in a nested substitution", 'x=$(echo "$(gone_inner)")\n', {"gone_inner"}),
    ("a removed function in a trap", "trap 'gone_cleanup; rm -rf \"$w\"' EXIT\n", {"gone_cleanup"}),
    ("a removed function behind a wrapper", "timeout -s INT 5 gone_wrapped a\n/usr/bin/time -f x -o y gone_timed\n",
     {"gone_wrapped", "gone_timed"}),
    ("a removed function after an operator", "true && gone_after || echo no\n", {"gone_after"}),
    ("a removed function in a loop", "for n in 1 2; do gone_looped \"$n\"; done\n", {"gone_looped"}),
    ("a missing program", "no-such-program-here --help\n", {"no-such-program-here"}),
    ("a here-document's body", "python3 - <<'PY'\nimport gone_module\ngone_call()\nPY\necho done\n", set()),
    ("case patterns", 'case $x in\n  quiet) echo q ;;\n  stress|load) true ;;\nesac\n', set()),
    ("descriptors before redirections", "exec {server}>&-\necho x 2>&1 >/dev/null\n", set()),
    ("a function called only where defined", "remove_work\n", set()),
    ("arguments and assignments", "names=(gone_a gone_b)\nLOAD=1 echo gone_c\n[[ $x == gone_d ]] && echo\n", set()),
    ("arithmetic", "(( n += 1 ))\nx=$((n * 2))\n", set()),
]


def scanned(text):
    scan = check_bench.Scan()
    scan.script(text)
    return scan


class CheckBenchTest(unittest.TestCase):
    def test_finds_each_missing_step(self):
        builtins = check_bench.known_to_bash()
        for case, script, missing in CASES:
            with self.subTest(case):
                scans = {"bench-lib.sh": scanned(LIBRARY), "case.sh": scanned(SOURCING + script)}
                faults = check_bench.unresolved(scans, builtins, set())
                found = {fault.split(": ")[1].split(" ")[0] for fault in faults}
                self.assertEqual(found, missing, faults)

    def test_names_the_line_of_the_call(self):
        scans = {"bench-lib.sh": scanned(LIBRARY), "case.sh": scanned(SOURCING + "echo \\\n  a\nx=$(echo \\\n  b)\ngone\n")}
        faults = check_bench.unresolved(scans, check_bench.known_to_bash(), set())
        self.assertEqual(faults, ["bench/case.sh:6: gone is no function of the script or of what it sources,"
                                  " no builtin and no program on PATH"])

    def test_finds_a_target_the_build_lacks(self):
        scans = {"bench-lib.sh": scanned(LIBRARY + "build_targets() { :; }\n"),
                 "case.sh": scanned(SOURCING + "build_targets quorvelle gone-bench\n")}
        faults = check_bench.unresolved(scans, check_bench.known_to_bash(), {"quorvelle"})
        self.assertEqual(faults, ["bench/case.sh:2: build_targets gone-bench: the build has no such target"])


if __name__ == "__main__":
    unittest.main()
