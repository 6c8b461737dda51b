"""Finding the inputs: the files named on the command line and the trees under directories."""

from __future__ import annotations

import errno
import os
import stat
from dataclasses import dataclass
from typing import BinaryIO, FrozenSet, Iterable, Iterator, List, Optional, Sequence, Set, Tuple, Union

from ..bundle import display_path
from .errors import reason
from .ignore import (
    GIT_IGNORE,
    METADATA_DIRECTORIES,
    PLAIN_IGNORE,
    Globs,
    IgnoreFile,
    exclude_file,
    git_directory,
    read_ignore_file,
    repository_root,
)
from .reporting import quote_path

StrPath = Union[str, "os.PathLike[str]"]
# (device, inode): what makes two paths the same file.
Identity = Tuple[int, int]

# Kept for callers that knew the walk's own list.
SKIPPED_DIRECTORIES = METADATA_DIRECTORIES
# Language detection takes its sample from the first 4096 bytes of a text, ending it at the last
# character boundary. Three more bytes complete a character that straddles the limit, so the engine
# finds the same boundary in the decoded text as in the file; a character cut short at the end of
# the read decodes to a replacement character past the limit, where the engine does not look.
DETECTION_READ = 4096 + 3
READ_CHUNK = 1 << 16


@dataclass(frozen=True)
class WalkOptions:
    """How directories are walked: which ignore files count, hidden entries, --glob, --max-filesize."""

    ignore_files: bool = True
    hidden: bool = False
    globs: Tuple[str, ...] = ()
    max_filesize: Optional[int] = None


@dataclass(frozen=True)
class Source:
    """One file to fold: its path, where it is read, where it lands under --output-dir.

    A source found but not to be read carries the reason in skip, so that its line comes out in walk
    order among the other files' lines; failed tells a file that could not be read (reported, and the
    run ends with status 2) from one that is left out on purpose (counted as skipped).
    """

    path: str
    location: str
    relative: str
    skip: str = ""
    failed: bool = False

    @property
    def shown(self) -> str:
        """The path as lines on the terminal and bundle headers show it."""
        return quote_path(self.path)


class SourceChanged(Exception):
    """A file that changed or went away while it was read; the argument says how."""


def decode_text(data: bytes) -> Optional[str]:
    """The text of a file, or None when it is not UTF-8 text."""
    # A NUL byte is valid UTF-8 but marks a binary file; folding one would only produce noise.
    if b"\0" in data:
        return None
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return None


def read_source(location: str) -> bytes:
    """The whole content of a file, read once; SourceChanged when it changed while it was read."""
    fd = os.open(location, os.O_RDONLY | os.O_CLOEXEC)
    try:
        before = os.fstat(fd)
        regular = stat.S_ISREG(before.st_mode)
        chunks: List[bytes] = []
        size = 0
        while True:
            chunk = os.read(fd, max(before.st_size + 1 - size, READ_CHUNK))
            if not chunk:
                break
            chunks.append(chunk)
            size += len(chunk)
            # A file that grows while it is read (a log being written) is not read without end. Files
            # of the kernel's (/proc) say they are empty and are read to their end.
            if regular and 0 < before.st_size < size:
                raise SourceChanged("changed while being read")
        if regular:
            # Pipes and devices named on the command line have nothing to compare.
            after = os.fstat(fd)
            if (after.st_size, after.st_mtime_ns) != (before.st_size, before.st_mtime_ns):
                raise SourceChanged("changed while being read")
            try:
                now = os.stat(location)
            except FileNotFoundError:
                raise SourceChanged("deleted while being read") from None
            if (now.st_dev, now.st_ino) != (before.st_dev, before.st_ino):
                raise SourceChanged("replaced while being read")
    finally:
        os.close(fd)
    return b"".join(chunks)


def read_detection_text(stream: BinaryIO) -> str:
    """The leading text of a stream, enough for language detection to take its sample from."""
    return stream.read(DETECTION_READ).decode("utf-8", "replace")


def path_hint(path: str) -> str:
    """A file name the engine can take as a hint for detection."""
    # File names that are not UTF-8 reach Python with surrogate escapes, which the engine cannot take;
    # the hint is only used for its extension, so a replacement character does no harm.
    return display_path(path)


def identity(path: Optional[StrPath]) -> Optional[Identity]:
    """The identity of an existing file, or None."""
    if path is None:
        return None
    try:
        st = os.stat(path)
    except OSError:
        return None
    return (st.st_dev, st.st_ino)


def stat_failure(error: OSError) -> str:
    """Why a path could not be looked at; a link that leads to itself is a loop, not a missing file."""
    if error.errno == errno.ELOOP:
        return "symbolic link loop"
    return reason(error)


