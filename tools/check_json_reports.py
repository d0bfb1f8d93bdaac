#!/usr/bin/env python3
"""The JSON reports of tools/machine-reports, read as strictly as a consumer
may: no NaN, no Infinity, no duplicate member, UTF-8 only, one object and a
newline; each valid against the schema, with the result, exit status and
error kind its way out expects (a failing way is named by its error kind,
or the kind, a + and more).
  check_json_reports.py WORK SCHEMA NAME...   (WORK/NAME.json, WORK/NAME.json.status)"""
import json, sys
from jsonschema import Draft202012Validator

work, schema_path, names = sys.argv[1], sys.argv[2], sys.argv[3:]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
Draft202012Validator.check_schema(schema)
validator = Draft202012Validator(schema)

def refuse_constant(name):
    raise ValueError("not JSON: " + name)

def refuse_duplicates(pairs):
    keys = [k for k, _ in pairs]
    if len(keys) != len(set(keys)):
        raise ValueError("duplicate member")
    return dict(pairs)

bad = 0
for name in names:
    with open(f"{work}/{name}.json", "rb") as f:
        raw = f.read()
    with open(f"{work}/{name}.json.status") as f:
        status = int(f.read())
    try:
        if not raw.endswith(b"}\n"):
            raise ValueError("not one object and a newline")
        report = json.loads(raw.decode("utf-8", errors="strict"),
                            parse_constant=refuse_constant, object_pairs_hook=refuse_duplicates)
        errors = sorted(validator.iter_errors(report), key=str)
        if errors:
            raise ValueError("; ".join(e.message for e in errors))
        expected = "PASS" if name in ("passed", "escapes", "board", "sustained", "host_copies", "verified",
                                      "sweep", "cpu_and_gpu") else "FAIL"
        if report["result"] != expected or (status == 0) != (expected == "PASS"):
            raise ValueError(f"result {report['result']} with exit status {status}")
        # A busy board is a temporary failure; a stopped run dies by its signal.
        wanted = {"busy": 75, "interrupted": 128 + 15}.get(name.split("+")[0])
        if wanted is not None and status != wanted:
            raise ValueError(f"exit status {status}, not {wanted}")
        kind = report["error"]["kind"] if report["error"] else None
        if expected == "FAIL" and kind != name.split("+")[0]:
            raise ValueError(f"error kind {kind}")
        print(f"  {name}: {report['result']}, error {kind}, exit {status}")
    except ValueError as error:
        print(f"  {name}: {error}")
        bad = 1
sys.exit(bad)
