#!/usr/bin/env bash
# The window's page in a real browser: egn-check.html (and the error page of
# the tests) from a web build, driven in headless Chromium through WebDriver,
# opened from file:// and from a loopback HTTP server, at zoom 1, at device
# pixel ratio 2, on a phone upright and sideways, and zoomed to 300 and 400 %
# and on a short viewport on a desktop; then in Firefox ESR and WebKit
# too (window/tests/web/web_engines), typing from the first frame in all three
# (Chromium's CPU slowed as a phone's) and axe-core on the page; the site made
# beside the page, offline after one visit (window/tests/web/web_site_test.py),
# and Lighthouse's scores for it. Also holds the page to its size limit.
# The list page (egn-list.html) too, against egn-digit's output.
# Usage: tools/check-web.sh [WEB_BUILD_DIR] (default out/web).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-out/web}
page=$build/window/egn-check.html
limit=$((100 * 1024))  # opened over phones' networks, mailed and carried on sticks

size=$(stat -c %s "$page")
echo "egn-check.html: $size bytes ($((size / 1024)) KiB; the limit is $((limit / 1024)) KiB)"
if ((size > limit)); then
  echo "check-web: egn-check.html is larger than $((limit / 1024)) KiB" >&2
  exit 1
fi
# Self-contained: no other file is named for the browser to load. The page is
# read as a browser reads it (Python's HTML parser): every attribute that
# names something to load, in any element, and every url() of its style must
# be a data: URL. Prints what refers elsewhere and fails.
self_contained() {
  /usr/bin/python3 - "$1" <<'PYTHON'
import html.parser
import re
import sys

LOADS = {"src", "href", "srcset", "poster", "data", "action", "formaction", "background",
         "manifest", "ping", "xlink:href"}
URL = re.compile(r"url\(\s*(['\"]?)([^'\")]*)", re.IGNORECASE)


def inline(value):
    # URLs are read without the blanks around them; the scheme in any case.
    return value.strip(" \t\n\f\r").lower().startswith("data:")


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.elsewhere, self.in_style = [], False

    def handle_starttag(self, tag, attrs):
        self.in_style = tag == "style"
        for name, value in attrs:
            if name in LOADS and not inline(value or ""):
                self.elsewhere.append(f'<{tag} {name}="{value or ""}">')
            if name == "style":
                self.style(value or "")

    def handle_endtag(self, tag):
        self.in_style = False

    def handle_data(self, data):
        if self.in_style:
            self.style(data)

    def style(self, text):
        for m in URL.finditer(text):
            if not inline(m.group(2)):
                self.elsewhere.append(f"url({m.group(1)}{m.group(2)}{m.group(1)})")


page = Page()
page.feed(open(sys.argv[1], encoding="utf-8").read())
page.close()
for reference in page.elsewhere:
    print(f"check-web: {sys.argv[1]} refers to another file: {reference}", file=sys.stderr)
sys.exit(1 if page.elsewhere else 0)
PYTHON
}

# The check itself, on pages that refer elsewhere and on pages that do not:
# each page, a tab, then what the check must say (nothing for a good page).
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
while IFS=$'\t' read -r html said; do
  printf '%s\n' "$html" >"$scratch/case.html"
  got=$(self_contained "$scratch/case.html" 2>&1) || true
  want=${said:+check-web: $scratch/case.html refers to another file: $said}
  if [[ $got != "$want" ]]; then
    echo "check-web: the self-contained check on $html said \"$got\", not \"$want\"" >&2
    failures=$((failures + 1))
  fi
done <<'CASES'
<link rel="icon" href="data:,"><img src="data:image/png;base64,AA==">	
<SCRIPT SRC=" DATA:text/javascript,1"></SCRIPT>	
<style>@font-face { src: url(data:font/woff2;base64,AA==) }</style>	
<img src="dx.png">	<img src="dx.png">
<img src='d'>	<img src="d">
<SCRIPT SRC="app.js"></SCRIPT>	<script src="app.js">
<link rel=stylesheet href=style.css>	<link href="style.css">
<iframe src>	<iframe src="">
<video poster="https://example.org/p.png"></video>	<video poster="https://example.org/p.png">
<form action="/send"></form>	<form action="/send">
<object data="page.svg"></object>	<object data="page.svg">
<img srcset="a.png 2x">	<img srcset="a.png 2x">
<div style="background: url('x.png')"></div>	url('x.png')
<style>@font-face { src: URL(face.woff2) }</style>	url(face.woff2)
CASES

