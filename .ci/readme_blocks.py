"""Turns the commands of README.md into one bash script, in the order written,
for .ci/readme to run on a fresh clone. Which commands run:

- Every code block runs: an indented block (lines indented by four spaces or
  more, after a blank line) or a fenced block (``` with no language, or sh,
  bash, shell or console).
- Except the blocks of the sections in SKIPPED_SECTIONS (a "## " heading, and
  with it its "### " subsections, or one "### " subsection), and the command
  lines in SKIPPED_COMMANDS; each entry says why. An entry that matches nothing
  in the README is an error, so the lists cannot outlive what they name.
- A fenced block in another language (python ...) outside the skipped sections
  is an error: it would otherwise be left out silently.
- An indented block right after a list item is an error too, since Markdown
  may read it as part of the item rather than as code.
The skipped blocks and lines are listed on standard error with their reasons.
Each command line is followed by a check of its status, so that the script
stops at the first command that fails, also the first of `a && b`.
"""
import re
import shlex
import sys

# Heading -> why its code blocks are not run.
SKIPPED_SECTIONS = {
    "Usage": "the synopsis and the lines the tool prints, not commands",
    "From Python": "Python examples on a placeholder scan (scans/p1.jpg) and a benchmark that "
                   "needs python3-opencv; tests/python checks the module's API",
    "whiten-pages: JPEG, PNG and TIFF pages": "the synopsis, and a benchmark of several minutes "
                                              "that needs python3-opencv and imagemagick",
    "Making input files, and back": "commands on a folder of scans (placeholders); .ci/recipes runs "
                                    "them as written on a folder of small pages",
    "Whole books": "commands on a book folder (a placeholder) and on other machines; .ci/recipes "
                   "runs them as written on a small book, with the local machine for the others",
    "Many machines": "a scheduler and workers left running, on placeholder scans and a placeholder "
                     "cluster, and a benchmark of minutes; tests/dask runs the command and "
                     "whiten_files on a local cluster of two workers",
    "Scanned PDFs: OCRmyPDF": "commands on a placeholder PDF, and OCR measurements of minutes; "
                              ".ci/ocrmypdf runs the plugin's end-to-end test",
    "Speed and memory": "benchmarks on placeholder pages (PAGE.bmp, A4 scans), minutes long, "
                        "that need libbenchmark-dev",
    "Windows": "needs mingw-w64 and wine; .ci/windows builds and tests the Windows tool",
}

# A command line, as written in the README without its comment -> why it is not run.
SKIPPED_COMMANDS = {
    "bash .ci/test": "the test command is CI's first stage (.ci/run); a second run here would "
                     "double CI's longest stage",
}

RUN_LANGUAGES = {"", "sh", "bash", "shell", "console"}

# set -e lets the first command of `a && b` fail unseen, so each command line
# is followed by a check of its status; not a line that the next one continues.
CHECK = 'status=$?; [ $status = 0 ] || {{ echo "README.md:{line}: status $status" >&2; exit $status; }}'
CONTINUED = re.compile(r"(\\|\||&&|\bdo|\bthen|\belse|[{(])\s*$")


class ReadmeError(Exception):
    """A README that the convention cannot run as it stands."""


def sections(lines):
    """Yields (line number, (chapter, section), line): the titles of the "## "
    heading and of the innermost "## " or "### " heading above each line."""
    chapter = section = ""
    fenced = False
    for number, line in enumerate(lines, 1):
        if line.startswith("```"):
            fenced = not fenced
        elif not fenced and re.match(r"#{2,3} ", line):
            title = line.lstrip("#").strip()
            if line.startswith("## "):
                chapter = title
            section = title
        yield number, (chapter, section), line


def trimmed(block):
    while block and not block[-1].strip():
        block.pop()
    return block


def code_blocks(lines):
    """Yields (first line number, (chapter, section), language, block lines)."""
    block, fence, start, where = None, None, 0, None
    last_text, blank_before = "", True
    for number, where_now, line in sections(lines):
        if fence is not None:
            if line.startswith("```"):
                yield start, where, fence, block
                block, fence = None, None
            else:
                block.append(line)
            continue
        if block is not None:
            if line.startswith("    ") or not line.strip():
                block.append(line[4:])
                continue
            yield start, where, "", trimmed(block)
            block = None
        if line.startswith("```"):
            block, fence, start, where = [], line[3:].strip(), number + 1, where_now
        elif line.startswith("    ") and line.strip() and blank_before:
            # After a list item, or a line continuing one, Markdown may take
            # the indented lines for part of the item.
            if re.match(r"([-*+]|\d+\.) | {1,3}\S", last_text):
                raise ReadmeError(f"README.md:{number}: an indented block right after a list item; "
                                  "put a paragraph between or fence it")
            block, start, where = [line[4:]], number, where_now
        elif line.strip():
            last_text = line
        blank_before = not line.strip()
    if block is not None:
        yield start, where, fence or "", trimmed(block)


def script(lines, skipped_sections=None, skipped_commands=None, report=None):
    """The bash script of the README's lines; `report` gets a line for each
    block or command left out (standard error by default)."""
    skipped_sections = SKIPPED_SECTIONS if skipped_sections is None else skipped_sections
    skipped_commands = SKIPPED_COMMANDS if skipped_commands is None else skipped_commands
    report = report or (lambda line: print(line, file=sys.stderr))
    out = ["set -euo pipefail",
           "# Root already, or sudo for a user who is not.",
           'sudo() { if [ "$(id -u)" = 0 ]; then "$@"; else command sudo "$@"; fi; }']
    used_commands = set()
    headings = {title for _, where, _ in sections(lines) for title in where}
    for start, (chapter, section), language, block in code_blocks(lines):
        skipped = next((title for title in (section, chapter) if title in skipped_sections), None)
        if skipped:
            report(f"-- not run, README.md:{start} ({skipped}): {skipped_sections[skipped]}")
            continue
        if language not in RUN_LANGUAGES:
            raise ReadmeError(f"README.md:{start}: a ```{language} block in section {section!r}, which is "
                              "not skipped: list the section in .ci/readme_blocks.py or make it a shell block")
        kept = []
        for number, line in enumerate(block, start):
            command = line.split(" #")[0].strip()
            if command in skipped_commands:
                used_commands.add(command)
                report(f"-- not run, README.md:{number}: {command}: {skipped_commands[command]}")
            elif line.strip() or kept:
                kept.append((number, line))
        if kept:
            first = f"README.md:{kept[0][0]}: {kept[0][1].strip()}"
            out.append(f'echo "== $SECONDS s, "{shlex.quote(first)}')
            for number, line in kept:
                out.append(line)
                if line.strip() and not CONTINUED.search(line.split(" #")[0]):
                    out.append(CHECK.format(line=number))
    for title in skipped_sections:
        if title not in headings:
            raise ReadmeError(f"SKIPPED_SECTIONS names {title!r}, which is no heading of README.md")
    for command in skipped_commands:
        if command not in used_commands:
            raise ReadmeError(f"SKIPPED_COMMANDS names {command!r}, which is no command of README.md")
    return "\n".join(out) + "\n"


if __name__ == "__main__":
    try:
        sys.stdout.write(script(open(sys.argv[1], encoding="utf-8").read().splitlines()))
    except ReadmeError as error:
        sys.exit(str(error))
