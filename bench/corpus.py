"""Deterministic benchmark corpora: one generator per content kind, driven by a seeded splitmix64.

Every generator writes text that looks like what people fold: source code with comments, doc
comments, tool directives, runs of blank lines and trailing blanks (and that parses cleanly, so
that the benchmark times the real fold, not the fallback); logs with runs of repeated events and
stack traces; Markdown with headings, fences, lists and adjacent duplicate lines; indented JSON;
wrapped prose. The same kind, size and seed give the same bytes on every machine and Python.

    python3 bench/corpus.py --out DIR --size-mb 10 python log
"""

import argparse
import glob
import os
import sys
from typing import Callable, Dict, List

GENERATOR_VERSION = 3
DEFAULT_SEED = 20240601
MB = 1_000_000

EXTENSIONS = {
    "python": "py",
    "rust": "rs",
    "javascript": "js",
    "typescript": "ts",
    "tsx": "tsx",
    "go": "go",
    "markdown": "md",
    "log": "log",
    "json": "json",
    "text": "txt",
}
KINDS = tuple(EXTENSIONS)
SOURCE_KINDS = ("python", "rust", "javascript", "typescript", "tsx", "go")


class Rng:
    """splitmix64: a few lines, and the same numbers on every platform and Python version."""

    MASK = (1 << 64) - 1

    def __init__(self, seed: int):
        self.state = seed & self.MASK

    def next(self) -> int:
        self.state = (self.state + 0x9E3779B97F4A7C15) & self.MASK
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & self.MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & self.MASK
        return z ^ (z >> 31)

    def below(self, n: int) -> int:
        return self.next() % n

    def chance(self, percent: int) -> bool:
        return self.below(100) < percent

    def pick(self, items):
        return items[self.below(len(items))]


NOUNS = ("order", "invoice", "customer", "session", "record", "payload", "account", "ledger", "report",
         "batch", "token", "entry", "request", "profile", "item", "window", "shipment", "cursor")
VERBS = ("load", "store", "parse", "render", "merge", "validate", "fetch", "update", "resolve", "collect",
         "encode", "flush", "apply", "compute", "prune", "sync")
WORDS = ("the", "cached", "pending", "current", "remote", "local", "next", "previous", "active", "stale",
         "incoming", "outgoing", "primary", "shared", "raw", "final")
PROSE = ("system", "value", "between", "careful", "however", "result", "measure", "because", "number",
         "simple", "without", "against", "example", "process", "general", "section", "change", "reader",
         "deterministic", "output", "input", "small", "large", "always", "never", "within", "every", "report",
         "naïve", "café", "größer", "データ")


def cap(word: str) -> str:
    return word[:1].upper() + word[1:]


def camel(rng: Rng) -> str:
    return cap(rng.pick(NOUNS)) + cap(rng.pick(NOUNS))


def sentence(rng: Rng) -> str:
    text = f"{cap(rng.pick(VERBS))} {rng.pick(WORDS)} {rng.pick(NOUNS)}"
    if rng.chance(50):
        text += f" for the {rng.pick(WORDS)} {rng.pick(NOUNS)}"
    return text


def eol(rng: Rng) -> str:
    """Trailing blanks now and then, as hand-edited files have."""
    return "   \n" if rng.chance(8) else "\n"


def gap(rng: Rng) -> str:
    return "\n\n\n" if rng.chance(20) else "\n"


# --------------------------------------------------------------------------- source code


