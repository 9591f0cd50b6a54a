#!/usr/bin/env python3
"""Makes egn-list.html, the list page in one self-contained file: the
template with the workers' script and egn-digit's WebAssembly (each
compressed, as inert text the page unpacks) and the page's policy naming
each script the page runs by its hash. The text and the policy are made as
for the window's page (runtime/web/make_page.py).

Usage: make_list_page.py --worker MODULE_SCRIPT WORKER_SCRIPT OUTPUT
         the workers' script: egn-digit's module script, then the worker's
       make_list_page.py TEMPLATE WORKERS MODULE OUTPUT VERSION
         the page (WORKERS, MODULE: the workers' script and the
         WebAssembly in zlib's format, zopfli --zlib)
The same inputs give the same bytes anywhere.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "runtime", "web"))
from make_page import as_text, filled  # noqa: E402


def workers(module_script, worker_script, output):
    script = ""
    for part in (module_script, worker_script):
        # Read as text: CR LF and CR become LF, as the browser reads them.
        script += open(part, encoding="utf-8").read() + "\n"
    open(output, "w", encoding="utf-8", newline="\n").write(script)


def page(template, worker, module, output, version):
    values = {"@EGN_VERSION_TEXT@": version, "@EGN_WORKER@": as_text(open(worker, "rb").read()),
              "@EGN_MODULE@": as_text(open(module, "rb").read())}
    text = filled(template, values, "make_list_page.py")
    open(output, "w", encoding="utf-8", newline="\n").write(text)


def main():
    if sys.argv[1] == "--worker":
        workers(*sys.argv[2:5])
    else:
        page(*sys.argv[1:6])


if __name__ == "__main__":
    main()
