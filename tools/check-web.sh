#!/usr/bin/env bash
# The window's page in a real browser: egn-check.html (and the error page of
# the tests) from a web build, driven in headless Chromium through WebDriver,
# opened from file:// and from a loopback HTTP server, at zoom 1, at device
# pixel ratio 2 and on a phone-sized viewport. Also holds the page to its size
# limit. Usage: tools/check-web.sh [WEB_BUILD_DIR] (default out/web).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-out/web}
page=$build/window/egn-check.html
limit=$((512 * 1024))

size=$(stat -c %s "$page")
echo "egn-check.html: $size bytes ($((size / 1024)) KiB; the limit is $((limit / 1024)) KiB)"
if ((size > limit)); then
  echo "check-web: egn-check.html is larger than $((limit / 1024)) KiB" >&2
  exit 1
fi
# Self-contained: no other file is named for the browser to load.
if grep -qE '<(script|link|img|iframe)[^>]+(src|href)="[^d"][^"]*"' "$page"; then
  echo "check-web: egn-check.html refers to another file" >&2
  exit 1
fi

# Debian's Python, where Selenium is installed, whatever python3 is first on PATH.
/usr/bin/python3 window/tests/web_page_test.py "$build"
