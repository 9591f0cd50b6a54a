#!/usr/bin/python3
"""Lighthouse's mobile audit (a mid-range phone on slow 4G, simulated) of the
web build's site/ against bench/reference_window.html (the same window written
by hand), both served by one loopback HTTP server, audited alternately in the
same run: the medians of first and largest contentful paint, total blocking
time, speed index and the performance score, and each category's score.

Usage: bench/web_lighthouse.py WEB_BUILD_DIR [RUNS] [--plain] [--check]
RUNS rounds (5 if not given), each one audit of each page. The server
compresses text and WebAssembly (gzip) where the browser accepts it, as
static hosts do; --plain serves every file as it is. --check exits 1 unless
site/ and its list page (site/egn-list.html, audited beside them, its scores
alone) score 100 for accessibility, best practices and SEO.

Lighthouse comes from the build's web_engines/node_modules, installed there
with npm ci from window/tests/web/web_engines/package-lock.json (as
tools/check-web.sh does) where it is not yet.
"""
import argparse
import gzip
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.path.join(HERE, "reference_window.html")
ENGINES = os.path.join(HERE, "..", "window", "tests", "web", "web_engines")
sys.path.insert(0, ENGINES)
import drivers  # noqa: E402  (the loopback host)
METRICS = {"first-contentful-paint": "FCP", "largest-contentful-paint": "LCP",
           "total-blocking-time": "TBT", "speed-index": "SI"}
CATEGORIES = ["performance", "accessibility", "best-practices", "seo"]


class Host(drivers.Quiet):
    """A static host: the types hosts give, no caching (every audit a first
    visit), and gzip for text and WebAssembly unless told to serve plainly."""
    plain = False
    extensions_map = {".html": "text/html; charset=utf-8", ".js": "text/javascript",
                      ".webmanifest": "application/manifest+json", ".png": "image/png",
                      ".wasm": "application/wasm", ".woff2": "font/woff2"}

    def do_GET(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            path = os.path.join(path, "index.html")
        if not os.path.isfile(path):
            return self.send_error(404)
        data = open(path, "rb").read()
        kind = self.extensions_map.get(os.path.splitext(path)[1], "application/octet-stream")
        packed = (not self.plain and "gzip" in self.headers.get("Accept-Encoding", "")
                  and not kind.startswith(("image/", "font/")))
        if packed:
            data = gzip.compress(data, 9, mtime=0)
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Cache-Control", "no-store")
        if packed:
            self.send_header("Content-Encoding", "gzip")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


def lighthouse(build):
    """The Lighthouse program of the build's pinned modules, installed first
    where they are not."""
    modules = os.path.join(os.path.abspath(build), "web_engines")
    program = os.path.join(modules, "node_modules", ".bin", "lighthouse")
    if not os.path.exists(program):
        os.makedirs(modules, exist_ok=True)
        for name in ("package.json", "package-lock.json"):
            shutil.copyfile(os.path.join(ENGINES, name), os.path.join(modules, name))
        subprocess.run(["npm", "ci", "--no-audit", "--no-fund", "--loglevel=error"], cwd=modules,
                       check=True)
    return program


def audit(program, url, scratch):
    report = os.path.join(scratch, "report.json")
    subprocess.run([program, url, "--quiet", "--output=json", f"--output-path={report}",
                    "--chrome-flags=--headless=new --no-sandbox"], check=True,
                   env={**os.environ, "CHROME_PATH": "/usr/bin/chromium"})
    result = json.load(open(report))
    return ({name: result["audits"][key]["numericValue"] for key, name in METRICS.items()},
            {c: result["categories"][c]["score"] for c in CATEGORIES})


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("runs", nargs="?", type=int, default=5)
    parser.add_argument("--plain", action="store_true")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    program = lighthouse(args.build)

    scratch = tempfile.mkdtemp()
    shutil.copytree(os.path.join(args.build, "window", "site"), os.path.join(scratch, "site"))
    shutil.copyfile(REFERENCE, os.path.join(scratch, "reference_window.html"))
    Host.plain = args.plain
    server, base = drivers.serve(scratch, Host)
    pages = {"site/": base + "site/", "reference": base + "reference_window.html",
             "list page": base + "site/egn-list.html"}
    metrics = {page: [] for page in pages}
    scores = {page: [] for page in pages}
    try:
        for round_ in range(args.runs):
            order = list(pages) if round_ % 2 == 0 else list(pages)[::-1]
            for page in order:
                got, categories = audit(program, pages[page], scratch)
                metrics[page].append(got)
                scores[page].append(categories)
    finally:
        server.shutdown()
        shutil.rmtree(scratch)

    print(f"Lighthouse mobile, median of {args.runs} audits of each page, "
          f"{'served plainly' if args.plain else 'compressed as hosts do'}; ms, and site/ to the "
          "hand-written page")
    for name in METRICS.values():
        ours = statistics.median(m[name] for m in metrics["site/"])
        theirs = statistics.median(m[name] for m in metrics["reference"])
        ratio = f"({ours / theirs:.2f})" if theirs else ""
        print(f"  {name:4} {ours:8.0f} {theirs:8.0f}  {ratio}")
    for page in pages:
        low = {c: min(s[c] for s in scores[page]) for c in CATEGORIES}
        print(f"  {page:10} lowest scores: " + ", ".join(f"{c} {round(v * 100)}" for c, v in low.items()))
    if args.check:
        for page in ("site/", "list page"):
            low = {c: min(s[c] for s in scores[page]) for c in CATEGORIES[1:]}
            if any(v < 1 for v in low.values()):
                print(f"web_lighthouse: {page} scores below 100: {low}", file=sys.stderr)
                return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
