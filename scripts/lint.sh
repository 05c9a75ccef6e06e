#!/usr/bin/env bash
# Static checks: shellcheck on every shell script, at warning level, and the
# Windows runner's workflow, which parses as YAML and names only presets and
# scripts that exist. Prints what it finds; exits non-zero when it finds anything.
set -euo pipefail
cd "$(dirname "$0")/.."

shellcheck -x -S warning scripts/*.sh tests/*.sh res/make-icon.sh .ci/run

/usr/bin/python3 - <<'PY'
import json, os, re, sys
import yaml

workflow = yaml.safe_load(open(".github/workflows/windows.yml"))
presets = json.load(open("CMakePresets.json"))
known = {p["name"] for p in presets["workflowPresets"]}
named = set()
for job in workflow["jobs"].values():
    for step in job["steps"]:
        named.update(re.findall(r"--workflow --preset (\S+)", step.get("run", "")))
        for script in re.findall(r"\bscripts/[\w.-]+", step.get("run", "")):
            if not os.path.isfile(script):
                sys.exit(f"windows.yml: calls {script}, which does not exist")
if not named or not named <= known:
    sys.exit(f"windows.yml: names workflow presets {sorted(named)}, CMakePresets.json has {sorted(known)}")
PY
