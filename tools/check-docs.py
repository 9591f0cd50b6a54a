#!/usr/bin/python3
"""Runs the documents' example commands and holds their output to what the
documents show: the README, docs/*.md and the man pages in packaging/.

An example is a fenced block of a Markdown file whose first line starts with
"$ ": each "$ " line is a command (a line ending in a backslash goes on in
the next), and the lines after it, up to the next command or the end of the
block, are its output, standard output and standard error together, exactly.
A block that does not start with "$ " (what to type to install or build, say)
is not run. In a man page the examples are the "$ " lines of its no-fill
blocks (.nf to .fi) in the EXAMPLES section, read from the source; each
command must also read the same in the page as man shows it, since that is
what a reader copies (a tab in the source, for one, shows as blanks).

The commands of one document run in order, with bash, in a folder of their
own that starts as a copy of docs/examples/ (the files examples read, such as
numbers.txt), so that a file one command writes is there for the next. The
programs are the built ones: BUILD_DIR/cli and BUILD_DIR/window come first on
the PATH. Nothing is built here. First the check runs on two samples of its
own with faults known in advance, and stops unless it finds exactly those: a
check that finds nothing must have looked.

Usage: tools/check-docs.py [BUILD_DIR]   (default build)
"""
import difflib
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXAMPLES = os.path.join(TOP, "docs", "examples")
SECONDS = 60
PROMPT = "$ "


class Example:
    """A command, where it is written, and the output the document shows."""

    def __init__(self, where, command):
        self.where, self.command, self.output = where, command, []


def markdown_examples(path, name):
    """The examples of a Markdown file, and the problems in how they are written."""
    examples, problems = [], []
    fence, block_is_example, continued = None, False, False
    with open(path, encoding="utf-8") as file:
        lines = file.read().split("\n")
    for number, line in enumerate(lines, 1):
        where = f"{name}:{number}"
        if fence is None:
            opening = re.match(r"\s*(```+|~~~+)", line)
            if opening:
                fence, first = opening.group(1), True
            continue
        if line.strip().startswith(fence[:3]) and line.strip().strip(fence[0]) == "":
            if continued:
                problems.append(f"{where}: the block ends inside a command (its last line ends in \\)")
            fence, block_is_example, continued = None, False, False
            continue
        if first:
            first, block_is_example = False, line.startswith(PROMPT)
        if not block_is_example:
            continue
        if continued:
            examples[-1].command += "\n" + line
        elif line.startswith(PROMPT):
            examples.append(Example(where, line[len(PROMPT):]))
        else:
            examples[-1].output.append(line)
        continued = (continued or line.startswith(PROMPT)) and line.endswith("\\")
    if fence is not None:
        problems.append(f"{name}: a fenced block is not closed")
    return examples, problems


ROFF_ESCAPES = {"-": "-", "e": "\\", "\\": "\\", " ": " ", "&": "", "t": "\t",
                "(aq": "'", "(dq": '"', "(en": "\u2013", "(em": "\u2014", "(lq": "\u201c",
                "(rq": "\u201d"}


def roff_text(line):
    """A no-fill line of roff as text; an escape not known here raises ValueError."""
    def one(match):
        if match.group(1) not in ROFF_ESCAPES:
            raise ValueError(f"the escape \\{match.group(1)} is not one this check reads")
        return ROFF_ESCAPES[match.group(1)]
    return re.sub(r"\\(\(..|.)", one, line)


def rendered_commands(path):
    """The command lines of the EXAMPLES section as man shows the page."""
    env = dict(os.environ, MANWIDTH="250", MANPAGER="cat", PAGER="cat", LC_ALL="C.UTF-8")
    env.pop("MAN_KEEP_FORMATTING", None)
    try:
        page = subprocess.run(["man", "-l", path], capture_output=True, env=env, check=True).stdout
    except FileNotFoundError:
        sys.exit(f"check-docs: man (Debian's man-db) is needed to read {path} as readers see it")
    commands, inside = [], False
    for line in page.decode("utf-8").split("\n"):
        if line and not line[0].isspace():
            inside = line.strip() in ("EXAMPLES", "EXAMPLE")
        elif inside and line.strip().startswith(PROMPT):
            commands.append(line.strip()[len(PROMPT):])
    return commands


