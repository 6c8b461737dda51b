"""Bundles: several folded files in one text that a person or a model reads in one go.

Four styles, each of which splits back into the files it holds:

``plain``
    Each file after a ``==> PATH <==`` line, as ``head`` and ``tail`` print them. Meant for reading:
    a file that itself holds a line shaped like a header cannot be told apart from the next file.
``markdown``
    Each file under a ``## PATH`` heading in a fenced block whose fence is longer than any run of
    backticks inside the file, with the language as the info string.
``xml``
    Each file as ``<file path="...">`` with its text escaped so that an XML parser gives it back
    exactly (carriage returns as character references). A file or path holding a character that
    XML 1.0 cannot carry at all (most C0 controls, U+FFFE, U+FFFF) is written in base64 of its
    UTF-8 bytes, with ``encoding="base64"`` on the element.
``json``
    One object: the header, the tree, and the files with their reports, one file to a line.

Plain and markdown headers show a path holding a control character or bytes that are not UTF-8 in
double quotes with C escapes, so that a name never breaks a line; xml and json carry the name itself.
In plain and markdown a file whose text does not end with a newline gets one, followed by git's
``\\ No newline at end of file`` line, so that nothing is lost. An omitted file keeps its place with
a note instead of its text. An optional first line (the header) says what the bundle is, and an
optional directory tree of the files follows it.
"""

from __future__ import annotations

import os
import re
import stat
from dataclasses import dataclass
from typing import Any, Dict, List, Optional, Sequence, Tuple

STYLES = ("plain", "markdown", "xml", "json")
NO_FINAL_NEWLINE = "\\ No newline at end of file"

# Characters that XML 1.0 documents cannot hold, not even as character references.
_XML_UNREPRESENTABLE = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff\ud800-\udfff]")
_PLAIN_HEADER = re.compile(r"==> (.*) <==(?: \[(omitted: .*)\])?")
_BACKTICK_RUN = re.compile("`+")
_ESCAPES = {"\\": "\\\\", '"': '\\"', "\n": "\\n", "\t": "\\t", "\r": "\\r"}


@dataclass(frozen=True)
class BundleFile:
    """One file of a bundle: its folded text, or the note that stands in for an omitted file."""

    path: str
    text: Optional[str]
    language: str = "text"
    profile: Optional[str] = None
    note: Optional[str] = None
    report: Optional[Dict[str, Any]] = None

    def __post_init__(self) -> None:
        if (self.text is None) == (self.note is None):
            raise ValueError("a bundle file has either a text or (when omitted) a note")


def check_style(style: str) -> str:
    if style not in STYLES:
        raise ValueError(f"unknown bundle style {style!r} (choose from {', '.join(STYLES)})")
    return style


def display_path(path: str) -> str:
    """A path as a bundle can show it: file names that are not UTF-8 get replacement characters."""
    try:
        path.encode("utf-8")
        return path
    except UnicodeEncodeError:
        return path.encode("utf-8", "surrogateescape").decode("utf-8", "replace")


# The control characters (Unicode's general category Cc, which is fixed for good) and the surrogate
# escapes that stand for bytes that are not UTF-8: a path holding one is shown quoted.
_CONTROL = "\x00-\x1f\x7f-\x9f"
_NEEDS_QUOTES = re.compile(f"[{_CONTROL}\udc80-\udcff]")
_IS_CONTROL = re.compile(f"[{_CONTROL}]")


def quote_path(path: str) -> str:
    r"""A path as every line we print shows it.

    A name holding a control character (a line feed, a tab, an escape) or bytes that are not UTF-8
    (which reach Python as surrogate escapes) would break a line of the bundle, of detect's output or
    of a message, so it is written in double quotes with C escapes: \\, \", \n, \t, \r, and \xNN for
    each byte of any other control character and for each byte that is not UTF-8. So is a name that
    starts with a double quote, which would otherwise read as a quoted one. Other names are written
    as they are.
    """
    if not path.startswith('"') and _NEEDS_QUOTES.search(path) is None:
        return path
    parts = ['"']
    for character in path:
        if character in _ESCAPES:
            parts.append(_ESCAPES[character])
        elif "\udc80" <= character <= "\udcff":
            parts.append(f"\\x{ord(character) - 0xDC00:02x}")
        elif _IS_CONTROL.match(character):
            parts.extend(f"\\x{byte:02x}" for byte in character.encode("utf-8"))
        else:
            parts.append(character)
    parts.append('"')
    return "".join(parts)


