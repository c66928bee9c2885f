#!/usr/bin/env python3
"""Writes the application manifest without its comments and layout.

The manifest is kept readable in the source tree; the installer carries it
without comments, indentation or line breaks, which are a fifth of its size and
mean nothing to the system's manifest reader.

usage: minify-manifest.py IN OUT
"""
import re
import sys


def minify(text):
    text = re.sub(r"<!--.*?-->", "", text, flags=re.S)
    text = re.sub(r">\s+<", "><", text)
    # Line breaks and indentation between a tag's attributes become one space.
    text = re.sub(r"\s+", " ", text)
    return text.strip()


def main():
    source, target = sys.argv[1:3]
    with open(source, encoding="utf-8") as f:
        text = minify(f.read())
    with open(target, "w", encoding="utf-8", newline="") as f:
        f.write(text)


if __name__ == "__main__":
    main()
