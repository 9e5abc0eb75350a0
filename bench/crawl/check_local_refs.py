#!/usr/bin/env python3
"""Counts the references of a copied site that open from disk, as a browser reading the copy
through file:// URLs would resolve them.

    check_local_refs.py FOLDER --origin http://127.0.0.1:PORT [--site DIR] [--samples N] [--json]

FOLDER is a folder export (or a wget2 -k copy). Every .html/.htm/.xhtml file and every file that
begins like HTML is read for href (a, area, link), src (any element), srcset (img, source), data
(object), poster (video), background (any element), the url of a meta refresh, and the CSS of its
style elements and style attributes; every .css file for url() and @import. A page's <base href>
re-bases its references, as it does in a browser.

A reference is local when it is relative, a file:// URL into FOLDER, or an absolute URL on
--origin (the address the site was crawled from: such a link was not converted and needs the
server). It opens
from disk when it resolves to an existing regular file below FOLDER (a folder is listed by a
browser, not opened, so it counts as not opening). With --site (the folder the origin serves), an
origin address that names no file there is broken on the site itself: counted apart
(broken_online), not as local. External addresses, fragment-only and empty
references, and data:, mailto:, javascript:, tel: and about: references are not counted.
Prints one line per count (or JSON) and up to N sample failures per kind.
"""
import argparse
import html.parser
import json
import os
import re
import sys
from collections import Counter, defaultdict
from urllib.parse import unquote, urljoin, urlsplit

SKIPPED_SCHEMES = ("data:", "mailto:", "javascript:", "tel:", "about:", "blob:", "sms:")
CSS_REF = re.compile(
    r"""url\(\s*(?:"([^"]*)"|'([^']*)'|([^)\s]*))\s*\)|@import\s+(?:"([^"]*)"|'([^']*)')""",
    re.I)
CSS_COMMENT = re.compile(r"/\*.*?\*/", re.S)
REFRESH_URL = re.compile(r"""^\s*\d*(?:\.\d*)?\s*[;,]?\s*(?:url\s*=\s*)?["']?([^"']*)""", re.I)


def css_refs(text):
    for m in CSS_REF.finditer(CSS_COMMENT.sub("", text)):
        yield next(g for g in m.groups() if g is not None)


def srcset_refs(value):
    for candidate in value.split(","):
        parts = candidate.split()
        if parts:
            yield parts[0]