_UNESCAPES = {value: key for key, value in _ESCAPES.items()}
_ESCAPE = re.compile(r'\\(?:x([0-9a-f]{2})|(.))', re.S)


def unquote_path(shown: str) -> str:
    """The name quote_path showed: a quoted name decoded (bytes that are not UTF-8 as surrogate
    escapes, as the file system's names reach Python); any other name as it is."""
    if len(shown) < 2 or not (shown.startswith('"') and shown.endswith('"')):
        return shown
    pieces: List[bytes] = []
    position = 0
    body = shown[1:-1]
    for match in _ESCAPE.finditer(body):
        pieces.append(body[position : match.start()].encode("utf-8", "surrogateescape"))
        if match.group(1) is not None:
            pieces.append(bytes([int(match.group(1), 16)]))
        else:
            pieces.append(_UNESCAPES.get("\\" + match.group(2), match.group(2)).encode("utf-8"))
        position = match.end()
    pieces.append(body[position:].encode("utf-8", "surrogateescape"))
    return b"".join(pieces).decode("utf-8", "surrogateescape")


# --------------------------------------------------------------------------- the directory tree


def directory_tree(paths: Sequence[str]) -> str:
    """The paths drawn as a tree, one entry a line, directories before their files in sorted order."""
    root: Dict[str, Any] = {}
    for path in paths:
        node = root
        parts = [part for part in path.split("/") if part not in ("", ".")]
        for part in parts[:-1]:  # a folder's key ends with "/", so a file and a folder may share a name
            node = node.setdefault(quote_path(part) + "/", {})
        if parts:
            node.setdefault(quote_path(parts[-1]), None)
    lines: List[str] = []

    def draw(node: Dict[str, Any], indent: str) -> None:
        names = sorted(node)
        for index, name in enumerate(names):
            last = index == len(names) - 1
            lines.append(indent + ("└── " if last else "├── ") + name)
            if isinstance(node[name], dict):
                draw(node[name], indent + ("    " if last else "│   "))

    draw(root, "")
    return "".join(line + "\n" for line in lines)


# --------------------------------------------------------------------------- rendering


def _fence(text: str) -> str:
    longest = max((len(run) for run in _BACKTICK_RUN.findall(text)), default=0)
    return "`" * max(3, longest + 1)


def _terminated(text: str) -> Tuple[str, bool]:
    """The text ending with a newline, and whether one had to be added."""
    if text and not text.endswith("\n"):
        return text + "\n", True
    return text, False


def _xml_attribute(value: str) -> str:
    escaped = value.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")
    # Literal whitespace in an attribute is normalised to spaces by the parser; references are not.
    return escaped.replace("\t", "&#9;").replace("\n", "&#10;").replace("\r", "&#13;")


def _xml_text(value: str) -> str:
    escaped = value.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
    # A parser turns CR LF and lone CR into LF; a reference survives.
    return escaped.replace("\r", "&#13;")


# json and base64 are loaded by the styles that use them: the command line imports this module on
# every run, and most runs write plain bundles.
def _base64(value: str) -> str:
    import base64

    return base64.b64encode(value.encode("utf-8", "surrogatepass")).decode("ascii")


def _json(value: Any) -> str:
    import json

    return json.dumps(value, ensure_ascii=False, separators=(", ", ": "))


