#!/usr/bin/env python3
"""Link check of an exported folder with the shared crawl benchmark's checker (benchlib.py).

    check_export.py BENCHLIB_PY OUT_DIR SITE_DIR

The checker takes a stored file for a page when it begins with a doctype. An exported page
begins with the comment line that says where it was saved from, so that one leading comment is
skipped before the test; every other count is the checker's own, as the peers get it.
"""
import json
import sys
import types

path, out, site = sys.argv[1:4]
with open(path) as f:
    source = f.read()
test = "data.lstrip()[:15]"
if test not in source:
    sys.exit("check_export.py: benchlib.py changed; its page test was not found")
source = source.replace(
    test, 're.sub(rb"^\\s*<!--.*?-->", b"", data, count=1, flags=re.S).lstrip()[:15]')
benchlib = types.ModuleType("benchlib")
exec(compile(source, path, "exec"), benchlib.__dict__)
print(json.dumps(benchlib.check_mirror(out, site), indent=1, sort_keys=True))