def python_unit(rng: Rng, out: List[str]) -> None:
    cls, noun = camel(rng), rng.pick(NOUNS)
    out.append(f"class {cls}:\n    \"\"\"{sentence(rng)}.\"\"\"\n\n")
    out.append(f"    def __init__(self, client, {noun}s=None):\n        # {sentence(rng)}\n")
    out.append(f"        self.client = client{eol(rng)}        self.{noun}s = {noun}s or []\n\n")
    for _ in range(2 + rng.below(3)):
        name = f"{rng.pick(VERBS)}_{rng.pick(NOUNS)}"
        out.append(f"    def {name}(self, {noun}: Optional[str] = None) -> Optional[int]:\n")
        if rng.chance(60):
            out.append(f"        \"\"\"{sentence(rng)}.\n\n        Returns the new count.\n        \"\"\"\n")
        out.append("        total = 0\n")
        for _ in range(2 + rng.below(4)):
            case = rng.below(6)
            if case == 0:
                out.append(f"        # {sentence(rng)}.\n        for {noun}_item in self.{noun}s:  # {rng.pick(WORDS)}\n")
                out.append(f"            total += {noun}_item.amount * {rng.below(9) + 1}{eol(rng)}")
            elif case == 1:
                out.append(f"        if {noun} is None:\n            return None{eol(rng)}")
            elif case == 2:
                out.append(f"        try:\n            result = self.client.{rng.pick(VERBS)}({noun})\n")
                out.append("        except (KeyError, ValueError) as exc:\n")
                out.append(f"            raise RuntimeError(f\"cannot {rng.pick(VERBS)} {{{noun}!r}}\") from exc\n")
            elif case == 3:
                out.append(f"        query = \"\"\"\n            SELECT id FROM {noun}s  # not a comment\n        \"\"\"\n")
            elif case == 4:
                out.append(f"        logger.debug(\"{sentence(rng)}: %s\", {noun})  # type: ignore[arg-type]\n")
            else:
                out.append(f"        values = [x for x in self.{noun}s if x is not None]  # noqa: E501\n")
        out.append(f"        return total\n{gap(rng)}")
    out.append("\n")


def python_corpus(rng: Rng, size: int) -> str:
    out = ["#!/usr/bin/env python3\n# -*- coding: utf-8 -*-\n\"\"\"Services for orders and invoices.\"\"\"\n\n",
           "import logging\nfrom typing import Optional  # typing helpers\n\nlogger = logging.getLogger(__name__)\n\n\n"]
    return fill(out, size, lambda: python_unit(rng, out))


def rust_unit(rng: Rng, out: List[str]) -> None:
    name = camel(rng)
    out.append(f"/// {sentence(rng)}.\n#[derive(Debug, Clone, Default)]\npub struct {name} {{\n")
    out.append(f"    // {sentence(rng)}\n    id: u64,\n    name: String,{eol(rng)}    tags: Vec<String>,\n}}\n\n")
    out.append(f"impl {name} {{\n    /// Creates an empty value.\n    pub fn new(id: u64, name: &str) -> Self {{\n")
    out.append("        /* every field starts empty */\n        Self { id, name: name.to_string(), tags: Vec::new() }\n    }\n\n")
    for _ in range(2 + rng.below(3)):
        out.append(f"    /// {sentence(rng)}.\n    pub fn {rng.pick(VERBS)}_{rng.pick(NOUNS)}(&self, factor: u64) -> Result<u64, String> {{\n")
        out.append("        let mut total = 0u64; // running total\n")
        for _ in range(1 + rng.below(3)):
            case = rng.below(4)
            if case == 0:
                out.append("        for (i, tag) in self.tags.iter().enumerate() {\n")
                out.append(f"            total += (i as u64 + tag.len() as u64) * factor;{eol(rng)}        }}\n")
            elif case == 1:
                out.append(f"        if total > {rng.below(5000)} {{\n            return Err(format!(\"too large: {{}}\", total));\n        }}\n")
            elif case == 2:
                out.append("        // SAFETY: the pointer comes from a live reference.\n")
                out.append("        let copy = unsafe { *(&total as *const u64) };\n        total = copy + self.id;\n")
            else:
                out.append(f"        let label = match self.name.as_str() {{\n            \"{rng.pick(NOUNS)}\" => 1,\n            _ => 2,\n        }};\n        total += label;\n")
        out.append(f"        Ok(total)\n    }}\n{gap(rng)}")
    out.append("}\n\n")