def render_head(style: str, header: Optional[Dict[str, Any]] = None, tree: Optional[str] = None) -> str:
    """What comes before the files: the header line, when there is one, and the tree."""
    check_style(style)
    summary = None if header is None else header["summary"]
    if style == "plain":
        head = "" if summary is None else f"=== {summary} ===\n"
        return head + (tree or "")
    if style == "markdown":
        head = "" if summary is None else f"# {summary}\n\n"
        if tree:
            fence = _fence(tree)
            head += f"{fence}text\n{tree}{fence}\n\n"
        return head
    if style == "xml":
        attributes = "" if header is None else "".join(
            f' {name}="{_xml_attribute(_attribute_value(value))}"' for name, value in header.items() if value is not None
        )
        head = f"<bundle{attributes}>\n"
        if tree:
            head += f"<tree>{_xml_text(tree)}</tree>\n"
        return head
    head = "{"
    if header is not None:
        head += f'"header": {_json(header)},\n'
    if tree:
        head += f'"tree": {_json(tree)},\n'
    return head + '"files": [\n'


def _attribute_value(value: Any) -> str:
    if isinstance(value, bool):
        return "true" if value else "false"
    return str(value)


def render_file(style: str, file: BundleFile) -> str:
    """One file of the bundle; in the json style without the comma that separates it from the next."""
    check_style(style)
    # A header is one line: plain and markdown quote a name that would break it (or that is not
    # UTF-8), as the command line's messages do; xml and json carry any text.
    path = quote_path(file.path) if style in ("plain", "markdown") else display_path(file.path)
    if style == "plain":
        if file.note is not None:
            return f"==> {path} <== [{file.note}]\n"
        text, added = _terminated(file.text or "")
        return f"==> {path} <==\n{text}" + (NO_FINAL_NEWLINE + "\n" if added else "")
    if style == "markdown":
        if file.note is not None:
            return f"## {path}\n\n*{file.note}*\n\n"
        text, added = _terminated(file.text or "")
        fence = _fence(text)
        tail = NO_FINAL_NEWLINE + "\n" if added else ""
        info = "text" if file.language == "unknown" else file.language
        return f"## {path}\n\n{fence}{info}\n{text}{fence}\n{tail}\n"
    if style == "xml":
        attributes = f' language="{file.language}"'
        if file.profile is not None:
            attributes += f' profile="{_xml_attribute(file.profile)}"'
        if file.note is not None:
            return f'<file path="{_xml_attribute(path)}"{attributes} omitted="{_xml_attribute(file.note)}"/>\n'
        text = file.text or ""
        if _XML_UNREPRESENTABLE.search(path) or _XML_UNREPRESENTABLE.search(text):
            return (f'<file path="{_base64(path)}"{attributes} encoding="base64">'
                    f"{_base64(text)}</file>\n")  # fmt: skip
        return f'<file path="{_xml_attribute(path)}"{attributes}>{_xml_text(text)}</file>\n'
    entry: Dict[str, Any] = {"path": path, "language": file.language, "profile": file.profile, "text": file.text}
    if file.note is not None:
        entry["omitted"] = file.note
    if file.report is not None:
        entry["report"] = file.report
    return _json(entry)


def separator(style: str) -> str:
    """What stands between two files: only json needs more than their concatenation."""
    return ",\n" if style == "json" else ""


def render_tail(style: str, count: int) -> str:
    """What ends the bundle, after count files."""
    if style == "xml":
        return "</bundle>\n"
    if style == "json":
        return ("\n" if count else "") + "]}\n"
    return ""


def render_bundle(
    files: Sequence[BundleFile],
    style: str = "plain",
    header: Optional[Dict[str, Any]] = None,
    tree: bool = False,
) -> str:
    """The files as one bundle. header, when given, is a dict whose "summary" is the first line's text."""
    head = render_head(style, header, directory_tree([f.path for f in files]) if tree else None)
    body = separator(style).join(render_file(style, f) for f in files)
    return head + body + render_tail(style, len(files))


# --------------------------------------------------------------------------- splitting back


def _drop_no_newline_marker(text: str) -> str:
    marker = "\n" + NO_FINAL_NEWLINE + "\n"
    if text.endswith(marker):
        return text[: -len(marker)]
    return text