def man_examples(path, name):
    """The examples of a man page's EXAMPLES section, and the problems in how they are written."""
    examples, problems = [], []
    section, no_fill = None, False
    with open(path, encoding="utf-8") as file:
        lines = file.read().split("\n")
    for number, line in enumerate(lines, 1):
        where = f"{name}:{number}"
        if line.startswith(".SH"):
            section, no_fill = line[3:].strip().strip('"'), False
            continue
        if section not in ("EXAMPLES", "EXAMPLE"):
            continue
        if line.startswith((".nf", ".EX")):
            no_fill = True
        elif line.startswith((".fi", ".EE")):
            no_fill = False
        elif no_fill and not line.startswith((".", "'")):
            try:
                text = roff_text(line)
            except ValueError as problem:
                problems.append(f"{where}: {problem}")
                continue
            if text.startswith(PROMPT):
                examples.append(Example(where, text[len(PROMPT):]))
            elif examples:
                examples[-1].output.append(text)
    if not examples:
        return examples, problems
    shown = rendered_commands(path)
    if len(shown) != len(examples):
        problems.append(f"{name}: man shows {len(shown)} commands in EXAMPLES, "
                        f"the source has {len(examples)}")
        return examples, problems
    for example, seen in zip(examples, shown):
        if seen != example.command:
            problems.append(f"{example.where}: man shows the command as {seen!r}, "
                            f"not as written, {example.command!r}")
    return examples, problems


def run(example, folder, env):
    """The problem with an example's output, if any."""
    expected = "".join(line + "\n" for line in example.output).encode("utf-8")
    try:
        done = subprocess.run(["bash", "-c", example.command], cwd=folder, env=env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=SECONDS)
    except subprocess.TimeoutExpired:
        return f"{example.where}: `{example.command}` did not end within {SECONDS} s"
    if done.stdout == expected:
        return None
    diff = difflib.unified_diff(
        expected.decode("utf-8").splitlines(),
        done.stdout.decode("utf-8", "backslashreplace").splitlines(),
        "as the document shows", "as the command prints", lineterm="")
    return (f"{example.where}: `{example.command}` prints other than the document shows:\n"
            + "\n".join("    " + line for line in diff))


def check(documents, top, env):
    """The problems of the documents' examples, and how many examples ran."""
    problems, count = [], 0
    for path in documents:
        name = os.path.relpath(path, top)
        read = man_examples if re.search(r"\.[1-8]$", path) else markdown_examples
        examples, found = read(path, name)
        problems += found
        if not examples:
            continue
        with tempfile.TemporaryDirectory() as folder:
            if os.path.isdir(EXAMPLES):
                shutil.copytree(EXAMPLES, folder, dirs_exist_ok=True)
            for example in examples:
                problem = run(example, folder, env)
                if problem:
                    problems.append(problem)
        count += len(examples)
    return problems, count


# Documents with a fault known in advance, each on the line named: the check
# must find exactly these before its word on the real documents counts.
SAMPLES = {
    "sample.md": "Text.\n\n```\n$ printf 'a\\tb\\n' > f; cat f\na\tb\n"
                 "$ echo out; echo err >&2\nout\nerr\n$ echo shown\nnot shown\n```\n\n"
                 "```\nnot run\n$ not run either\n```\n",
    "sample.1": ".TH SAMPLE 1\n.SH EXAMPLES\n.nf\n$ echo \\-\n\\-\n"
                "$ printf 'a\\etb\\en' | grep -c '\t'\n1\n.fi\n",
}
SAMPLE_FAULTS = ["sample.md:9", "sample.1:6"]


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build"))
    program = os.path.join(build, "cli", "egn-digit")
    if not os.access(program, os.X_OK):
        sys.exit(f"check-docs: {program} is not built "
                 f"(cmake --build {os.path.relpath(build)} --target egn-digit)")
    env = dict(os.environ, LC_ALL="C.UTF-8",
               PATH=os.pathsep.join([os.path.join(build, "cli"), os.path.join(build, "window"),
                                     os.environ.get("PATH", "")]))
    with tempfile.TemporaryDirectory() as samples:
        for name, text in SAMPLES.items():
            with open(os.path.join(samples, name), "w", encoding="utf-8") as file:
                file.write(text)
        found, _ = check(sorted(os.path.join(samples, name) for name in SAMPLES), samples, env)
    if sorted(problem.split(": ")[0] for problem in found) != sorted(SAMPLE_FAULTS):
        sys.exit("check-docs: the check itself is broken: in its samples it should find faults "
                 f"at {', '.join(SAMPLE_FAULTS)} and no others, and found:\n" + "\n".join(found))
    documents = [os.path.join(TOP, "README.md")]
    documents += sorted(glob.glob(os.path.join(TOP, "docs", "**", "*.md"), recursive=True))
    documents += sorted(glob.glob(os.path.join(TOP, "packaging", "*.[1-8]")))
    problems, count = check(documents, TOP, env)
    for problem in problems:
        print(f"check-docs: {problem}", file=sys.stderr)
    if problems:
        sys.exit(1)
    print(f"check-docs: {count} example commands, each printing what its document shows")


if __name__ == "__main__":
    main()
