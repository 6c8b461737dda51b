#!/usr/bin/env python3
"""Mutation check: plants deliberate faults in the engine and the binding, one at a time, and
reports which of them the test suite catches.

Each mutant replaces one snippet of code. The snippet is searched across every C++ file under
engine/ and python/_core/, never by path or line, so the table keeps working while code moves
between files; a snippet found other than exactly once is reported as "not applied" and left out.
The work happens in a scratch copy of the tracked files (under the system temporary directory),
built with CMake and Ninja; the repository itself is only read. A mutant that does not compile
is reported as invalid and left out. A mutant is caught when a test fails, or when the suite runs
past the time limit (reported as caught by timeout).

The suite runs as CI runs it, minus the wheel test, stopping at the first failure (the output of
the failing test is kept in <scratch>/<mutant>.test.log with --keep):
  ctest --test-dir <scratch>/build -j2 --stop-on-failure --output-on-failure -E python_test_wheel
Before any mutant the unmodified copy is built and must pass, or nothing would mean anything.
"""

import argparse
import dataclasses
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time


@dataclasses.dataclass(frozen=True)
class Mutant:
    name: str
    snippet: str
    replacement: str
    breaks: str


MUTANTS = [
    # ---- edits, lines and text
    Mutant("touching_edits_rejected", "if (e->start < last_end ||", "if (e->start <= last_end ||",
           "an edit that starts where the previous one ended (or at offset 0) is dropped"),
    Mutant("offset_map_boundary", "return s.old_start <= offset; }", "return s.old_start < offset; }",
           "an offset at the start of a kept segment maps into the previous one"),
    Mutant("marker_at_line_end_ignored", "if (at + marker.size() <= line.content_end) {",
           "if (at + marker.size() < line.content_end) {",
           "a protection marker that ends its line no longer protects it"),
    Mutant("rule_changes_doubled", "r.changes += 1;", "r.changes += 2;",
           "every rule reports twice the changes it made"),
    Mutant("docstrings_not_lossy", '{"strip_docstrings", "Removed Python docstrings.", true}',
           '{"strip_docstrings", "Removed Python docstrings.", false}',
           "stripping docstrings is reported as behaviour-preserving"),
    Mutant("final_line_not_counted", "return feeds + (text.back() != '\\n' ? 1 : 0);", "return feeds + 1;",
           "a text ending in a line feed is counted one line too long"),
    # ---- whitespace rules
    Mutant("protected_line_trimmed",
           "return !edit::overlaps_any(content, protected_set) && !edit::contained_in_any(content, literals);",
           "return !edit::contained_in_any(content, literals);",
           "whitespace rules edit lines that hold protected bytes"),
    Mutant("hard_break_threshold", "if (options.hard_breaks && k >= 2) continue;", "if (options.hard_breaks && k >= 3) continue;",
           "a Markdown hard break of exactly two spaces is trimmed"),
    Mutant("two_blank_lines_kept", "if (j - i >= 2)", "if (j - i >= 3)",
           "a run of two blank lines is no longer collapsed to one"),
    Mutant("spaces_after_carriage_return_trimmed", "text[end - k - 1] == '\\r' && lines[i].end > end) continue;",
           "text[end - k - 1] == '\\r' && lines[i].end < end) continue;",
           "spaces between a CR and the LF are trimmed, so a second fold changes the text again"),
    # ---- comments and docstrings
    Mutant("block_comment_merges_tokens", 'return " ";', 'return "";',
           "removing a/**/b yields ab instead of a b"),
    Mutant("protected_comment_stripped", "if (edit::overlaps_any(comment, protected_set)) continue;", "{}",
           "comments inside protected ranges are removed"),
    # ---- interface-only
    Mutant("trivial_body_replaced", "if (is_trivial_body(text.substr(body.start, body.end - body.start))) continue;",
           "{}", "empty bodies ({} or ;) are replaced by the placeholder"),
    Mutant("error_handler_body_replaced", "if (!handlers.empty() && edit::overlaps_any(body, handlers)) continue;",
           "{}", "bodies holding error handling are replaced despite the guard"),
    Mutant("python_placeholder_text", '"...  # [tersewright: implementation omitted]"',
           '"...  # [tersewright: implementation dropped]"', "the Python placeholder reads differently"),
    # ---- logs
    Mutant("log_marker_text", '" repeated log line(s) collapsed]\\n"', '" repeated log lines collapsed]\\n"',
           "the collapse marker reads differently"),
    Mutant("log_marker_count", "log_repeat_marker(leading_blanks(lines.content(i)), run - keep)",
           "log_repeat_marker(leading_blanks(lines.content(i)), run - keep + 1)",
           "the marker states one more collapsed line than it folded"),
    Mutant("log_dash_separator_dropped", "return c == ' ' || c == '-' || c == ':' || c == ']';",
           "return c == ' ' || c == ':' || c == ']';",
           "'INFO - x' no longer keys like 'INFO x'"),
    Mutant("log_timestamp_shape", "text[13] == ':' && text[16] == ':'", "text[13] == ':' && text[15] == ':'",
           "timestamps are no longer recognised in the event key"),
    Mutant("log_collapse_ignores_loss_policy", "settings.rules.collapse_log_repeats && settings.allow_lossy",
           "settings.rules.collapse_log_repeats", "log repeats collapse although lossy rules are not allowed"),
    # ---- Markdown
    Mutant("fence_of_two", "return run >= 3 ? c : '\\0';", "return run >= 2 ? c : '\\0';",
           "two backticks open a fenced block"),
    Mutant("normative_must_dropped", '"must", "shall"', '"mvst", "shall"',
           "lines saying 'must' are deduplicated"),
    # ---- language detection
    Mutant("pyi_as_text", '{"pyi", Language::python}', '{"pyi", Language::text}',
           ".pyi files are folded as plain text"),
    # ---- JSON
    Mutant("json_tab_escape", "case '\\t': out.append(\"\\\\t\"); break;",
           "case '\\t': out.append(\"\\\\u0009\"); break;", "a tab in a compacted string is written as \\u0009"),
    Mutant("json_empty_fraction_accepted", "if (p_ == frac_start) return false;", "{}",
           "'1.' passes validation"),
    Mutant("json_depth_limit", "max_depth = 127;", "max_depth = 128;", "one more level of nesting is accepted"),
    # ---- fold, budget and report model
    Mutant("budget_met_strict", "report.met = report.output <= report.limit;",
           "report.met = report.output < report.limit;", "an output exactly at the budget is reported as not met"),
    Mutant("budget_message", 'exceeds budget limit {}', 'exceeds the budget limit {}',
           "the budget_not_met warning message changes"),
    Mutant("parse_status_name_swapped", 'case ParseStatus::unsupported: return "unsupported";',
           'case ParseStatus::unsupported: return "fallback";', "unsupported content reports parse_status fallback"),
    Mutant("parse_errors_ignored", "if (ts_node_has_error(ts_tree_root_node(tree.get()))) return nullptr;", "{}",
           "a tree with ERROR or MISSING nodes counts as a clean parse"),
    Mutant("ratio_not_clamped_at_zero", "if (ratio < 0.0) return 0.0;", "if (ratio < -1.0) return 0.0;",
           "an output longer than its input reports a negative reduction"),
    # ---- binding
    Mutant("positional_verb", 'nargs == 1 ? "was" : "were"', 'nargs == 0 ? "was" : "were"',
           "'1 were given' in the too-many-positionals message"),
    Mutant("range_tuple_message", '"expected tuple of length 2, but got tuple of length %zd"',
           '"expected a tuple of length 2, but got tuple of length %zd"', "the protected-range length message changes"),
    Mutant("utf8_surrogates_accepted", "if (lead == 0xED) second_high = 0x9F;", "if (lead == 0xED) second_high = 0xBF;",
           "a file holding encoded surrogates is read as valid UTF-8"),
    Mutant("chars_budget_wins", "if (fields.budget_bytes) {", "if (fields.budget_bytes && !fields.budget_chars) {",
           "with both budgets given, characters win instead of bytes"),
    Mutant("repr_lossy_swapped", 'report.behavior_preserving ? ", lossy=false)" : ", lossy=true)"',
           'report.behavior_preserving ? ", lossy=true)" : ", lossy=false)"', "FoldResult's repr states the opposite"),
    Mutant("report_json_newline_escape", 'case \'\\n\': out.append("\\\\n"); break;', 'case \'\\n\': out.append("\\\\u000a"); break;',
           "a line feed in a report string is written as \\u000a"),
    Mutant("syntax_valid_always_written", 'if (report.syntax_valid) members.boolean("syntax_valid", *report.syntax_valid);',
           'members.boolean("syntax_valid", report.syntax_valid.value_or(false));',
           "to_json() writes syntax_valid false where it should be absent"),
    Mutant("report_protected_bytes_dropped", 'members.integer("protected_bytes", report.protected_bytes);', "",
           "the report's dict and JSON forms lose protected_bytes"),
    Mutant("borrow_check_off_by_one", "if (request->borrows > 0) {", "if (request->borrows > 1) {",
           "a FoldRequest can be changed while a fold reads it"),
]

