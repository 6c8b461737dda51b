"""Which entries of a walked tree are left out by ignore files and --glob patterns.

The pattern language is git's, parsed by pathspec. Two points of git's behaviour are ours to keep:
a pattern matches a path itself, never the files under a matching directory (those are left out
because the walk does not enter the directory, so that a directory named on the command line is
walked even when an ignore file above it names it); and of several ignore files, the deepest one
with a matching pattern decides, where in one file the last matching pattern wins.
"""

from __future__ import annotations

import os
import re
from dataclasses import dataclass
from typing import Iterable, List, Optional, Sequence, Tuple

# The group pathspec puts around the slash after a directory, which its patterns match together with
# everything under it; a match that used the group matched a path below the one the pattern names.
_DIRECTORY_MARK = "ps_d"
GIT_IGNORE = ".gitignore"
PLAIN_IGNORE = ".ignore"
# Repository metadata is never what a caller means by "the files of this tree", --hidden or not.
METADATA_DIRECTORIES = frozenset({".git", ".hg", ".svn", ".bzr"})


@dataclass(frozen=True)
class Rule:
    """One compiled pattern: whether a match leaves the path out (True) or takes it back (False)."""

    regex: "re.Pattern[str]"
    excludes: bool
    directory_only: bool
    # A pattern whose last part is '**' names everything under its directory, not only one level.
    matches_below: bool

    def matches(self, path: str, is_dir: bool) -> bool:
        if self.directory_only and not is_dir:
            return False
        found = self.regex.match(path)
        if found is None:
            return False
        return self.matches_below or found.groupdict().get(_DIRECTORY_MARK) is None


# POSIX character classes, which git's patterns take inside brackets and pathspec leaves to Python's
# regular expressions (which do not know them), spelled as the ranges they stand for in the C locale.
# No range holds a ']' (the brackets must still end where they did) or a '/' (which splits a pattern
# before its brackets are read, and which brackets never match in a path), and none starts with '!',
# which would turn the brackets around.
_CHARACTER_CLASSES = {
    "alnum": "0-9A-Za-z", "alpha": "A-Za-z", "blank": " \t", "cntrl": "\x00-\x1f\x7f", "digit": "0-9",
    "graph": "\"-.0-~!", "lower": "a-z", "print": " -.0-~", "punct": "\"-.:-@[-`{-~!",
    "space": " \t\n\r\x0b\x0c", "upper": "A-Z", "xdigit": "0-9A-Fa-f",
}


def _expand_character_classes(body: str) -> str:
    """Spell out each [:name:] inside a bracket expression of a pattern as its ranges."""
    if "[:" not in body:
        return body
    out: List[str] = []
    i, end = 0, len(body)
    while i < end:
        if body[i] == "\\":
            out.append(body[i : i + 2])
            i += 2
            continue
        if body[i] != "[":
            out.append(body[i])
            i += 1
            continue
        j = i + 1
        if j < end and body[j] in "!^":
            j += 1
        if j < end and body[j] == "]":
            j += 1  # a ']' first in the brackets is one of the characters
        parts = [body[i:j]]
        while j < end and body[j] != "]":
            close = body.find(":]", j + 2) if body.startswith("[:", j) else -1
            if close != -1 and body[j + 2 : close] in _CHARACTER_CLASSES:
                parts.append(_CHARACTER_CLASSES[body[j + 2 : close]])
                j = close + 2
            else:
                parts.append(body[j])
                j += 1
        if j >= end:
            out.append("[")  # never closed: a plain '['
            i += 1
            continue
        out.append("".join(parts) + "]")
        i = j + 1
    return "".join(out)


def _trim_trailing_spaces(text: str) -> str:
    """Drop trailing spaces as git does: all of them, unless the last one is escaped."""
    end = len(text)
    while end and text[end - 1] == " ":
        backslashes = len(text[: end - 1]) - len(text[: end - 1].rstrip("\\"))
        if backslashes % 2:
            break
        end -= 1
    return text[:end]


def _bracket_edge_whitespace(body: str) -> str:
    """Keep whitespace at either end of a pattern, which pathspec would strip, as a bracket expression."""
    if body and body[0].isspace():
        body = f"[{body[0]}]{body[1:]}"
    if body and body[-1].isspace():
        escaped = len(body[:-1]) - len(body[:-1].rstrip("\\"))
        body = f"{body[: len(body) - 1 - (escaped % 2)]}[{body[-1]}]"
    return body


