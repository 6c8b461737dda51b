"""Finding the inputs: the files named on the command line and the trees under directories."""

from __future__ import annotations

import os
import stat
from dataclasses import dataclass
from typing import BinaryIO, FrozenSet, Iterable, Iterator, List, Optional, Sequence, Set, Tuple, Union

from .errors import CliError, reason

StrPath = Union[str, "os.PathLike[str]"]
# (device, inode): what makes two paths the same file.
Identity = Tuple[int, int]

# Repository metadata is never what a caller means by "the files of this tree".
SKIPPED_DIRECTORIES = frozenset({".git", ".hg", ".svn", ".bzr"})
# Language detection takes its sample from the first 4096 bytes of a text, ending it at the last
# character boundary. Three more bytes complete a character that straddles the limit, so the engine
# finds the same boundary in the decoded text as in the file; a character cut short at the end of
# the read decodes to a replacement character past the limit, where the engine does not look.
DETECTION_READ = 4096 + 3


@dataclass(frozen=True)
class Source:
    """One file to fold: how it is shown, where it is read, where it lands under --output-dir.

    A source found by the walk but not to be read carries the reason in skip, so that its notice
    comes out in walk order, among the other files' notices and reports.
    """

    shown: str
    location: str
    relative: str
    skip: str = ""


def decode_text(data: bytes) -> Optional[str]:
    """The text of a file, or None when it is not UTF-8 text."""
    # A NUL byte is valid UTF-8 but marks a binary file; folding one would only produce noise.
    if b"\0" in data:
        return None
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return None


def read_detection_text(stream: BinaryIO) -> str:
    """The leading text of a stream, enough for language detection to take its sample from."""
    return stream.read(DETECTION_READ).decode("utf-8", "replace")


def path_hint(shown: str) -> str:
    """A file name the engine can take as a hint for detection."""
    # File names that are not UTF-8 reach Python with surrogate escapes, which the engine cannot take;
    # the hint is only used for its extension, so a replacement character does no harm.
    try:
        shown.encode("utf-8")
        return shown
    except UnicodeEncodeError:
        return shown.encode("utf-8", "surrogateescape").decode("utf-8", "replace")


def identity(path: Optional[StrPath]) -> Optional[Identity]:
    """The identity of an existing file, or None."""
    if path is None:
        return None
    try:
        st = os.stat(path)
    except OSError:
        return None
    return (st.st_dev, st.st_ino)


def _shown_under(root: str, relative: str) -> str:
    return relative if os.path.normpath(root) == "." else os.path.join(root, relative)


def _within(path: str, root: str) -> bool:
    try:
        return os.path.commonpath([path, root]) == root
    except ValueError:
        return False


def _listing(location: str, shown: str) -> Iterator[os.DirEntry[str]]:
    try:
        with os.scandir(location) as entries:
            return iter(sorted(entries, key=lambda entry: entry.name))
    except OSError as error:
        raise CliError(f"cannot read {shown}: {reason(error)}") from None


def walk_tree(root: StrPath, excluded: FrozenSet[Identity]) -> Iterator[Source]:
    """Yield the regular files under root, depth first with the entries of each directory sorted.

    Symbolic links are followed only while they stay inside root; directories already walked (a
    link back up the tree) are not walked again; excluded holds the identities of our own outputs
    so that a second run does not fold the first run's results.
    """
    root = os.fspath(root)
    root_real = os.path.realpath(root)
    root_stat = os.stat(root)
    visited: Set[Identity] = {(root_stat.st_dev, root_stat.st_ino)}
    stack: List[Tuple[str, Iterator[os.DirEntry[str]]]] = [("", _listing(root, root))]
    while stack:
        relative_dir, entries = stack[-1]
        entry = next(entries, None)
        if entry is None:
            stack.pop()
            continue
        relative = os.path.join(relative_dir, entry.name) if relative_dir else entry.name
        shown = _shown_under(root, relative)
        try:
            if entry.is_symlink():
                target = os.path.realpath(entry.path)
                if not _within(target, root_real):
                    yield Source(shown, entry.path, relative, skip=f"symbolic link leads out of {root}")
                    continue
                try:
                    st = os.stat(target)
                except OSError:
                    yield Source(shown, entry.path, relative, skip="broken symbolic link")
                    continue
            else:
                st = entry.stat(follow_symlinks=False)
        except OSError as error:
            raise CliError(f"cannot read {shown}: {reason(error)}") from None
        found = (st.st_dev, st.st_ino)
        if stat.S_ISDIR(st.st_mode):
            if entry.name in SKIPPED_DIRECTORIES or found in excluded or found in visited:
                continue
            visited.add(found)
            stack.append((relative, _listing(entry.path, shown)))
        elif stat.S_ISREG(st.st_mode):
            if found not in excluded:
                yield Source(shown, entry.path, relative)
        else:
            yield Source(shown, entry.path, relative, skip="not a regular file")


def collect_sources(paths: Sequence[StrPath], excluded: FrozenSet[Identity]) -> Tuple[List[Source], bool]:
    """The files named by paths, in order, without duplicates; and whether a directory was given."""
    sources: List[Source] = []
    seen: Set[str] = set()
    any_directory = False
    for named in paths:
        path = os.fspath(named)
        try:
            st = os.stat(path)
        except OSError as error:
            raise CliError(f"cannot read {path}: {reason(error)}") from None
        if stat.S_ISDIR(st.st_mode):
            any_directory = True
            found: Iterable[Source] = walk_tree(path, excluded)
        else:
            found = [Source(path, path, os.path.basename(os.path.normpath(path)))]
        for source in found:
            key = os.path.normpath(source.shown)
            if key not in seen:
                seen.add(key)
                sources.append(source)
    return sources, any_directory
