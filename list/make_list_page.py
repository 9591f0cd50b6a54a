#!/usr/bin/env python3
"""Makes egn-list.html, the list page in one self-contained file: the
template with egn-digit's module script and the worker's script (inert text,
made into the page's worker), its WebAssembly (compressed, as text) and the
page's policy naming each script the page runs by its hash. The text and
the policy are made as for the window's page (runtime/web/make_page.py).

Usage: make_list_page.py TEMPLATE MODULE_SCRIPT WORKER_SCRIPT MODULE OUTPUT VERSION
(MODULE: the WebAssembly in zlib's format, zopfli --zlib.)
The same inputs give the same bytes anywhere.
"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "runtime", "web"))
from make_page import CANNOT_STAND_INSIDE, HASHES, as_text, script_hashes, without_comments  # noqa: E402


def main():
    template, module_script, worker_script, module, output, version = sys.argv[1:7]
    worker = ""
    for script in (module_script, worker_script):
        # Read as text: CR LF and CR become LF, as the browser reads them.
        code = open(script, encoding="utf-8").read()
        if found := CANNOT_STAND_INSIDE.search(code):
            sys.exit(f"make_list_page.py: {script} holds \"{found.group(0)}\" at character"
                     f" {found.start()}: it cannot stand inside the page's script element")
        worker += code + "\n"
    page = without_comments(open(template, encoding="utf-8").read())
    if HASHES not in page or page.index(HASHES) > page.find("<script>"):
        sys.exit(f"make_list_page.py: {template} has no {HASHES} before its first script")
    values = {"@EGN_VERSION_TEXT@": version, "@EGN_WORKER@": worker,
              "@EGN_MODULE@": as_text(open(module, "rb").read())}
    for key in values:
        if key not in page:
            sys.exit(f"make_list_page.py: {template} has no {key}")
    page = re.sub("|".join(values), lambda m: values[m.group(0)], page)
    page = page.replace(HASHES, " ".join(script_hashes(page)), 1)
    open(output, "w", encoding="utf-8", newline="\n").write(page)


if __name__ == "__main__":
    main()