def rust_corpus(rng: Rng, size: int) -> str:
    out = ["//! Orders, invoices and the ledgers that hold them.\n\nuse std::collections::HashMap; // lookups\n\n",
           "#[allow(dead_code)]\nconst LIMIT: usize = 64;\n\n"]
    return fill(out, size, lambda: rust_unit(rng, out))


def javascript_unit(rng: Rng, out: List[str]) -> None:
    noun, name = rng.pick(NOUNS), camel(rng)
    out.append(f"/**\n * {sentence(rng)}.\n * @param {{number}} id\n */\n")
    out.append(f"export async function {rng.pick(VERBS)}{name}(id, items) {{\n")
    out.append(f"  // eslint-disable-next-line no-console\n  const key = String(id); // {rng.pick(WORDS)} key\n  let total = 0;\n")
    out.append(f"  for (const {noun} of items) {{\n    total += {noun}.amount * {rng.below(9) + 1};{eol(rng)}  }}\n")
    if rng.chance(50):
        out.append(f"  try {{\n    const res = await fetch(`/api/{noun}s/${{id}}`);\n    return {{ key, total, data: await res.json() }};\n")
        out.append(f"  }} catch (err) {{\n    /* {sentence(rng)} */\n    throw new Error(`cannot {rng.pick(VERBS)} {noun} ${{id}}: ${{err}}`);\n  }}\n}}\n{gap(rng)}")
    else:
        out.append(f"  const res = await client.get(`/api/{noun}s/${{id}}`, {{ total }});\n")
        out.append(f"  return res.ok ? res.data : null; /* {sentence(rng)} */\n}}\n{gap(rng)}")
    out.append(f"export class {name} {{\n  constructor(client) {{\n    this.client = client;\n    this.cache = new Map();{eol(rng)}  }}\n\n")
    out.append(f"  // {sentence(rng)}\n  get(key) {{\n    return this.cache.get(key) ?? null;\n  }}\n}}\n\n")


def javascript_corpus(rng: Rng, size: int) -> str:
    out = ["// Client-side helpers for the order API.\n'use strict';\n\nimport { client } from './http.js'; // shared client\n\n"]
    return fill(out, size, lambda: javascript_unit(rng, out))


def typescript_unit(rng: Rng, out: List[str]) -> None:
    name, noun = camel(rng), rng.pick(NOUNS)
    out.append(f"/**\n * {sentence(rng)}.\n */\nexport interface {name} {{\n  id: number; // {sentence(rng)}\n")
    out.append(f"  name: string;{eol(rng)}  tags?: string[];\n}}\n\n")
    out.append(f"export type {name}Key = `{noun}-${{number}}`;\n\n")
    out.append(f"export class {name}Service {{\n  private readonly cache = new Map<string, {name}>();\n\n")
    out.append("  constructor(private readonly http: HttpClient, private readonly log: Logger) {}\n\n")
    for _ in range(2 + rng.below(3)):
        if rng.chance(50):
            out.append(f"  /** {sentence(rng)}. */\n")
        out.append(f"  async {rng.pick(VERBS)}{cap(rng.pick(NOUNS))}(id: number, items: {name}[]): Promise<{name} | undefined> {{\n")
        out.append("    const key = String(id);\n    let total = 0;\n")
        case = rng.below(3)
        if case == 0:
            out.append(f"    for (const {noun} of items) {{\n      total += {noun}.id * {rng.below(9) + 1};{eol(rng)}    }}\n")
        elif case == 1:
            out.append(f"    try {{\n      const res = await this.http.get<{name}>(`/api/{noun}s/${{id}}`);\n")
            out.append("      this.cache.set(key, res);\n    } catch (err: unknown) {\n      // @ts-expect-error the logger takes any\n      this.log.warn(err, total);\n    }\n")
        else:
            out.append(f"    if (!this.cache.has(key)) {{ /* {sentence(rng)} */\n      return undefined;\n    }}\n")
        out.append(f"    return this.cache.get(key);\n  }}\n{gap(rng)}")
    out.append("}\n\n")


