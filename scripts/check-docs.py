#!/usr/bin/env python3
"""Checks the Markdown documentation: every relative link in README.md and
docs/ leads to a file that exists, and the pages a deployer reads (README.md
and the deployer's guide) keep to short sentences: at most 16 words a
sentence on average, and no more than a tenth of sentences over 28 words.

Sentences are counted in paragraphs and list items; code, tables and headings
are left out. Prints each page's figures and every finding; exits non-zero
when it finds anything.

Usage: scripts/check-docs.py   (from anywhere; it checks this repository)
"""
import re
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
PLAIN_PAGES = ["README.md", "docs/deploying.md"]
MAX_AVERAGE_WORDS = 16
LONG_SENTENCE_WORDS = 28
MAX_LONG_SHARE = 0.10

LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
LIST_MARKER = re.compile(r"^\s*(?:[-*+]|\d+\.)\s+")
SENTENCE_END = re.compile(r"(?<=[.!?])[\"')\]*`]*\s+")
FENCED_CODE = re.compile(r"```.*?```", re.S)


def pages():
    return [REPO / "README.md"] + sorted((REPO / "docs").glob("*.md"))


def broken_links(page):
    text = FENCED_CODE.sub("", page.read_text(encoding="utf-8"))
    for target in LINK.findall(text):
        if re.match(r"[a-z]+:", target) or target.startswith("#"):
            continue
        path = target.split("#", 1)[0]
        if not (page.parent / path).exists():
            yield target


def prose_units(text):
    """Yields each paragraph and each list item as one string of prose."""
    text = FENCED_CODE.sub("", text)
    for block in re.split(r"\n\s*\n", text):
        lines = [line for line in block.split("\n") if line.strip()]
        if not lines:
            continue
        if all(line.startswith("    ") and not LIST_MARKER.match(line) for line in lines):
            continue  # an indented code block
        unit = []
        for line in lines:
            stripped = line.strip()
            if stripped.startswith(("#", "|", "<!--")):
                continue
            if LIST_MARKER.match(line) and unit:
                yield " ".join(unit)
                unit = []
            unit.append(LIST_MARKER.sub("", line).strip())
        if unit:
            yield " ".join(unit)


def sentence_lengths(text):
    for unit in prose_units(text):
        unit = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", unit)
        for sentence in SENTENCE_END.split(unit):
            words = [w for w in sentence.split() if re.search(r"\w", w)]
            if words:
                yield len(words)


def main():
    findings = []
    for page in pages():
        for target in broken_links(page):
            findings.append(f"{page.relative_to(REPO)}: link to a missing file: {target}")
    for name in PLAIN_PAGES:
        lengths = list(sentence_lengths((REPO / name).read_text(encoding="utf-8")))
        average = sum(lengths) / len(lengths)
        long_share = sum(n > LONG_SENTENCE_WORDS for n in lengths) / len(lengths)
        print(f"{name}: {len(lengths)} sentences, {average:.1f} words on average, "
              f"{long_share:.0%} over {LONG_SENTENCE_WORDS} words")
        if average > MAX_AVERAGE_WORDS:
            findings.append(f"{name}: sentences average {average:.1f} words (at most {MAX_AVERAGE_WORDS})")
        if long_share > MAX_LONG_SHARE:
            findings.append(f"{name}: {long_share:.0%} of sentences run over {LONG_SENTENCE_WORDS} words "
                            f"(at most {MAX_LONG_SHARE:.0%})")
    for finding in findings:
        print(finding, file=sys.stderr)
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