def split_bundle(bundle: str, style: str) -> List[Tuple[str, Optional[str]]]:
    """The (path, text) pairs a bundle holds, in order; text is None for an omitted file.

    xml and json go through the standard library's parsers. A bundle that does not have the style's
    shape raises ValueError.
    """
    check_style(style)
    if style == "json":
        import json

        return [(f["path"], f["text"]) for f in json.loads(bundle)["files"]]
    if style == "xml":
        return _split_xml(bundle)
    if style == "markdown":
        try:
            return _split_markdown(bundle)
        except IndexError:
            raise ValueError("not a markdown bundle: a fenced block is not closed") from None
    return _split_plain(bundle)


def _lines(text: str) -> List[str]:
    """The lines of a text, each with its LF; only LF ends a line in a bundle."""
    lines = [line + "\n" for line in text.split("\n")]
    lines[-1] = lines[-1][:-1]
    return lines if lines[-1] else lines[:-1]


def _split_plain(bundle: str) -> List[Tuple[str, Optional[str]]]:
    files: List[Tuple[str, Optional[str]]] = []
    current: Optional[Tuple[str, List[str]]] = None
    for line in _lines(bundle):
        match = _PLAIN_HEADER.fullmatch(line.rstrip("\n"))
        if match:
            if current is not None:
                files.append((current[0], _drop_no_newline_marker("".join(current[1]))))
            if match.group(2) is not None:
                files.append((unquote_path(match.group(1)), None))
                current = None
            else:
                current = (unquote_path(match.group(1)), [])
        elif current is not None:
            current[1].append(line)
    if current is not None:
        files.append((current[0], _drop_no_newline_marker("".join(current[1]))))
    return files


def _split_markdown(bundle: str) -> List[Tuple[str, Optional[str]]]:
    lines = _lines(bundle)
    files: List[Tuple[str, Optional[str]]] = []
    index = 0
    while index < len(lines):
        line = lines[index]
        index += 1
        if line.startswith("```"):  # the tree, or any other block between files
            fence = line[: len(line) - len(line.lstrip("`"))]
            while index < len(lines) and lines[index] != fence + "\n":
                index += 1
            index += 1
            continue
        if not line.startswith("## "):
            continue
        path = unquote_path(line[3:-1])
        index += 1  # the blank line under the heading
        opening = lines[index]
        index += 1
        if not opening.startswith("```"):
            files.append((path, None))
            continue
        fence = opening[: len(opening) - len(opening.lstrip("`"))]
        start = index
        while lines[index] != fence + "\n":
            index += 1
        text = "".join(lines[start:index])
        index += 1
        if index < len(lines) and lines[index] == NO_FINAL_NEWLINE + "\n":
            text = text[:-1]
            index += 1
        files.append((path, text))
    return files


def _split_xml(bundle: str) -> List[Tuple[str, Optional[str]]]:
    import base64
    import xml.etree.ElementTree as ElementTree  # only a caller that splits pays for the parser

    files: List[Tuple[str, Optional[str]]] = []
    for element in ElementTree.fromstring(bundle).iter("file"):
        path = element.get("path", "")
        if element.get("omitted") is not None:
            files.append((path, None))
        elif element.get("encoding") == "base64":
            decoded = base64.b64decode(element.text or "").decode("utf-8", "surrogatepass")
            files.append((base64.b64decode(path).decode("utf-8", "surrogatepass"), decoded))
        else:
            files.append((path, element.text or ""))
    return files


def label_base(paths: Sequence[str], strict: bool = True) -> Optional[str]:
    """The folder bundle labels are relative to: the named folder or the folder of the named file; with
    several named paths, the deepest folder holding them all.

    A path that cannot be looked at raises its OSError when strict, and is passed over otherwise (the
    walk reports it).
    """
    bases = []
    for path in paths:
        try:
            st = os.stat(path)
        except OSError:
            if strict:
                raise
            continue
        absolute = os.path.abspath(path)
        bases.append(absolute if stat.S_ISDIR(st.st_mode) else os.path.dirname(absolute))
    return os.path.commonpath(bases) if bases else None


def label_of(path: str, base: Optional[str]) -> str:
    """A walked path as a bundle names it: relative to base, with forward slashes."""
    absolute = os.path.abspath(path)
    return os.path.relpath(absolute, base if base is not None else os.path.dirname(absolute)).replace(os.sep, "/")
