"""The type stub shipped beside the module declares exactly what the module has: every class, function,
method and property, with the same parameters, bases and docstrings."""

import ast
import inspect
import pathlib

import pytest

import tersewright

CORE = tersewright._core
STUB = ast.parse(pathlib.Path(tersewright.__file__).with_name("_core.pyi").read_text())
NO_DEFAULT = inspect.Parameter.empty


def stub_declarations():
    """Public name (Class.member for members) -> its ast node; a property's setter is not a declaration."""
    found = {}
    for node in STUB.body:
        if not isinstance(node, (ast.ClassDef, ast.FunctionDef)) or node.name.startswith("_"):
            continue
        found[node.name] = node
        if isinstance(node, ast.ClassDef):
            for member in node.body:
                if isinstance(member, ast.FunctionDef):
                    found.setdefault(f"{node.name}.{member.name}", member)
    return found


def module_declarations():
    found = {}
    for name, value in vars(CORE).items():
        if name.startswith("_"):
            continue
        found[name] = value
        if isinstance(value, type):
            for member_name, member in vars(value).items():
                if not member_name.startswith("__"):
                    found[f"{name}.{member_name}"] = member
            if value.__text_signature__ is not None:
                found[f"{name}.__new__"] = value
    return found


DECLARED, PRESENT = stub_declarations(), module_declarations()


def stub_parameters(function):
    arguments = function.args
    positional = arguments.posonlyargs + arguments.args
    defaults = [NO_DEFAULT] * (len(positional) - len(arguments.defaults)) + arguments.defaults
    kinds = [inspect.Parameter.POSITIONAL_ONLY] * len(arguments.posonlyargs) + [
        inspect.Parameter.POSITIONAL_OR_KEYWORD] * len(arguments.args)  # fmt: skip
    rows = [(a.arg, kind, d if d is NO_DEFAULT else ast.literal_eval(d)) for a, kind, d in zip(positional, kinds, defaults)]
    for a, d in zip(arguments.kwonlyargs, arguments.kw_defaults):
        rows.append((a.arg, inspect.Parameter.KEYWORD_ONLY, NO_DEFAULT if d is None else ast.literal_eval(d)))
    assert arguments.vararg is None and arguments.kwarg is None
    return rows


def module_parameters(callable_):
    return [(p.name, p.kind, p.default) for p in inspect.signature(callable_).parameters.values()]


def test_the_stub_declares_what_the_module_has():
    assert sorted(DECLARED) == sorted(PRESENT)


@pytest.mark.parametrize("name", sorted(PRESENT))
def test_declaration_matches(name):
    present, declared = PRESENT[name], DECLARED[name]
    is_property = type(present).__name__ == "getset_descriptor"
    if isinstance(declared, ast.ClassDef):
        assert ([ast.unparse(base) for base in declared.bases] or ["object"]) == [b.__name__ for b in present.__bases__]
    else:
        decorators = [ast.unparse(d) for d in declared.decorator_list]
        assert decorators == (["property"] if is_property else [])
    if name.endswith(".__new__"):
        # The class carries the constructor's signature and docstring; the stub's __new__ names cls first.
        assert ast.get_docstring(declared) is None
        wanted, given = stub_parameters(declared)[1:], module_parameters(present)
    else:
        assert ast.get_docstring(declared) == present.__doc__
        if is_property or isinstance(declared, ast.ClassDef):
            return
        wanted, given = stub_parameters(declared), module_parameters(present)
        if "." in name:  # the module's self is positional-only, which the stub leaves unsaid
            assert given[0][0] == wanted[0][0] == "self"
            wanted, given = wanted[1:], given[1:]
    assert [(n, kind) for n, kind, _ in given] == [(n, kind) for n, kind, _ in wanted]
    for (parameter, _, shown), (_, _, default) in zip(given, wanted):
        # A text signature may show "..." where the default is not a plain literal; the stub says what it is.
        assert shown is Ellipsis or shown == default, parameter