def compile_rule(line: str) -> Optional[Rule]:
    """The rule of one line of an ignore file or one --glob, or None for blanks, comments, bad patterns."""
    text = _trim_trailing_spaces(line[:-1] if line.endswith("\r") else line)
    if not text or text.startswith("#"):
        return None
    excludes = not text.startswith("!")
    body = text if excludes else text[1:]
    directory_only = body.endswith("/")
    if directory_only:
        body = body[:-1]
    if body.startswith(("!", "#")):
        # Only the first '!' negates; what follows is matched as written.
        body = "\\" + body
    body = _bracket_edge_whitespace(_expand_character_classes(body))
    if not body or body == "/":
        return None
    # Loaded with the first pattern: a tree without ignore files or --glob does not pay for it.
    from pathspec.patterns.gitwildmatch import GitWildMatchPattern, GitWildMatchPatternError

    try:
        pattern = GitWildMatchPattern(body)
    except GitWildMatchPatternError:
        return None  # git passes over a pattern it cannot read, and so do we
    if pattern.regex is None:
        return None
    return Rule(pattern.regex, excludes, directory_only, body.split("/")[-1] == "**")


def compile_rules(lines: Iterable[str]) -> List[Rule]:
    return [rule for rule in map(compile_rule, lines) if rule is not None]


def verdict(rules: Sequence[Rule], path: str, is_dir: bool) -> Optional[bool]:
    """Whether the last rule that matches path leaves it out; None when no rule matches."""
    for rule in reversed(rules):
        if rule.matches(path, is_dir):
            return rule.excludes
    return None


@dataclass(frozen=True)
class IgnoreFile:
    """The rules of one ignore file, and how a path of the walk reads from the file's directory.

    A walk-relative path becomes prefix + path[strip:]: ignore files inside the walk drop the part
    that leads to their directory, those of the directories above the walk put the way down in front.
    """

    rules: Tuple[Rule, ...]
    prefix: str
    strip: int
    # .gitignore files and the repository's exclude file stop at a nested repository; .ignore files do not.
    from_git: bool

    def verdict(self, relative: str, is_dir: bool) -> Optional[bool]:
        return verdict(self.rules, self.prefix + relative[self.strip :], is_dir)


def read_ignore_file(path: str) -> Optional[List[Rule]]:
    """The rules of an ignore file, or None when there is none; OSError when it cannot be read."""
    try:
        with open(path, "rb") as handle:
            data = handle.read()
    except (FileNotFoundError, NotADirectoryError, IsADirectoryError):
        return None
    # Patterns are matched against file names decoded the way os.fsdecode does.
    return compile_rules(data.decode("utf-8", "surrogateescape").split("\n"))


def git_directory(directory: str) -> Optional[str]:
    """The directory holding a repository's shared files (info/exclude), when directory has a .git."""
    marker = os.path.join(directory, ".git")
    if os.path.isdir(marker):
        git_dir = marker
    elif os.path.isfile(marker):
        # A linked worktree or a submodule: .git is a file naming the real git directory.
        try:
            with open(marker, encoding="utf-8", errors="surrogateescape") as handle:
                first = handle.readline().strip()
        except OSError:
            return None
        if not first.startswith("gitdir:"):
            return None
        git_dir = os.path.join(directory, first[len("gitdir:") :].strip())
    else:
        return None
    try:
        with open(os.path.join(git_dir, "commondir"), encoding="utf-8", errors="surrogateescape") as handle:
            return os.path.normpath(os.path.join(git_dir, handle.read().strip()))
    except OSError:
        return git_dir


def exclude_file(git_dir: str) -> str:
    return os.path.join(git_dir, "info", "exclude")


def repository_root(directory: str) -> Optional[str]:
    """The nearest directory at or above directory that holds a .git, or None."""
    current = directory
    while True:
        if os.path.lexists(os.path.join(current, ".git")):
            return current
        parent = os.path.dirname(current)
        if parent == current:
            return None
        current = parent


class Globs:
    """--glob patterns: the last one that matches decides; with any plain one, files must match one.

    The rules are read as an ignore file's, but mean the opposite: a plain pattern (excludes=True in
    ignore-file terms) takes what it matches, a '!' pattern leaves it out.
    """

    def __init__(self, patterns: Sequence[str]):
        self.rules = compile_rules(patterns)
        self.selective = any(rule.excludes for rule in self.rules)

    def verdict(self, relative: str, is_dir: bool) -> Optional[bool]:
        """True to take the entry whatever the ignore files say, False to leave it out, None to let them decide."""
        found = verdict(self.rules, relative, is_dir)
        if found is not None:
            return found
        if self.selective and not is_dir:
            return False
        return None
