#!/usr/bin/env python3
"""Checks the Grafana dashboard packaging/quillmere-dashboard.json.
  dashboard_check.py lint DASHBOARD RULES REPORT...
      every panel has a unique id, a title, a description, a unit and
      ${datasource}; no two panels overlap; every query filters by board,
      power_mode and instance, parses (promtool check rules on a rules file
      made of the queries, the template variables replaced by .*), and names
      only metrics that the reports (the tool's Prometheus reports as
      published) or the rules file define.
  dashboard_check.py answered DASHBOARD URL FAILING
      every panel's every query, each variable at All, returns at least one
      series from the Prometheus server at URL, and the failing-boards table
      holds exactly the instance FAILING."""
import json
import os
import re
import subprocess
import sys
import tempfile
import urllib.parse
import urllib.request

KEYWORDS = {"by", "without", "on", "ignoring", "group_left", "group_right", "and", "or", "unless", "bool",
            "offset", "inf", "nan"}
# Prometheus's own series of the rules' alerts.
ALERT_SERIES = {"ALERTS", "ALERTS_FOR_STATE"}


def panels(dashboard):
    return [p for p in dashboard["panels"] if p.get("type") != "row"]


def queries(dashboard):
    for panel in panels(dashboard):
        for target in panel.get("targets", []):
            yield panel, target


def with_all(expr):
    """The query as Grafana sends it with every variable at All."""
    return re.sub(r"\$\{?(board|power_mode|instance)\}?", ".*", expr)


def metric_names(expr):
    """The metric and rule names a query reads: identifiers outside label
    matchers, strings and the label lists of by, on and the like, not
    followed by '(' and not a keyword."""
    text = re.sub(r'"(?:[^"\\]|\\.)*"', '""', expr)
    text = re.sub(r"\{[^}]*\}", " ", text)
    text = re.sub(r"\b(by|without|on|ignoring|group_left|group_right)\s*\([^)]*\)", " ", text)
    names = set()
    for match in re.finditer(r"[A-Za-z_:][A-Za-z0-9_:]*", text):
        name = match.group(0)
        rest = text[match.end():].lstrip()
        if name.lower() in KEYWORDS or rest.startswith("("):
            continue
        names.add(name)
    return names


def defined_names(rules_path, reports):
    names = set(ALERT_SERIES)
    with open(rules_path, encoding="utf-8") as rules:
        names.update(re.findall(r"^\s*- record:\s*(\S+)", rules.read(), re.M))
    for report in reports:
        with open(report, encoding="utf-8") as text:
            names.update(re.findall(r"^# TYPE (\S+) ", text.read(), re.M))
    return names


def overlap(a, b):
    return (a["x"] < b["x"] + b["w"] and b["x"] < a["x"] + a["w"] and
            a["y"] < b["y"] + b["h"] and b["y"] < a["y"] + a["h"])


def lint(dashboard, rules_path, reports):
    problems = []
    ids = [p["id"] for p in dashboard["panels"]]
    if len(ids) != len(set(ids)):
        problems.append("panel ids are not unique")
    all_panels = dashboard["panels"]
    for i, a in enumerate(all_panels):
        for b in all_panels[i + 1:]:
            if overlap(a["gridPos"], b["gridPos"]):
                problems.append(f"panels {a['id']} and {b['id']} overlap")
    variables = {v["name"]: v for v in dashboard["templating"]["list"]}
    if variables.get("datasource", {}).get("type") != "datasource":
        problems.append("no datasource variable")
    for name in ("board", "power_mode", "instance"):
        variable = variables.get(name, {})
        if not (variable.get("multi") and variable.get("includeAll")
                and variable.get("query", {}).get("query") == f"label_values(quillmere_info, {name})"):
            problems.append(f"variable {name}: not label values of quillmere_info, multi-value, with All")
    defined = defined_names(rules_path, reports)
    rules = []
    for panel in panels(dashboard):
        where = f"panel {panel['id']} ({panel.get('title', '')})"
        for field in ("title", "description"):
            if not panel.get(field):
                problems.append(f"{where}: no {field}")
        if not panel.get("fieldConfig", {}).get("defaults", {}).get("unit"):
            problems.append(f"{where}: no unit")
        sources = [panel.get("datasource", {})] + [t.get("datasource", {}) for t in panel.get("targets", [])]
        if any(source.get("uid") != "${datasource}" for source in sources):
            problems.append(f"{where}: a datasource other than ${{datasource}}")
        if not panel.get("targets"):
            problems.append(f"{where}: no query")
        for target in panel.get("targets", []):
            expr = target["expr"]
            for variable in ("$board", "$power_mode", "$instance"):
                if variable not in expr:
                    problems.append(f"{where}: its query does not filter by {variable}")
            for name in sorted(metric_names(expr) - defined):
                problems.append(f"{where}: {name} is in no report and no rule")
            rules.append({"record": f"dashboard:panel_{panel['id']}_{target['refId']}", "expr": with_all(expr)})
    with tempfile.NamedTemporaryFile("w", suffix=".yml", delete=False) as rules_file:
        json.dump({"groups": [{"name": "dashboard", "rules": rules}]}, rules_file)
    checked = subprocess.run(["promtool", "check", "rules", rules_file.name], capture_output=True, text=True)
    os.unlink(rules_file.name)
    if checked.returncode != 0:
        problems.append("promtool does not take the queries: " + checked.stdout + checked.stderr)
    print(f"  {len(panels(dashboard))} panels, {len(rules)} queries, {len(defined)} names defined")
    return problems


def query(url, expr):
    data = urllib.parse.urlencode({"query": expr}).encode()
    with urllib.request.urlopen(url + "/api/v1/query", data, timeout=5) as answer:
        return json.load(answer)["data"]["result"]


def answered(dashboard, url, failing):
    problems = []
    for panel, target in queries(dashboard):
        series = query(url, with_all(target["expr"]))
        where = f"panel {panel['id']} ({panel['title']}) {target['refId']}"
        print(f"  {where}: {len(series)} series")
        if not series:
            problems.append(f"{where}: no series for the fleet")
        if panel["title"] == "Failing boards":
            instances = sorted(s["metric"].get("instance", "") for s in series)
            if instances != [failing]:
                problems.append(f"{where}: holds {instances}, not [{failing!r}]")
    return problems


def main():
    with open(sys.argv[2], encoding="utf-8") as text:
        dashboard = json.load(text)
    if sys.argv[1] == "lint":
        problems = lint(dashboard, sys.argv[3], sys.argv[4:])
    else:
        problems = answered(dashboard, sys.argv[3], sys.argv[4])
    for problem in problems:
        print("  " + problem)
    sys.exit(1 if problems else 0)


main()