def output_name(path: str) -> str:
    """Where a directory named on the command line lands under --output-dir, as `cp -r` puts it:
    under its own name, or straight in for '.', a path ending in '..' and '/'."""
    name = os.path.basename(path.rstrip(os.sep))
    return "" if name in ("", os.curdir, os.pardir) else name


def _shown_under(root: str, relative: str) -> str:
    return relative if os.path.normpath(root) == "." else os.path.join(root, relative)


def _within(path: str, root: str) -> bool:
    try:
        return os.path.commonpath([path, root]) == root
    except ValueError:
        return False


class _IgnoreFiles:
    """Ignore files as they are read, in order of precedence, and the ones that could not be read."""

    def __init__(self) -> None:
        self.found: List[IgnoreFile] = []
        self.failures: List[Tuple[str, str]] = []

    def read(self, path: str, shown: str, prefix: str, strip: int, from_git: bool) -> None:
        try:
            rules = read_ignore_file(path)
        except OSError as error:
            self.failures.append((shown, reason(error)))
            return
        if rules:
            self.found.append(IgnoreFile(tuple(rules), prefix, strip, from_git))


def _parent_ignore_files(root_real: str) -> _IgnoreFiles:
    """The ignore files of the directories above root, up to its repository's top, deepest first.

    Outside a repository there are none: only a repository says how far up its rules reach. A root
    that is itself a repository's top starts its own rules, read as the walk enters it.
    """
    files = _IgnoreFiles()
    if os.path.lexists(os.path.join(root_real, ".git")):
        return files
    top = repository_root(os.path.dirname(root_real))
    if top is None:
        return files
    directory = root_real
    while directory != top:
        directory = os.path.dirname(directory)
        prefix = os.path.relpath(root_real, directory).replace(os.sep, "/") + "/"
        for name in (PLAIN_IGNORE, GIT_IGNORE):
            path = os.path.join(directory, name)
            files.read(path, path, prefix, 0, from_git=name == GIT_IGNORE)
    git_dir = git_directory(top)
    if git_dir is not None:
        prefix = os.path.relpath(root_real, top).replace(os.sep, "/") + "/"
        files.read(exclude_file(git_dir), exclude_file(git_dir), prefix, 0, from_git=True)
    return files


@dataclass
class _Directory:
    """A directory the walk is in: its entries still to come and the ignore files that apply there."""

    relative: str
    identity: Identity
    entries: Iterator[os.DirEntry[str]]
    ignores: List[IgnoreFile]