SEARCHED_FOLDERS = ("engine", "python/_core")
SEARCHED_SUFFIXES = (".cpp", ".hpp", ".h")
SUITE_EXCLUDE = "python_test_wheel"


def searched_files(root):
    for folder in SEARCHED_FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.is_file() and path.suffix in SEARCHED_SUFFIXES:
                yield path


def locate(root, snippet):
    """The files holding the snippet, with the number of times each holds it."""
    found = []
    for path in searched_files(root):
        hits = path.read_text(encoding="utf-8").count(snippet)
        if hits:
            found.append((path, hits))
    return found


def where(root, found):
    return ", ".join(f"{path.relative_to(root)}" + (f" x{hits}" if hits > 1 else "") for path, hits in found)


def list_mutants(root, mutants):
    for mutant in mutants:
        found = locate(root, mutant.snippet)
        total = sum(hits for _, hits in found)
        state = f"in {where(root, found)}" if total == 1 else f"NOT APPLIED: found {total} times"
        if total > 1:
            state += f" ({where(root, found)})"
        print(f"{mutant.name}: {mutant.breaks}\n    {state}")


def copy_tracked_files(root, scratch):
    listed = subprocess.run(["git", "ls-files", "-z"], cwd=root, check=True, capture_output=True).stdout
    for name in listed.decode("utf-8", "surrogateescape").split("\0"):
        source = root / name
        if not name or not source.exists():
            continue
        target = scratch / name
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(source, target, follow_symlinks=False)


