#!/usr/bin/env python3
"""Renders qvxpack's manual source (manual.txt, whose head says how it is
written) three ways, so that none of them can say something the others do
not:

  --help-source FILE  a C++ file defining qvx::pack::kUsage, the text of
                      `qvxpack --help`: the usage lines, then each "+help"
                      section's first paragraph and its entries' summaries
  --page FILE         the manual page qvxpack(1), in roff
  --text FILE         the whole manual as plain text with CRLF line ends,
                      for the Windows zip

A source that breaks the format stops the build with the line at fault.
"""
import argparse
import email.utils
import re
import sys
import textwrap

HELP_WIDTH = 79
HELP_COLUMN = 26  # where the help's summaries start
TEXT_WIDTH = 78
TEXT_STEP = 4  # the text manual's indent per level


class Entry:
    def __init__(self, term):
        self.term = term
        self.blocks = []  # paragraphs, each a list of lines
        self.children = []


class Section:
    def __init__(self, title, flags):
        self.title = title
        self.help = "+help" in flags
        self.usage = "+usage" in flags
        self.blocks = []  # ("text", lines), ("verbatim", lines) or ("entry", Entry)


class SourceError(Exception):
    pass


def parse(lines):
    sections = []
    paragraph = None  # the list of lines being collected, or None
    entry = None  # the entry whose indented text comes next
    parent = None  # the last top-level entry, for "--" entries
    for number, raw in enumerate(lines, 1):
        line = raw.rstrip("\n")

        def fail(why):
            raise SourceError(f"line {number}: {why}: {line!r}")

        if not line.isascii():
            fail("not ASCII")
        if line.startswith("#"):
            continue
        if not line.strip():
            paragraph = None
            continue
        if line.startswith("= "):
            words = line[2:].split()
            flags = [w for w in words if w.startswith("+")]
            if any(f not in ("+help", "+usage") for f in flags):
                fail("unknown flag")
            sections.append(Section(" ".join(w for w in words if w not in flags), flags))
            paragraph = entry = parent = None
            continue
        if not sections:
            fail("text before the first section")
        section = sections[-1]
        if line.startswith("-- ") or line.startswith("- "):
            nested = line.startswith("-- ")
            entry = Entry(line[3:] if nested else line[2:])
            if nested:
                if parent is None:
                    fail("an option with no entry before it")
                parent.children.append(entry)
            else:
                section.blocks.append(("entry", entry))
                parent = entry
            paragraph = None
            continue
        if line.startswith("    "):
            if entry is None:
                fail("indented text outside an entry")
            if paragraph is None:
                paragraph = []
                entry.blocks.append(paragraph)
            paragraph.append(line.strip())
            continue
        if line == "|" or line.startswith("| "):
            kind = "verbatim"
            text = line[2:]
        elif line[0].isspace():
            fail("indented by other than four spaces")
        else:
            kind = "text"
            text = line
        entry = parent = None
        if not section.blocks or section.blocks[-1][0] != kind or paragraph is None:
            paragraph = []
            section.blocks.append((kind, paragraph))
        paragraph.append(text)
    for section in sections:
        for entry in entries_of(section):
            if not entry.blocks:
                raise SourceError(f"entry {entry.term!r} has no summary")
    if sum(s.usage for s in sections) != 1:
        raise SourceError("exactly one section must be marked +usage")
    return sections


def entries_of(section):
    for kind, value in section.blocks:
        if kind == "entry":
            yield value
            yield from value.children


# Inline markup: *bold* and _italic_, opened after no letter or digit (so
# that RT_RCDATA stays a name) and closed before none.
MARKUP = re.compile(r"(?<![A-Za-z0-9*_])([*_])(?=\S)(.+?)(?<=\S)\1(?![A-Za-z0-9])")


def plain(text):
    return MARKUP.sub(lambda m: m.group(2), text)


# ---- --help and the text manual ----------------------------------------


def wrap(text, width, indent, first=None):
    return textwrap.wrap(
        text,
        width=width,
        initial_indent=first if first is not None else indent,
        subsequent_indent=indent,
        break_long_words=False,
        break_on_hyphens=False,
    )


def joined(paragraph):
    return plain(" ".join(paragraph))


def help_entry(entry, level):
    term = " " * (2 * level) + plain(entry.term)
    summary = joined(entry.blocks[0])
    pad = " " * HELP_COLUMN
    if len(term) + 2 <= HELP_COLUMN:
        lines = wrap(summary, HELP_WIDTH, pad, term.ljust(HELP_COLUMN))
    else:
        lines = [term] + wrap(summary, HELP_WIDTH, pad)
    for child in entry.children:
        lines += help_entry(child, level + 1)
    return lines


def render_help(sections):
    usage = next(s for s in sections if s.usage)
    synopsis = [plain(line) for kind, lines in usage.blocks if kind == "verbatim" for line in lines]
    out = ["usage: " + synopsis[0]] + ["       " + line for line in synopsis[1:]]
    for section in sections:
        if not section.help:
            continue
        out += ["", section.title.capitalize() + ":"]
        texts = [lines for kind, lines in section.blocks if kind == "text"]
        if texts:
            out += wrap(joined(texts[0]), HELP_WIDTH, "  ")
        for kind, value in section.blocks:
            if kind == "entry":
                out += help_entry(value, 1)
    return "\n".join(out) + "\n"


def c_string_lines(text):
    for line in text.splitlines(keepends=True):
        escaped = line.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")
        yield f'    "{escaped}"'