def typescript_corpus(rng: Rng, size: int) -> str:
    out = ["/// <reference types=\"node\" />\n// Services for the order API.\n",
           "import { HttpClient } from \"./http\";\nimport type { Logger } from \"./log\"; // structured\n\n"]
    return fill(out, size, lambda: typescript_unit(rng, out))


def tsx_unit(rng: Rng, out: List[str]) -> None:
    name, noun = camel(rng), rng.pick(NOUNS)
    out.append(f"interface {name}Props {{\n  id: number; // identifier\n  {noun}s: string[];{eol(rng)}  onSelect?: (key: string) => void;\n}}\n\n")
    out.append(f"/** {sentence(rng)}. */\nexport function {name}View({{ id, {noun}s, onSelect }}: {name}Props): JSX.Element {{\n")
    out.append(f"  // {sentence(rng)}\n  const title = `{name} ${{id}}`;\n  const [open, setOpen] = useState<boolean>(false);\n")
    out.append("  return (\n    <section className=\"panel\" data-id={id}>\n      {/* the heading */}\n")
    out.append("      <h2 onClick={() => setOpen(!open)}>{title}</h2>\n")
    out.append(f"      {{open && (\n        <ul>\n          {{{noun}s.map((key) => (\n")
    out.append("            <li key={key} onClick={() => onSelect?.(key)}>\n              {key}\n            </li>\n")
    out.append(f"          ))}}\n        </ul>\n      )}}\n    </section>\n  );\n}}\n{gap(rng)}")


def tsx_corpus(rng: Rng, size: int) -> str:
    out = ["// Views of orders and invoices.\nimport React, { useState } from \"react\"; // hooks\n\n"]
    return fill(out, size, lambda: tsx_unit(rng, out))


def go_unit(rng: Rng, out: List[str]) -> None:
    name = camel(rng)
    out.append(f"// {name} {sentence(rng).lower()}.\ntype {name} struct {{\n\tID   int64  // identifier\n")
    out.append(f"\tName string{eol(rng)}\tTags []string\n}}\n\n")
    for _ in range(2 + rng.below(3)):
        method = cap(rng.pick(VERBS)) + cap(rng.pick(NOUNS))
        out.append(f"// {method} {sentence(rng).lower()}.\nfunc (v *{name}) {method}(factor int64) (int64, error) {{\n")
        out.append("\tvar total int64 // running total\n")
        case = rng.below(3)
        if case == 0:
            out.append(f"\tfor i, tag := range v.Tags {{\n\t\ttotal += int64(i+len(tag)) * factor{eol(rng)}\t}}\n")
        elif case == 1:
            out.append(f"\tif total > {rng.below(5000)} {{\n\t\treturn 0, fmt.Errorf(\"too large: %d\", total)\n\t}}\n")
        else:
            out.append(f"\t/* {sentence(rng)} */\n\tswitch v.Name {{\n\tcase \"{rng.pick(NOUNS)}\":\n\t\ttotal++\n\tdefault:\n\t\ttotal--\n\t}}\n")
        out.append(f"\treturn total + v.ID, nil\n}}\n{gap(rng)}")


def go_corpus(rng: Rng, size: int) -> str:
    out = ["//go:build linux || darwin\n\n// Package orders keeps orders and invoices.\npackage orders\n\n",
           "import (\n\t\"fmt\" // errors with values\n)\n\n//go:generate stringer -type=Kind\n\n"]
    return fill(out, size, lambda: go_unit(rng, out))


# --------------------------------------------------------------------------- formats