def seed_fetched_sources(root, scratch_build):
    """Reuses the tree-sitter sources the repository's own build fetched, when it has them."""
    fetched = root / "build" / "third_party" / "tree-sitter" / "npm"
    if fetched.is_dir():
        shutil.copytree(fetched, scratch_build / "third_party" / "tree-sitter" / "npm", symlinks=True)


def run_logged(command, log, env, timeout=None):
    """Runs command in its own process group, output to log; returns (exit status or None on timeout, seconds)."""
    started = time.monotonic()
    with open(log, "w") as out:
        process = subprocess.Popen(command, stdout=out, stderr=subprocess.STDOUT, env=env, start_new_session=True)
        try:
            status = process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            status = None
    return status, time.monotonic() - started


def first_failure(log):
    text = pathlib.Path(log).read_text(errors="replace")
    match = re.search(r"The following tests FAILED:\s*\n\s*\d+\s*-\s*(\S+)", text)
    if match:
        return match.group(1)
    match = re.search(r"Test\s+#\d+:\s+(\S+)\s+\.*\**\s*(?:Failed|Exception|Timeout|\*\*\*)", text)
    return match.group(1) if match else "see log"


class Scratch:
    def __init__(self, root, python, jobs):
        self.root = root
        self.dir = pathlib.Path(tempfile.mkdtemp(prefix="tersewright-mutants-"))
        # Readable by all, like a checkout: one test folds a file as an unprivileged user, who has
        # to be able to import the module from the build.
        self.dir.chmod(0o755)
        self.build = self.dir / "build"
        self.jobs = jobs
        self.python = python
        # The scratch tree mirrors the repository's layout, so with paths taken relative to it the
        # compiler cache serves the objects the repository's own builds already made.
        self.env = dict(os.environ, CCACHE_BASEDIR=str(self.dir))

    def log(self, name):
        return self.dir / f"{name}.log"

    def prepare(self):
        copy_tracked_files(self.root, self.dir)
        seed_fetched_sources(self.root, self.build)
        status, _ = run_logged(["cmake", "-S", str(self.dir), "-B", str(self.build), "-G", "Ninja",
                                "-DCMAKE_BUILD_TYPE=RelWithDebInfo", f"-DPython3_EXECUTABLE={self.python}"],
                               self.log("configure"), self.env)
        return status == 0

    def compile(self, name):
        status, _ = run_logged(["cmake", "--build", str(self.build), "-j", str(self.jobs)], self.log(f"{name}.build"),
                               self.env, timeout=3600)
        return status == 0

    def suite(self, name, timeout):
        return run_logged(["ctest", "--test-dir", str(self.build), f"-j{self.jobs}", "--stop-on-failure",
                           "--output-on-failure", "-E", SUITE_EXCLUDE], self.log(f"{name}.test"), self.env,
                          timeout=timeout)


