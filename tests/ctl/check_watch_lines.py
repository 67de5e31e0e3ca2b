#!/usr/bin/env python3
"""Checks lines of kalvi7-ctl watch --json against the published schema,
with jsonschema (Debian's python3-jsonschema), a validator written for JSON
Schema, so that the schema is judged by the standard's rules and not by
ours.

    check_watch_lines.py SCHEMA [--accept FILE]... [--reject FILE]...

Every line of an --accept file must be strict JSON and valid. Every line of
a --reject file is "POINTER<TAB>KEYWORD<TAB>LINE": the line must be strict
JSON (a broken line would prove nothing about the schema) and invalid, with
an error of that keyword at that JSON pointer among those the validator
gives, so that it is refused for the fault it was made with and not for
another. Exit status 0 when every line went as expected, 1 when one did
not, 2 when the check could not be made.
"""

import json
import sys

try:
    from jsonschema import Draft202012Validator
except ImportError:
    print("check_watch_lines: the jsonschema module is missing (Debian: python3-jsonschema, "
          "which scripts/deps.sh installs)", file=sys.stderr)
    sys.exit(2)


class NotStrictJson(ValueError):
    pass


def refuse_constant(name):
    # Python's json takes NaN and Infinity, which JSON has not.
    raise NotStrictJson(f"{name} is not JSON")


def refuse_duplicates(pairs):
    seen = {}
    for key, value in pairs:
        if key in seen:
            raise NotStrictJson(f"key {key!r} twice")
        seen[key] = value
    return seen


def strict_json(text):
    return json.loads(text, parse_constant=refuse_constant, object_pairs_hook=refuse_duplicates)


def pointer(path):
    return "".join("/" + str(part).replace("~", "~0").replace("/", "~1") for part in path)


def another_types_branch(errors):
    return any(pointer(e.absolute_path) == "/type" and e.validator == "const" for e in errors)


def leaf_errors(errors):
    """Every error the validator gives, those of the branches of oneOf and
    anyOf included, as (pointer, keyword, message). The branches of the
    other line types are left out (while one is the line's own), so that an
    error found there does not pass for the one the line was made with."""
    for error in errors:
        yield pointer(error.absolute_path), error.validator, error.message
        branches = {}
        for inner in error.context or []:
            branches.setdefault(inner.relative_schema_path[0], []).append(inner)
        own = [b for b in branches.values() if not another_types_branch(b)]
        for branch in own or branches.values():
            yield from leaf_errors(branch)


def read_lines(path):
    # The lines are UTF-8 whatever the locale says.
    with open(path, encoding="utf-8") as file:
        return [line.rstrip("\n") for line in file if line.strip()]


def main(argv):
    # What is printed is UTF-8 too, whatever the locale says.
    sys.stdout.reconfigure(encoding="utf-8")
    if len(argv) < 2 or len(argv) % 2 != 0:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as file:
        schema = json.load(file)
    Draft202012Validator.check_schema(schema)
    validator = Draft202012Validator(schema)

    failures = 0
    checked = 0
    for option, path in zip(argv[2::2], argv[3::2]):
        if option not in ("--accept", "--reject"):
            print(__doc__, file=sys.stderr)
            return 2
        for number, line in enumerate(read_lines(path), start=1):
            where = f"{path}:{number}"
            checked += 1
            expected = None
            if option == "--reject":
                at, keyword, line = line.split("\t", 2)
                expected = (at, keyword)
            try:
                instance = strict_json(line)
            except ValueError as error:
                print(f"{where}: not strict JSON ({error}): {line}")
                failures += 1
                continue
            errors = list(leaf_errors(validator.iter_errors(instance)))
            if expected is None:
                if errors:
                    failures += 1
                    print(f"{where}: refused: {line}")
                    for at, keyword, message in errors:
                        print(f"    {at or '/'} {keyword}: {message}")
                continue
            if not errors:
                failures += 1
                print(f"{where}: accepted, but must be refused at {expected[0]} ({expected[1]}): {line}")
            elif not any((at, keyword) == expected for at, keyword, _ in errors):
                failures += 1
                print(f"{where}: refused, but not at {expected[0]} ({expected[1]}): {line}")
                for at, keyword, message in errors:
                    print(f"    {at or '/'} {keyword}: {message}")
            else:
                message = next(m for at, k, m in errors if (at, k) == expected)
                print(f"{where}: refused as it must be, at {expected[0]}: {message}")
    print(f"check_watch_lines: {checked} lines, {failures} not as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