# The page maker refuses a script that would end its script element early,
# whatever the case of its letters, and inlines one that would not: each
# script, a tab, then what it must refuse (nothing for a good script).
printf 'x' >"$scratch/face"
while IFS=$'\t' read -r code found; do
  printf '%s' "$code" >"$scratch/code.js"
  got=$(/usr/bin/python3 runtime/web/make_page.py runtime/web/page.html.in "$scratch/code.js" \
    "$scratch/face" "$scratch/page.html" probe 1.00 2>&1) || true
  want=""
  if [[ -n $found ]]; then
    want="make_page.py: $scratch/code.js holds \"$found\" at character 9:"
    want+=" it cannot stand inside the page's script element"
  fi
  if [[ $got != "$want" ]]; then
    echo "check-web: make_page.py on $code said \"$got\", not \"$want\"" >&2
    failures=$((failures + 1))
  elif [[ -z $found ]] && ! grep -qF "$code" "$scratch/page.html"; then
    echo "check-web: make_page.py left $code out of the page" >&2
    failures=$((failures + 1))
  fi
done <<'CASES'
var a = "</script>";	</script
var a = "</SCRIPT>";	</SCRIPT
var a = "</Script";	</Script
var a = "<!-- x";	<!--
var a = "<\/script>", b = 1 < 2;	
CASES
# A script's CR LF reaches the browser as LF, and is hashed so: the page
# holds no CR for its policy to disagree about.
printf 'var a = 1;\r\nvar b = 2;\r' >"$scratch/code.js"
/usr/bin/python3 runtime/web/make_page.py runtime/web/page.html.in "$scratch/code.js" \
  "$scratch/face" "$scratch/page.html" probe 1.00
if ! /usr/bin/python3 -c 'import sys; page = open(sys.argv[1], newline="").read()
sys.exit("\r" in page or "var a = 1;\nvar b = 2;\n\n}" not in page)' "$scratch/page.html"; then
  echo "check-web: make_page.py left a script's carriage returns in the page" >&2
  failures=$((failures + 1))
fi
# The module's text of seven bits a character: each of these comes back whole
# and holds none of the four codes HTML does not keep (NUL, CR, "&", "<"),
# an awkward code last of all included.
if ! /usr/bin/python3 - <<'PYTHON'; then
import random
import sys
sys.path.insert(0, "runtime/web")
from make_page import as_text, from_text

draw = random.Random(29)
cases = [b"", b"\0", b"\0\0", b"&<\r\0", b"\x1a" * 7, bytes(range(256)),
         bytes(draw.choice([0, 13, 38, 60, 255]) for _ in range(1000))]
for data in cases:
    text = as_text(data)
    if from_text(text) != data or any(c in text for c in "\0\r&<"):
        sys.exit(f"check-web: make_page.py's text of {data[:16]!r} does not come back whole")
PYTHON
  failures=$((failures + 1))
fi
if ((failures > 0)); then
  echo "check-web: $failures of the checks on the page's making went wrong" >&2
  exit 1
fi

self_contained "$page"
# The list page (list/egn-list.html): one file as well, and what it gives
# for download held byte for byte to egn-digit's own output, built for this
# machine (EGN_DIGIT, by default that of the test command's build/).
self_contained "$build/list/egn-list.html"

# Debian's Python, where Selenium is installed, whatever python3 is first on PATH.
/usr/bin/python3 window/tests/web/web_page_test.py "$build"
# The site beside the page (window/site): the same window as an installable
# web app, over a loopback HTTP server, and again with the server gone.
/usr/bin/python3 window/tests/web/web_site_test.py "$build"

# The same page in Firefox ESR (puppeteer-core over WebDriver BiDi, installed
# exactly as package-lock.json says) and in WebKit (WebKitWebDriver, which
# needs a display), held to one table of expectations; Chromium runs those
# checks too, so that each engine's own differences are checked in all three.
engines=window/tests/web/web_engines
modules=$(realpath "$build")/web_engines
mkdir -p "$modules" "$scratch/home"
cp "$engines/package.json" "$engines/package-lock.json" "$modules/"
(cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
status=0
HOME=$scratch/home NODE_PATH=$modules/node_modules node "$engines/firefox.js" "$build" || status=1
# The list page in the three engines (axe-core and puppeteer-core from the
# modules just installed).
xvfb-run -a /usr/bin/python3 list/tests/list_page_test.py "$build" \
  "${EGN_DIGIT:-build/cli/egn-digit}" chromium webkit firefox || status=1
xvfb-run -a /usr/bin/python3 "$engines/engines.py" "$build" webkit chromium || status=1
if ((status != 0)); then
  echo "check-web: the window's page or the list page failed their checks in a browser engine (see above)" >&2
  exit 1
fi
# Lighthouse's mobile audit of the site beside the hand-written window, one
# round: accessibility, best practices and SEO must score 100 (the timings
# are the benchmark's, bench/web_lighthouse.py, in docs/performance.md).
/usr/bin/python3 bench/web_lighthouse.py "$build" 1 --check