def try_mutant(scratch, mutant, timeout):
    """One mutant: applied, built, tested, then undone. Returns (verdict, detail)."""
    found = locate(scratch.dir, mutant.snippet)
    total = sum(hits for _, hits in found)
    if total != 1:
        return "not applied", f"snippet found {total} times" + (f" ({where(scratch.dir, found)})" if found else "")
    path = found[0][0]
    original = path.read_bytes()
    try:
        path.write_text(original.decode("utf-8").replace(mutant.snippet, mutant.replacement), encoding="utf-8")
        if not scratch.compile(mutant.name):
            return "invalid", f"does not compile ({path.relative_to(scratch.dir)})"
        status, seconds = scratch.suite(mutant.name, timeout)
    finally:
        path.write_bytes(original)
    if status is None:
        return "caught", f"by timeout after {seconds:.0f}s"
    if status != 0:
        return "caught", f"{first_failure(scratch.log(mutant.name + '.test'))}, {seconds:.0f}s"
    return "survived", f"suite passed in {seconds:.0f}s"


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", action="store_true", help="list the mutants and where each snippet is found, then stop")
    parser.add_argument("--only", action="append", metavar="NAME", help="run only this mutant (repeatable)")
    parser.add_argument("--keep", action="store_true", help="keep the scratch tree and its logs")
    parser.add_argument("--timeout", type=float, default=300.0,
                        help="seconds the suite may run per mutant (at least three times the clean run); default 300")
    parser.add_argument("--jobs", type=int, default=2, help="parallel build and test jobs; default 2")
    parser.add_argument("--python", default=os.environ.get("PYTHON", "/usr/bin/python3"),
                        help="the interpreter to build the module for; default $PYTHON or /usr/bin/python3")
    args = parser.parse_args(argv)
    root = pathlib.Path(__file__).resolve().parent.parent

    mutants = MUTANTS
    if args.only:
        unknown = sorted(set(args.only) - {m.name for m in MUTANTS})
        if unknown:
            parser.error(f"no mutant named {', '.join(unknown)}")
        mutants = [m for m in MUTANTS if m.name in args.only]
    if args.list:
        list_mutants(root, mutants)
        return 0

    scratch = Scratch(root, args.python, args.jobs)
    print(f"scratch tree: {scratch.dir}", flush=True)
    try:
        if not scratch.prepare() or not scratch.compile("clean"):
            print(f"the unmodified copy does not configure or build; see {scratch.dir}/*.log")
            args.keep = True
            return 2
        status, seconds = scratch.suite("clean", None)
        if status != 0:
            print(f"the suite fails on the unmodified copy; see {scratch.log('clean.test')}")
            args.keep = True
            return 2
        timeout = max(args.timeout, 3 * seconds)
        print(f"clean suite passed in {seconds:.0f}s; time limit per mutant {timeout:.0f}s", flush=True)

        results = []
        width = max(len(m.name) for m in mutants)
        for number, mutant in enumerate(mutants, 1):
            verdict, detail = try_mutant(scratch, mutant, timeout)
            results.append((mutant, verdict))
            print(f"[{number:2}/{len(mutants)}] {mutant.name:<{width}}  {verdict.upper():<11}  {detail}", flush=True)
    finally:
        if args.keep:
            print(f"kept: {scratch.dir}")
        else:
            shutil.rmtree(scratch.dir, ignore_errors=True)

    made = [m for m, verdict in results if verdict in ("caught", "survived")]
    caught = [m for m, verdict in results if verdict == "caught"]
    survivors = [m.name for m, verdict in results if verdict == "survived"]
    left_out = len(results) - len(made)
    print(f"caught {len(caught)} / made {len(made)}"
          + (f" ({left_out} left out: not applied or invalid)" if left_out else "")
          + (f"; survived: {', '.join(survivors)}" if survivors else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
