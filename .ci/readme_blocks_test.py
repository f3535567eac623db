"""Checks .ci/readme_blocks.py: which blocks of a README run, which READMEs it
refuses, and that the script it writes stops at the first failing command."""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import readme_blocks  # noqa: E402

SKIPPED = {"Skipped": "a reason"}
COMMANDS = {"bash slow": "another reason"}


def script(text):
    return readme_blocks.script(text.splitlines(), SKIPPED, COMMANDS, report=lambda line: None)


def commands(text):
    """The command lines the script runs, without its own lines."""
    own = ("set -euo", "# Root", "sudo()", "echo \"== $SECONDS", "status=$?")
    return [line for line in script(text).splitlines() if not line.startswith(own)]


class WhichBlocksRun(unittest.TestCase):
    CASES = {
        "indented block": ("## A\n\nText:\n\n    one\n    two\n\nMore.\n", ["one", "two"]),
        "fenced, untagged and sh": ("## A\n\n```\none\n```\n\n```sh\ntwo\n```\n", ["one", "two"]),
        "skipped section and its subsection": (
            "## Skipped\n\n    one\n\n### Sub\n\n    two\n\n## B\n\n    three\n", ["three"]),
        "skipped command, the rest of its block": ("## A\n\n    bash slow   # why\n    two\n", ["two"]),
        "continued line kept whole": ("## A\n\n    one \\\n        --flag\n", ["one \\", "    --flag"]),
        "a list item's continuation is no block": ("## A\n\n- item\n  more\n\nText.\n", []),
        "a heading inside a fence changes no section": (
            "## Skipped\n\n```\n## A\n```\n\n    two\n", []),
        "python in a skipped section": ("## Skipped\n\n```python\nprint()\n```\n", []),
    }

    def test_cases(self):
        # Each README also has the listed section and command, which must exist.
        listed = "\n## Skipped\n\n## Listed\n\n    bash slow\n"
        for name, (text, expected) in self.CASES.items():
            with self.subTest(name):
                self.assertEqual(commands(text + listed), expected)


class RefusedReadmes(unittest.TestCase):
    CASES = {
        "python block in a run section": ("## A\n\n```python\nprint()\n```\n", "a ```python block"),
        "skipped section that is no heading": ("## A\n\n    bash slow\n", "names 'Skipped'"),
        "skipped command that is no command": ("## Skipped\n\n## A\n\n    one\n", "names 'bash slow'"),
        "indented block right after a list item": (
            "## Skipped\n\n## A\n\n- item\n\n    bash slow\n", "right after a list item"),
    }

    def test_cases(self):
        for name, (text, message) in self.CASES.items():
            with self.subTest(name):
                with self.assertRaises(readme_blocks.ReadmeError) as raised:
                    script(text)
                self.assertIn(message, str(raised.exception))


class ScriptStopsAtAFailure(unittest.TestCase):
    CASES = {
        "all pass": ("true\n    touch ran", 0, True),
        "first command of && fails": ("false && true\n    touch ran", 1, False),
        "a pipeline fails": ("false | true\n    touch ran", 1, False),
        "a plain command fails with its status": ("(exit 3)\n    touch ran", 3, False),
    }

    def test_cases(self):
        for name, (block, status, ran) in self.CASES.items():
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                text = f"## Skipped\n\n## A\n\n    {block}\n\n    bash slow\n"
                done = subprocess.run(["bash", "-c", script(text)], cwd=folder,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                self.assertEqual(done.returncode, status)
                self.assertEqual(os.path.exists(os.path.join(folder, "ran")), ran)


if __name__ == "__main__":
    unittest.main()