def markdown_unit(rng: Rng, out: List[str]) -> None:
    out.append(f"## {sentence(rng)}\n\n")
    for _ in range(1 + rng.below(3)):
        words = [rng.pick(PROSE) for _ in range(10 + rng.below(30))]
        line = cap(" ".join(words)) + "."
        out.append(line + eol(rng))
        if rng.chance(15):
            out.append(line + "\n")  # an adjacent duplicate, as copy and paste leaves
        out.append(gap(rng))
    case = rng.below(5)
    if case == 0:
        out.append(f"- {sentence(rng)}\n- {sentence(rng)}\n- {sentence(rng)}\n\n")
    elif case == 1:
        out.append(f"```python\ndef {rng.pick(VERBS)}():\n    return 1   \n\n\n    # blank lines above stay\n```\n\n")
    elif case == 2:
        out.append(f"The client MUST {rng.pick(VERBS)} the {rng.pick(NOUNS)}.\nThe client MUST {rng.pick(VERBS)} the {rng.pick(NOUNS)}.\n\n")
    elif case == 3:
        out.append(f"See [{rng.pick(NOUNS)}](https://example.org/{rng.pick(NOUNS)}/{rng.below(1000)}) for details.  \nNext line after a hard break.\n\n")
    else:
        out.append(f"| {rng.pick(NOUNS)} | count |\n|---|---|\n| {rng.pick(WORDS)} | {rng.below(100)} |\n\n")


def markdown_corpus(rng: Rng, size: int) -> str:
    out = ["# Operations handbook\n\n"]
    return fill(out, size, lambda: markdown_unit(rng, out))


LEVELS = ("INFO", "INFO", "INFO", "DEBUG", "WARN", "ERROR")


class LogClock:
    def __init__(self):
        self.ms = 0

    def stamp(self, rng: Rng) -> str:
        self.ms += rng.below(250)
        seconds, ms = divmod(self.ms, 1000)
        minutes, seconds = divmod(seconds, 60)
        hours, minutes = divmod(minutes, 60)
        return f"2024-05-{1 + hours // 24 % 28:02}T{hours % 24:02}:{minutes:02}:{seconds:02}.{ms:03}Z"


def log_unit(rng: Rng, clock: LogClock, out: List[str]) -> None:
    level = rng.pick(LEVELS)
    message = f"{level} [worker-{rng.below(8)}] {sentence(rng).lower()} id={rng.below(100000)}"
    case = rng.below(10)
    if case < 2:
        # a burst of the same event, first with its own timestamps, then as identical lines
        for _ in range(2 + rng.below(40)):
            out.append(f"{clock.stamp(rng)} {message}\n")
    elif case == 2:
        line = f"{clock.stamp(rng)} WARN [pool] connection reset, retrying\n"
        out.append(line * (2 + rng.below(20)))
    elif case == 3 and level == "ERROR":
        out.append(f"{clock.stamp(rng)} {message}\nTraceback (most recent call last):\n")
        out.append(f"  File \"/srv/app/{rng.pick(NOUNS)}.py\", line {rng.below(900)}, in {rng.pick(VERBS)}\n")
        out.append(f"    raise ValueError(\"bad {rng.pick(NOUNS)}\")\nValueError: bad {rng.pick(NOUNS)}\n")
    else:
        out.append(f"{clock.stamp(rng)} {message} took {rng.below(900)}ms{eol(rng)}")
    if rng.chance(2):
        out.append("\n\n")


def log_corpus(rng: Rng, size: int) -> str:
    out: List[str] = []
    clock = LogClock()
    return fill(out, size, lambda: log_unit(rng, clock, out))


def json_record(rng: Rng, index: int) -> str:
    tags = ", ".join(f'"{rng.pick(WORDS)}"' for _ in range(rng.below(4)))
    amount = rng.below(10_000_000) / 100
    return (
        f'  {{\n    "id": {index},\n    "kind": "{rng.pick(NOUNS)}",\n    "name": "{sentence(rng)} \\u00e9\\n",\n'
        f'    "amount": {amount},\n    "ratio": {rng.below(1000)}e-3,\n    "active": {"true" if rng.chance(50) else "false"},\n'
        f'    "parent": {"null" if rng.chance(30) else rng.below(index + 1)},\n    "tags": [{tags}],\n'
        f'    "owner": {{\n      "name": "{cap(rng.pick(PROSE))}",\n      "region": "{rng.pick(WORDS)}"\n    }}\n  }}'
    )


