"""The outputs of a run of whole files, named as whiten-pages names them, planned where the run
is started: each input's output path, and the inputs refused for where their output would go."""

from __future__ import annotations

import os
from typing import Iterable, List, NamedTuple, Optional, Tuple

# Each format's extension; None is whiten-pages without --format (PNG, or one TIFF for a
# multi-page input, told on the worker once the pages are counted).
FORMAT_EXTENSIONS = {"png": ".png", "tiff": ".tif", "jpeg": ".jpg", "bmp": ".bmp", None: ".png"}


class PlannedFile(NamedTuple):
    given: str  # the input as the caller named it
    source: str  # the input as the workers are given it: absolute
    output: str  # its output (the first one of a multi-page input), absolute
    names: Tuple[Tuple[str, str], ...]  # (absolute, as given) of the input and the output folder


class Plan(NamedTuple):
    files: List[PlannedFile]
    refused: List[Tuple[str, str]]  # (input, line) of the inputs whose output cannot be written


def plan_outputs(inputs: Iterable, out_dir, format: Optional[str]) -> Plan:
    """Names every input's output as whiten-pages does: NAME.EXT in out_dir, or in Result beside
    the input. An input whose output would be one of the inputs, or another input's output, is
    refused with whiten-pages' line (paths compared by name, made absolute)."""
    if format not in FORMAT_EXTENSIONS:
        raise ValueError(f"whiten_files: format is png, tiff, jpeg, bmp or None, not {format!r}")
    if out_dir is not None and os.fspath(out_dir) in ("", b""):
        raise ValueError("whiten_files: out_dir names no folder")
    given_inputs = [os.fsdecode(i) for i in inputs]
    input_paths = {os.path.abspath(i) for i in given_inputs}
    outputs_of = {}
    plan = Plan([], [])
    for given in given_inputs:
        folder = os.fsdecode(out_dir) if out_dir is not None else _join(_folder(given), "Result")
        output = _join(folder, _stem(_file_name(given)) + FORMAT_EXTENSIONS[format])
        absolute = os.path.abspath(output)
        if absolute in input_paths:
            plan.refused.append((given, f"{given}: refused: its output {output} would replace an input"))
        elif absolute in outputs_of:
            plan.refused.append(
                (given, f"{given}: refused: its output {output} is already the output of {outputs_of[absolute]}"))
        else:
            outputs_of[absolute] = given
            names = ((os.path.abspath(given), given), (os.path.abspath(folder), folder))
            plan.files.append(PlannedFile(given, os.path.abspath(given), absolute, names))
    return plan


# Path rules of whiten-pages (POSIX), so that the names are its names to the byte.
def _file_name(path: str) -> str:
    return path[path.rfind("/") + 1:]


def _folder(path: str) -> str:
    """The path without its last component: "." for a bare name, "/" directly under the root."""
    start = path.rfind("/") + 1
    if start == 0:
        return "."
    return path[: start - 1].rstrip("/") or "/"


def _join(folder: str, name: str) -> str:
    return folder + name if folder.endswith("/") else folder + "/" + name


def _stem(name: str) -> str:
    """The name without its extension; a name that is all extension (".scan") keeps it."""
    dot = name.rfind(".")
    return name if dot <= 0 else name[:dot]
