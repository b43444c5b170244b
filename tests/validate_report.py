#!/usr/bin/env python3
"""Checks reports of velmora1-batch against the report schema.

usage: validate_report.py SCHEMA [REPORT...]
Exit status 0 when the schema is a valid draft 2020-12 schema and every report satisfies it,
1 with the faults on standard error, 77 when the jsonschema module is missing.
"""
import json
import sys

try:
    import jsonschema
except ImportError:
    sys.exit(77)

with open(sys.argv[1], encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
bad = 0
for path in sys.argv[2:]:
    with open(path, encoding="utf-8") as f:
        document = json.load(f)
    errors = list(validator.iter_errors(document))
    for e in errors[:5]:
        where = "/".join(str(p) for p in e.absolute_path) or "(top)"
        print(f"{path}: {where}: {e.message}", file=sys.stderr)
    bad += bool(errors)
sys.exit(1 if bad else 0)