def json_corpus(rng: Rng, size: int) -> str:
    pieces = ["[\n"]
    length, index = 2, 0
    while length < size:
        record = json_record(rng, index)
        if index:
            record = ",\n" + record
        pieces.append(record)
        length += len(record.encode("utf-8"))
        index += 1
    pieces.append("\n]\n")
    return "".join(pieces)


def text_unit(rng: Rng, out: List[str]) -> None:
    for _ in range(2 + rng.below(6)):
        words = [rng.pick(PROSE) for _ in range(6 + rng.below(8))]
        out.append(cap(" ".join(words)) + ("." if rng.chance(30) else "") + eol(rng))
    out.append(gap(rng))


def text_corpus(rng: Rng, size: int) -> str:
    out: List[str] = []
    return fill(out, size, lambda: text_unit(rng, out))


def fill(out: List[str], size: int, unit: Callable[[], None]) -> str:
    """Call unit until the pieces add up to size bytes of UTF-8."""
    length, counted = sum(len(p.encode("utf-8")) for p in out), len(out)
    while length < size:
        unit()
        length += sum(len(p.encode("utf-8")) for p in out[counted:])
        counted = len(out)
    return "".join(out)


GENERATORS: Dict[str, Callable[[Rng, int], str]] = {
    "python": python_corpus,
    "rust": rust_corpus,
    "javascript": javascript_corpus,
    "typescript": typescript_corpus,
    "tsx": tsx_corpus,
    "go": go_corpus,
    "markdown": markdown_corpus,
    "log": log_corpus,
    "json": json_corpus,
    "text": text_corpus,
}


def generate(kind: str, size: int, seed: int = DEFAULT_SEED) -> str:
    # Each kind gets its own stream, so adding a kind never changes the others.
    return GENERATORS[kind](Rng(seed * 31 + KINDS.index(kind)), size)


def corpus_file(directory: str, kind: str, size_mb: float, seed: int = DEFAULT_SEED) -> str:
    """The path of a generated corpus file, written on first use and reused afterwards."""
    label = f"{size_mb:g}".replace(".", "_")
    path = os.path.join(directory, f"{kind}-{label}mb-seed{seed}-v{GENERATOR_VERSION}.{EXTENSIONS[kind]}")
    if not os.path.exists(path):
        os.makedirs(directory, exist_ok=True)
        # Files of earlier generator versions are 100 MB apiece at worst; do not let them pile up.
        for stale in glob.glob(os.path.join(directory, f"{kind}-{label}mb-seed{seed}-v*.{EXTENSIONS[kind]}")):
            os.unlink(stale)
        text = generate(kind, int(size_mb * MB), seed)
        partial = path + ".partial"
        with open(partial, "w", encoding="utf-8", newline="") as handle:
            handle.write(text)
        os.replace(partial, path)
    return path


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description="Write deterministic benchmark corpora.")
    parser.add_argument("kinds", nargs="*", metavar="KIND", help=f"content kinds (default: all of {', '.join(KINDS)})")
    parser.add_argument("--out", required=True, help="directory to write into")
    parser.add_argument("--size-mb", type=float, default=1.0, help="size of each file in MB (10^6 bytes)")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    args = parser.parse_args(argv)
    unknown = [kind for kind in args.kinds if kind not in KINDS]
    if unknown:
        parser.error(f"unknown kind {unknown[0]!r} (choose from {', '.join(KINDS)})")
    for kind in args.kinds or KINDS:
        print(corpus_file(args.out, kind, args.size_mb, args.seed))
    return 0


if __name__ == "__main__":
    sys.exit(main())
