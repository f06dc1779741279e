#!/usr/bin/env python3
"""Checks results files against their format's published schema (python3-jsonschema); mutants of the first file (a
wrong type, a missing required field, another formatVersion, an unknown field) must not match.

    validate_results.py SCHEMA FILE_OR_FOLDER...   (a folder: every .json file in it; no file at all fails)
"""
import copy
import json
import pathlib
import sys

try:
    from jsonschema import Draft202012Validator
except ImportError:
    sys.exit("validate_results: no jsonschema module for " + sys.executable +
             " (install python3-jsonschema: scripts/setup-host.sh)")


def mutants(document):
    """(what was done, the mutated document) for each way a file must fail."""
    def changed(what, change):
        mutant = copy.deepcopy(document)
        change(mutant)
        return what, mutant
    return [
        changed("runs[0].totalFrames as a string", lambda d: d["runs"][0].update(totalFrames="2560")),
        changed("runs[0].records[0].isOutlier as a number", lambda d: d["runs"][0]["records"][0].update(isOutlier=0)),
        changed("configuration.width left out", lambda d: d["configuration"].pop("width")),
        changed("runs[0].records[0].avgFps left out", lambda d: d["runs"][0]["records"][0].pop("avgFps")),
        changed("formatVersion 1", lambda d: d.update(formatVersion=1)),
        changed("an unknown field runs[0].fps", lambda d: d["runs"][0].update(fps=60.0)),
    ]


def main(arguments):
    if len(arguments) < 2:
        sys.exit(__doc__)
    schema_path = pathlib.Path(arguments[0])
    schema = json.loads(schema_path.read_text())
    Draft202012Validator.check_schema(schema)
    validator = Draft202012Validator(schema)
    files = []
    for argument in map(pathlib.Path, arguments[1:]):
        files += sorted(argument.glob("*.json")) if argument.is_dir() else [argument]
    if not files:
        sys.exit("validate_results: no results file in " + " ".join(arguments[1:]))
    failed = 0
    valid = None  # the first file that matches: its mutants must not
    for path in files:
        try:
            document = json.loads(path.read_text())
        except (OSError, ValueError) as error:
            print(f"FAIL - {path}: {error}")
            failed += 1
            continue
        errors = sorted(validator.iter_errors(document), key=lambda e: list(e.absolute_path))
        for error in errors[:5]:
            where = "/".join(str(p) for p in error.absolute_path) or "(the document)"
            print(f"FAIL - {path}: {where}: {error.message}")
        failed += 1 if errors else 0
        valid = valid or (None if errors else (path, document))
    if valid is None:
        return 1
    for what, mutant in mutants(valid[1]):
        if validator.is_valid(mutant):
            print(f"FAIL - {valid[0]} with {what} still matches {schema_path}")
            failed += 1
    if failed:
        return 1
    print(f"ok - {len(files)} results files match {schema_path}; {len(mutants(valid[1]))} mutants of {valid[0].name} do not")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
