#!/usr/bin/env python3
"""Reads one answer of the Prometheus HTTP API on standard input:
  alerts             the active alerts as "name instance state", a line each, sorted
  count              the number of series a query returned
  value              a scalar query's value
  evaluated-since T  "yes" when the rule group quillmere was last evaluated
                     after T (Unix seconds), else "no"."""
import datetime
import json
import sys


def evaluated_at(text):
    # RFC 3339 with up to nine decimals, which fromisoformat takes only to six.
    stamp, _, zone = text.replace("Z", "+00:00").rpartition("+")
    if "." in stamp:
        whole, fraction = stamp.split(".")
        stamp = whole + "." + fraction[:6]
    return datetime.datetime.fromisoformat(stamp + "+" + zone).timestamp()


def main():
    answer = json.load(sys.stdin)["data"]
    what = sys.argv[1]
    if what == "alerts":
        lines = [f'{a["labels"]["alertname"]} {a["labels"].get("instance", "-")} {a["state"]}'
                 for a in answer["alerts"]]
        print("\n".join(sorted(lines)))
    elif what == "count":
        print(len(answer["result"]))
    elif what == "value":
        print(answer["result"][1])
    elif what == "evaluated-since":
        since = float(sys.argv[2])
        groups = [g for g in answer["groups"] if g["name"] == "quillmere"]
        print("yes" if groups and evaluated_at(groups[0]["lastEvaluation"]) > since else "no")


main()
