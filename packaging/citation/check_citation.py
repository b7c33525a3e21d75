#!/usr/bin/env python3
"""Checks CITATION.cff against the Citation File Format 1.2.0 schema kept
beside this script, and that it states the version the build states.

usage: check_citation.py CITATION.cff SCHEMA.json PROJECT_VERSION
"""
import json
import sys

import jsonschema
import yaml


class TextDates(yaml.SafeLoader):
    """Leaves 2026-12-08 as the text the schema checks, not a date."""


TextDates.yaml_implicit_resolvers = {
    first: [(tag, regexp) for tag, regexp in resolvers if tag != "tag:yaml.org,2002:timestamp"]
    for first, resolvers in yaml.SafeLoader.yaml_implicit_resolvers.items()
}


def main(cff_path, schema_path, project_version):
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    try:
        with open(cff_path, encoding="utf-8") as f:
            cff = yaml.load(f, Loader=TextDates)
    except (OSError, yaml.YAMLError) as e:
        print(f"{cff_path}: {e}", file=sys.stderr)
        return 1
    validator = jsonschema.Draft7Validator(schema, format_checker=jsonschema.FormatChecker())
    problems = [f"{'/'.join(map(str, e.absolute_path)) or '(top)'}: {e.message}"
                for e in sorted(validator.iter_errors(cff), key=lambda e: list(map(str, e.path)))]
    if isinstance(cff, dict) and str(cff.get("version")) != project_version:
        problems.append(f"version: {cff.get('version')!r}, but the project version is {project_version!r}")
    for p in problems:
        print(f"{cff_path}: {p}", file=sys.stderr)
    if not problems:
        print(f"{cff_path}: valid CFF 1.2.0, version {project_version}")
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
