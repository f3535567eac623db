"""whiten-pages' page lines as the workers make them: put back into the caller's names, and read
for what they tell (refused or failed, which page). Names in the lines are shell-quoted where
they need it ('my scan.jpg'), as whiten-pages prints them."""

from __future__ import annotations

import re
from typing import Optional, Sequence, Tuple

# Names whiten-pages shows without quotes, in the ASCII letters.
_PLAIN = re.compile(r"[A-Za-z0-9%+,./:@\]_-]+")
# A name, plain or quoted in any of the shell's ways, up to the first space outside quotes.
_NAME = re.compile(r"(?:[^\s'\"$]|'[^']*'|\"(?:[^\"\\]|\\.)*\"|\$'(?:[^'\\]|\\.)*')+")
_AFTER_NAME = re.compile(r"(?: \(page ([0-9]+) of [0-9]+\))?: (refused|failed): ")


def as_given(text: str, names: Sequence[Tuple[str, str]]) -> str:
    """`text` with each (absolute, given) path put back as given: the workers are handed absolute
    paths. A name quoted only for its absolute part (a space in the current folder) loses its
    quotes, as whiten-pages would print the given name."""
    for absolute, given in names:
        if absolute == given:
            continue

        def requoted(match):
            name = given + match.group(1)
            return name if _PLAIN.fullmatch(name) else f"'{name}'"

        text = re.sub("'" + re.escape(absolute) + r"((?:/[^'\\$]*)?)'", requoted, text)
        text = text.replace(absolute + "/", given.rstrip("/") + "/").replace(absolute, given)
    return text


def problem_kind(line: str) -> Tuple[str, Optional[int]]:
    """("refused" or "failed", the 1-based page of a multi-page input or None) of a problem line
    "NAME: refused: ...", "NAME (page 3 of 9): failed: ..."; a line of another form is failed."""
    name = _NAME.match(line)
    end = name.end() if name else 0
    for start in (end, end - 1):  # a plain name may take the colon after it
        after = _AFTER_NAME.match(line, max(start, 0))
        if after:
            return after.group(2), int(after.group(1)) if after.group(1) else None
    return "failed", None