class _Walk:
    """One directory tree, walked depth first with the entries of each directory sorted by name."""

    def __init__(self, root: str, excluded: FrozenSet[Identity], options: WalkOptions):
        self.root = root
        self.root_real = os.path.realpath(root)
        self.excluded = excluded
        self.options = options
        self.globs = Globs(options.globs)
        self.landing = output_name(root)
        self.visited: Set[Identity] = set()
        self.stack: List[_Directory] = []
        self._out_of_tree = f"symbolic link leads out of {quote_path(root)}"

    def _source(self, relative: str, location: str, skip: str = "", failed: bool = False) -> Source:
        landing = os.path.join(self.landing, relative) if self.landing else relative
        return Source(_shown_under(self.root, relative), location, landing, skip, failed)

    def _failure(self, path: str, why: str) -> Source:
        return Source(path, path, "", why, failed=True)

    def _enter(self, location: str, relative: str, found: Identity, inherited: List[IgnoreFile]) -> Iterator[Source]:
        """Open a directory, yielding a failure if it cannot be read, and push it on the stack."""
        shown = _shown_under(self.root, relative) if relative else self.root
        try:
            with os.scandir(location) as listing:
                entries = sorted(listing, key=lambda entry: entry.name)
        except OSError as error:
            yield self._failure(shown, reason(error))
            return
        self.visited.add(found)
        ignores = inherited
        if self.options.ignore_files:
            here = self._ignores_here(location, relative, {entry.name for entry in entries}, inherited)
            ignores = here.found
            for path, why in here.failures:
                yield self._failure(path, why)
        self.stack.append(_Directory(relative, found, iter(entries), ignores))

    def _ignores_here(self, location: str, relative: str, names: Set[str], inherited: List[IgnoreFile]) -> _IgnoreFiles:
        """The ignore files that apply in a directory, deepest first: its own, then those above.

        A directory holding a .git starts a repository of its own, where the .gitignore files above
        it no longer apply and its own exclude file does.
        """
        strip = len(relative) + 1 if relative else 0
        files = _IgnoreFiles()
        for name in (PLAIN_IGNORE, GIT_IGNORE):
            if name in names:
                shown = _shown_under(self.root, os.path.join(relative, name))
                files.read(os.path.join(location, name), shown, "", strip, from_git=name == GIT_IGNORE)
        if ".git" not in names:
            files.found.extend(inherited)
            return files
        files.found.extend(ignore for ignore in inherited if not ignore.from_git)
        git_dir = git_directory(location)
        if git_dir is not None:
            files.read(exclude_file(git_dir), exclude_file(git_dir), "", strip, from_git=True)
        return files

    def _left_out(self, name: str, relative: str, is_dir: bool, ignores: List[IgnoreFile]) -> bool:
        """Whether --glob, the ignore files or the hidden-name rule leave an entry out, in that order."""
        taken = self.globs.verdict(relative, is_dir)
        if taken is not None:
            return not taken
        for ignore in ignores:
            found = ignore.verdict(relative, is_dir)
            if found is not None:
                if found:
                    return True
                break
        return name.startswith(".") and not self.options.hidden

    def walk(self) -> Iterator[Source]:
        """The files under the root, and a Source with its reason for each entry not to be folded.

        Symbolic links are followed only while they stay inside the root; a directory already walked
        (reached again through a link) is not walked again, and a link back to a directory the walk
        is inside is reported as a loop. Our own outputs (excluded) are not walked.
        """
        try:
            root_stat = os.stat(self.root)
        except OSError as error:
            yield self._failure(self.root, stat_failure(error))
            return
        inherited: List[IgnoreFile] = []
        if self.options.ignore_files:
            above = _parent_ignore_files(self.root_real)
            inherited = above.found
            for path, why in above.failures:
                yield self._failure(path, why)
        yield from self._enter(self.root, "", (root_stat.st_dev, root_stat.st_ino), inherited)
        while self.stack:
            directory = self.stack[-1]
            entry = next(directory.entries, None)
            if entry is None:
                self.stack.pop()
                continue
            yield from self._entry(directory, entry)

    def _entry(self, directory: _Directory, entry: os.DirEntry[str]) -> Iterator[Source]:
        if entry.name in METADATA_DIRECTORIES:
            return
        relative = os.path.join(directory.relative, entry.name) if directory.relative else entry.name
        link = entry.is_symlink()
        leads_out = link and not _within(os.path.realpath(entry.path), self.root_real)
        try:
            st = os.stat(entry.path) if link else entry.stat(follow_symlinks=False)
        except OSError as error:
            if self._left_out(entry.name, relative, False, directory.ignores):
                return
            if error.errno == errno.ENOENT and leads_out:
                yield self._source(relative, entry.path, self._out_of_tree)
            else:
                why = "broken symbolic link" if error.errno == errno.ENOENT else stat_failure(error)
                yield self._source(relative, entry.path, why, failed=True)
            return
        is_dir = stat.S_ISDIR(st.st_mode)
        if self._left_out(entry.name, relative, is_dir, directory.ignores):
            return
        found = (st.st_dev, st.st_ino)
        if found in self.excluded:
            return
        if leads_out:
            yield self._source(relative, entry.path, self._out_of_tree)
        elif is_dir:
            if any(level.identity == found for level in self.stack):
                yield self._source(relative, entry.path, "symbolic link loop", failed=True)
            elif found not in self.visited:
                yield from self._enter(entry.path, relative, found, directory.ignores)
        elif not stat.S_ISREG(st.st_mode):
            yield self._source(relative, entry.path, "not a regular file")
        elif self.options.max_filesize is not None and st.st_size > self.options.max_filesize:
            yield self._source(relative, entry.path, f"{st.st_size} bytes, over --max-filesize")
        else:
            yield self._source(relative, entry.path)


def walk_tree(
    root: StrPath, excluded: FrozenSet[Identity], options: WalkOptions = WalkOptions()
) -> Iterator[Source]:
    """The files under root in walk order, with a Source carrying the reason for each one left alone."""
    return _Walk(os.fspath(root), excluded, options).walk()


def collect_sources(
    paths: Sequence[StrPath], excluded: FrozenSet[Identity], options: WalkOptions = WalkOptions()
) -> Tuple[List[Source], bool]:
    """The files named by paths, in order, without duplicates; and whether a directory was given.

    Paths named on the command line are taken whatever the ignore files, hidden names and filters say;
    one that cannot be looked at becomes a failed source, so that the others are still folded.
    """
    sources: List[Source] = []
    seen: Set[str] = set()
    any_directory = False
    for named in paths:
        path = os.fspath(named)
        found: Iterable[Source]
        try:
            is_directory = stat.S_ISDIR(os.stat(path).st_mode)
        except OSError as error:
            found = [Source(path, path, "", stat_failure(error), failed=True)]
        else:
            if is_directory:
                any_directory = True
                found = walk_tree(path, excluded, options)
            else:
                found = [Source(path, path, os.path.basename(os.path.normpath(path)))]
        for source in found:
            key = os.path.normpath(source.path)
            if key not in seen:
                seen.add(key)
                sources.append(source)
    return sources, any_directory
