#!/usr/bin/env python3
"""Checks the links of README.md and docs/*.md: every link, picture and
<img src> to a local file leads to a file that exists, and a #fragment to a
heading of that document under GitHub's anchor rules. http(s) and other
links with a scheme are not followed. Usage: doclinks.py [SOURCE-DIR]"""
import glob
import os
import re
import sys
from urllib.parse import unquote

FENCE = re.compile(r'^ {0,3}(```|~~~)')
LINK = re.compile(r'!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+"[^"]*")?\s*\)')
HTML = re.compile(r'<(?:img|a|source)\b[^>]*?\b(?:src|href)\s*=\s*"([^"]*)"', re.I)
HEADING = re.compile(r'^ {0,3}(#{1,6})\s+(.*?)\s*#*\s*$')
HTML_ID = re.compile(r'\b(?:id|name)\s*=\s*"([^"]+)"')


def prose(text, spans=True):
    """The text outside fenced blocks (and code spans), line numbers kept."""
    lines, fenced = [], False
    for line in text.split('\n'):
        if FENCE.match(line):
            fenced = not fenced
            line = ''
        lines.append('' if fenced else line)
    text = '\n'.join(lines)
    blank = lambda m: '\n' * m.group(0).count('\n')
    return re.sub(r'(`+).*?\1', blank, text, flags=re.S) if spans else text


def slug(heading):
    """GitHub's anchor of a heading: its text in lower case, spaces as '-',
    punctuation but '-' and '_' dropped."""
    text = re.sub(r'!?\[([^\]]*)\]\([^)]*\)', r'\1', heading)
    text = re.sub(r'<[^>]*>', '', text)
    return ''.join('-' if c == ' ' else c for c in text.lower()
                   if c.isalnum() or c in ' -_')


def anchors(path, cache={}):
    if path not in cache:
        found, seen = set(), {}
        with open(path, encoding='utf-8') as f:
            text = prose(f.read(), spans=False)
        for line in text.split('\n'):
            m = HEADING.match(line)
            if m:
                base = slug(m.group(2))
                n = seen.get(base, 0)
                seen[base] = n + 1
                found.add(base if n == 0 else '%s-%d' % (base, n))
            found.update(HTML_ID.findall(line))
        cache[path] = found
    return cache[path]


def problem(doc, target):
    """What is wrong with the link target in doc, or None."""
    if re.match(r'[A-Za-z][A-Za-z0-9+.-]*:', target) or target.startswith('//'):
        return None
    path, _, fragment = target.partition('#')
    path = os.path.normpath(os.path.join(os.path.dirname(doc), unquote(path))) if path else doc
    if not os.path.exists(path):
        return 'no file ' + os.path.relpath(path)
    if not fragment:
        return None
    if not path.endswith('.md'):
        return None if re.fullmatch(r'L\d+(-L\d+)?', fragment) else 'a fragment of no document'
    if unquote(fragment) not in anchors(path):
        return 'no heading #%s in %s' % (fragment, os.path.relpath(path))
    return None


def main():
    os.chdir(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..'))
    docs = ['README.md'] + sorted(glob.glob('docs/**/*.md', recursive=True))
    links = broken = 0
    for doc in docs:
        with open(doc, encoding='utf-8') as f:
            text = prose(f.read())
        for m in list(LINK.finditer(text)) + list(HTML.finditer(text)):
            links += 1
            why = problem(doc, m.group(1))
            if why:
                broken += 1
                line = text.count('\n', 0, m.start(1)) + 1
                print('%s:%d: %s: %s' % (doc, line, m.group(1), why))
    print('%d links in %d documents, %d broken' % (links, len(docs), broken))
    return 1 if broken or not links else 0


if __name__ == '__main__':
    sys.exit(main())