def render_help_source(sections):
    body = "\n".join(c_string_lines(render_help(sections)))
    return (
        "// Made by tools/qvxpack/render_manual.py from tools/qvxpack/manual.txt; edit that.\n"
        '#include "tools/qvxpack/command_line.h"\n\n'
        "namespace qvx::pack {\n\n"
        f"const char* const kUsage =\n{body};\n\n"
        "}  // namespace qvx::pack\n"
    )


def text_blocks(blocks, level):
    """The text manual's lines for a section's or an entry's blocks."""
    out = []
    indent = " " * (TEXT_STEP * level)
    after_text = False
    for kind, value in blocks:
        if out:
            out.append("")
        if kind == "text":
            out += wrap(joined(value), TEXT_WIDTH, indent)
        elif kind == "verbatim":
            # An example under the paragraph that introduces it stands in.
            inset = indent + ("  " if after_text else "")
            out += [inset + plain(line) for line in value]
        else:
            out.append(indent + plain(value.term))
            paragraphs = [("text", p) for p in value.blocks]
            out += text_blocks(paragraphs, level + 1)
            for child in value.children:
                out.append("")
                out.append(" " * (TEXT_STEP * (level + 1)) + plain(child.term))
                out += text_blocks([("text", p) for p in child.blocks], level + 2)
        after_text = kind == "text"
    return out


def render_text(sections, version, date):
    out = [f"qvxpack(1), version {version}, {date}"]
    for section in sections:
        out += ["", section.title]
        out += text_blocks(section.blocks, 1)
    return "\r\n".join(out) + "\r\n"


# ---- the manual page ----------------------------------------------------


def roff_escape(text, in_code):
    text = text.replace("\\", "\\e")
    if in_code:
        return text.replace("-", "\\-")
    # A hyphen between two letters or digits joins a word ("32-bit"); any
    # other is a minus, as in options and the NAME line's dash.
    return re.sub(r"(?<![A-Za-z0-9])-|-(?![A-Za-z0-9])", r"\\-", text)


def roff_inline(text, in_code=False):
    out = []
    last = 0
    for m in MARKUP.finditer(text):
        out.append(roff_escape(text[last : m.start()], in_code))
        font = "B" if m.group(1) == "*" else "I"
        out.append(f"\\f{font}{roff_escape(m.group(2), True)}\\fR")
        last = m.end()
    out.append(roff_escape(text[last:], in_code))
    line = "".join(out)
    # A line starting with a dot or an apostrophe would be a request.
    return "\\&" + line if line[:1] in (".", "'") else line


def roff_blocks(blocks):
    out = []
    after_text = False
    for kind, value in blocks:
        if kind == "text":
            out.append(".PP")
            out += [roff_inline(line) for line in value]
        elif kind == "verbatim":
            inset = after_text
            out += [".PP"] + ([".RS 4"] if inset else []) + [".nf"]
            out += [roff_inline(line, in_code=True) for line in value]
            out += [".fi"] + ([".RE"] if inset else [])
        else:
            out += roff_entry(value)
        after_text = kind == "text"
    return out


def roff_entry(entry):
    out = [".TP", roff_inline(entry.term)]
    for i, paragraph in enumerate(entry.blocks):
        if i:
            out.append(".IP")
        out += [roff_inline(line) for line in paragraph]
    if entry.children:
        out.append(".RS")
        for child in entry.children:
            out += roff_entry(child)
        out.append(".RE")
    return out


def render_page(sections, version, date):
    out = [
        '.\\" Made by tools/qvxpack/render_manual.py from tools/qvxpack/manual.txt; edit that.',
        f'.TH QVXPACK 1 "{date}" "qvxpack {version}" "Quorvex installer tools"',
    ]
    for section in sections:
        out.append(f".SH {section.title}")
        body = roff_blocks(section.blocks)
        # The first paragraph needs no break of its own after the heading.
        if body and body[0] == ".PP":
            body = body[1:]
        out += body
    return "\n".join(out) + "\n"


def release_date(changelog, version):
    """The date of the changelog's top entry, which must be this version's:
    the manual is dated by the release it documents."""
    with open(changelog, encoding="utf-8") as f:
        text = f.read()
    top = re.match(r"qvxpack \(([^)]*)\)", text)
    if not top or top.group(1) != version:
        found = top.group(1) if top else "no entry"
        sys.exit(f"{changelog}: the top entry is {found}, not version {version}: add its entry")
    trailer = re.search(r"^ -- .*>  (.*)$", text, re.MULTILINE)
    if not trailer:
        sys.exit(f"{changelog}: the top entry has no ' -- NAME <ADDRESS>  DATE' line")
    return email.utils.parsedate_to_datetime(trailer.group(1)).strftime("%Y-%m-%d")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("source")
    parser.add_argument("--version", required=True)
    parser.add_argument("--changelog", required=True, help="the package's changelog")
    parser.add_argument("--help-source")
    parser.add_argument("--page")
    parser.add_argument("--text")
    args = parser.parse_args()
    date = release_date(args.changelog, args.version)
    try:
        with open(args.source, encoding="ascii", errors="replace") as f:
            sections = parse(f)
    except SourceError as e:
        sys.exit(f"{args.source}: {e}")
    outputs = [
        (args.help_source, lambda: render_help_source(sections), "\n"),
        (args.page, lambda: render_page(sections, args.version, date), "\n"),
        (args.text, lambda: render_text(sections, args.version, date), ""),
    ]
    for path, render, newline in outputs:
        if path:
            with open(path, "w", encoding="ascii", newline=newline) as f:
                f.write(render())


if __name__ == "__main__":
    main()
