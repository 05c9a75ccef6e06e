#!/usr/bin/python3
"""Checks what actionlint does not in GitHub Actions workflows: shellcheck on
every step that runs in bash or sh, at warning level like the scripts, and
that every step names only workflow presets and scripts that exist.

Usage: scripts/check-workflow-steps.py WORKFLOW...  (from the repository root)
Prints each finding with its workflow, job and step; exits with 1 when there
is any.
"""
import json
import os
import re
import subprocess
import sys

import yaml

EXPRESSION = re.compile(r"\$\{\{.*?\}\}", re.S)


def runner_labels(job):
    """The runner labels a job may run on, with a matrix's values expanded."""
    runs_on = job.get("runs-on", [])
    labels = runs_on if isinstance(runs_on, list) else [runs_on]
    matrix = job.get("strategy", {}).get("matrix", {})
    expanded = []
    for label in labels:
        key = re.fullmatch(r"\$\{\{\s*matrix\.([\w-]+)\s*\}\}", str(label))
        expanded += matrix.get(key.group(1), []) if key and isinstance(matrix, dict) else [str(label)]
    return expanded


def default_shell(workflow, job):
    """The shell of a step without its own: the job's or the workflow's
    default, else the runner's: bash on Linux and in containers, PowerShell
    on Windows. None where a matrix mixes the two."""
    for defaults in (job.get("defaults"), workflow.get("defaults")):
        shell = (defaults or {}).get("run", {}).get("shell")
        if shell:
            return shell
    if "container" in job:
        return "bash"
    windows = {"windows" in label for label in runner_labels(job)}
    if windows == {True}:
        return "pwsh"
    return "bash" if windows == {False} else None


def shellcheck(script, shell):
    """shellcheck's findings on a step's script, each '<line>:<column>: ...'."""
    # An expression is replaced before the shell sees the script: a plain
    # word stands in for it here.
    script = EXPRESSION.sub("GITHUB_EXPRESSION", script)
    result = subprocess.run(["shellcheck", "-s", shell, "-S", "warning", "-f", "gcc", "-"],
                            input=script, capture_output=True, text=True)
    return [line.removeprefix("-:") for line in result.stdout.splitlines()]


def check(path, presets):
    workflow = yaml.safe_load(open(path))
    findings = []
    for job_id, job in workflow.get("jobs", {}).items():
        for number, step in enumerate(job.get("steps", []), 1):
            run = step.get("run")
            if run is None:
                continue
            where = f"{path}: job {job_id}, step '{step.get('name') or step.get('id') or number}'"
            shell = step.get("shell") or default_shell(workflow, job)
            if shell is None:
                findings.append(f"{where}: its shell differs across the matrix; give it a shell:")
            elif shell.split()[0] in ("bash", "sh"):
                findings += [f"{where}, line {finding}" for finding in shellcheck(run, shell.split()[0])]
            for preset in re.findall(r"--workflow --preset (\S+)", run):
                if preset not in presets:
                    findings.append(f"{where}: names workflow preset {preset}, CMakePresets.json has {sorted(presets)}")
            for script in re.findall(r"(?:\.ci|scripts|tests)[/\\][\w.-]+", run):
                if not os.path.isfile(script.replace("\\", "/")):
                    findings.append(f"{where}: calls {script}, which does not exist")
    return findings


def main(paths):
    presets = {preset["name"] for preset in json.load(open("CMakePresets.json"))["workflowPresets"]}
    findings = [finding for path in paths for finding in check(path, presets)]
    for finding in findings:
        print(finding)
    return 1 if findings or not paths else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