class PageRefs(html.parser.HTMLParser):
    """The references of one page, in document order, and its base href."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.refs, self.base, self._style = [], None, None

    def handle_starttag(self, tag, attrs):
        a = {k.lower(): (v or "") for k, v in attrs}
        if tag == "base" and "href" in a and self.base is None:
            self.base = a["href"]
            return
        if tag in ("a", "area", "link") and "href" in a:
            self.refs.append(a["href"])
        for name in ("src", "background"):
            if name in a:
                self.refs.append(a[name])
        if tag in ("img", "source") and "srcset" in a:
            self.refs.extend(srcset_refs(a["srcset"]))
        if tag == "object" and "data" in a:
            self.refs.append(a["data"])
        if tag == "video" and "poster" in a:
            self.refs.append(a["poster"])
        if tag == "meta" and a.get("http-equiv", "").lower() == "refresh":
            m = REFRESH_URL.match(a.get("content", ""))
            if m and m.group(1).strip():
                self.refs.append(m.group(1).strip())
        if "style" in a:
            self.refs.extend(css_refs(a["style"]))
        if tag == "style":
            self._style = []

    def handle_data(self, data):
        if self._style is not None:
            self._style.append(data)

    def handle_endtag(self, tag):
        if tag == "style" and self._style is not None:
            self.refs.extend(css_refs("".join(self._style)))
            self._style = None


def is_html(path, head):
    if path.lower().endswith((".html", ".htm", ".xhtml")):
        return True
    start = re.sub(rb"^\s*(<!--.*?-->\s*)*", b"", head[:4096], flags=re.S).lower()
    return start.startswith((b"<!doctype html", b"<html"))


def file_url(path):
    return "file://" + "/".join(
        "".join(c if c.isalnum() or c in "-._~/" else "%%%02X" % b
                for b, c in ((b, chr(b)) for b in os.fsencode(part)))
        for part in path.split("/"))


def classify(ref, document_url, base_url, root, origin, site=None):
    """('skip'|'external'|'broken_online'|'ok'|kind of failure, resolved target)."""
    ref = ref.strip()
    low = ref.lower()
    if not ref or ref.startswith("#") or low.startswith(SKIPPED_SCHEMES):
        return "skip", ref
    target = urljoin(base_url or document_url, ref)
    parts = urlsplit(target)
    if parts.scheme in ("http", "https", "ftp"):
        if origin and target.startswith(origin):
            if site:
                path = os.path.join(site, unquote(urlsplit(target).path).lstrip("/"))
                if os.path.isdir(path):
                    path = os.path.join(path, "index.html")
                if not os.path.isfile(path):
                    return "broken_online", target
            return "online_origin", target
        return "external", target
    if parts.scheme != "file":
        return "external", target
    path = os.fsdecode(unquote(parts.path, encoding="utf-8", errors="surrogateescape")
                       .encode("utf-8", "surrogateescape"))
    if os.path.commonpath([root, os.path.abspath(path)]) != root:
        # A file: address the site itself wrote is no reference into the copy.
        if urlsplit(ref).scheme == "file":
            return "external", target
        return "outside_copy", path
    if os.path.isdir(path):
        return "folder", path
    if not os.path.isfile(path):
        return "missing", path
    return "ok", path


def check(folder, origin, site=None):
    root = os.path.abspath(folder)
    counts, samples = Counter(), defaultdict(list)
    for directory, _, names in os.walk(root):
        for name in sorted(names):
            path = os.path.join(directory, name)
            with open(path, "rb") as f:
                data = f.read()
            if name.lower().endswith(".css") or ".css\xbf" in name:
                refs, base = list(css_refs(data.decode("utf-8", "replace"))), None
                counts["css_files"] += 1
            elif is_html(path, data):
                parser = PageRefs()
                parser.feed(data.decode("utf-8", "replace"))
                parser.close()
                refs, base = parser.refs, parser.base
                counts["html_files"] += 1
            else:
                continue
            document_url = file_url(path)
            base_url = urljoin(document_url, base) if base else None
            for ref in refs:
                kind, target = classify(ref, document_url, base_url, root, origin, site)
                if kind == "skip":
                    continue
                counts[kind] += 1
                if kind not in ("ok", "external", "broken_online"):
                    samples[kind].append("%s: %s -> %s" % (os.path.relpath(path, root), ref,
                                                           target))
    local = sum(n for k, n in counts.items()
                if k not in ("external", "broken_online", "html_files", "css_files"))
    counts["local"] = local
    counts["not_opening"] = local - counts["ok"]
    return counts, samples


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("folder")
    parser.add_argument("--origin", default="", help="the address the site was copied from")
    parser.add_argument("--site", help="the folder the origin serves")
    parser.add_argument("--samples", type=int, default=5)
    parser.add_argument("--json", action="store_true")
    args = parser.parse_args()
    counts, samples = check(args.folder, args.origin.rstrip("/"), args.site)
    share = 100.0 * counts["ok"] / counts["local"] if counts["local"] else 100.0
    if args.json:
        print(json.dumps({"counts": counts, "ok_percent": round(share, 3),
                          "samples": {k: v[:args.samples] for k, v in samples.items()}},
                         indent=1, sort_keys=True))
        return
    for key in sorted(counts):
        print("%-14s %d" % (key, counts[key]))
    print("%-14s %.3f" % ("ok_percent", share))
    for kind, lines in sorted(samples.items()):
        print("\n%s (%d), for example:" % (kind, len(lines)))
        for line in lines[:args.samples]:
            print("  " + line)


if __name__ == "__main__":
    sys.exit(main())
