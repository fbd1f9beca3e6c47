#!/usr/bin/python3
"""Parses the generated migration scripts with a SQL parser of each target's dialect.

Usage: check-dialects.py <test_migration executable> <work folder>
The test executable writes one script per target into the folder, and one per target for each
application schema ("app-<engine>-<target>.sql") or beyond version limits ("limits-<target>.sql"); each
statement (the script divided at its "Go" lines) must parse as exactly one statement of the dialect. Targets without a
dialect in the parser (Access, DB2) are compared as text by the test itself.
"""
import os
import re
import subprocess
import sys

try:
    import sqlglot
except ImportError:
    print("python3-sqlglot is not installed: scripts/setup.sh installs it")
    sys.exit(77)

DIALECTS = {"SQLSERVER": "tsql", "SQLSERVER65": "tsql", "ORACLE": "oracle"}
# What the parser does not know, and what of the same syntax it does: a type; T-SQL's
# IDENTITY(seed, increment), taken out; ADD CONSTRAINT ... UNIQUE, read as PRIMARY KEY.
UNKNOWN_TYPES = {"oracle": [(" RAW(", " VARCHAR2("), (" UNIQUE (", " PRIMARY KEY (")], "tsql": [(" IDENTITY(1,1)", "")]}
# Oracle's numbering trigger, a PL/SQL block beyond the parser: its table, condition and body each.
TRIGGER = re.compile(r'Create Trigger (?:\w+|"(?:[^"]|"")+") Before Insert On (.+) For Each Row When \((.+)\) Begin (.+); End;')


def parts(text, dialect):
    m = TRIGGER.fullmatch(text) if dialect == "oracle" else None
    return [f"SELECT * FROM {m[1]}", f"SELECT 1 FROM dual WHERE {m[2]}", m[3]] if m else [text]


def statements(script):
    pieces, piece = [], []
    for line in script.split("\n"):
        if line.strip().lower() == "go":
            pieces.append("\n".join(piece).strip())
            piece = []
        else:
            piece.append(line)
    pieces.append("\n".join(piece).strip())
    return [p for p in pieces if p]


def main():
    exe, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    env = dict(os.environ, DALV_MIGRATION_SCRIPTS=folder, QT_QPA_PLATFORM="offscreen")
    subprocess.run([exe, "--gtest_filter=Migration.ScriptForEveryTarget*:Migration.ApplicationSchemas*:Migration.ScriptsStayWithin*"], env=env,
                   check=True, stdout=subprocess.DEVNULL)
    failures = 0
    scripts = 0
    for name in sorted(os.listdir(folder)):
        code = name[:-4].rsplit("-", 1)[-1]
        if not name.endswith(".sql") or code not in DIALECTS:
            continue
        dialect = DIALECTS[code]
        scripts += 1
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            found = statements(f.read())
        if "-" not in name and len(found) != 6:
            print(f"{code}: expected 6 statements, found {len(found)}")
            failures += 1
        for text in found:
            for unknown, known in UNKNOWN_TYPES.get(dialect, []):
                text = text.replace(unknown, known)
            try:
                for piece in parts(text, dialect):
                    parsed = sqlglot.parse(piece, read=dialect, error_level=sqlglot.ErrorLevel.RAISE)
                    if len([p for p in parsed if p is not None]) != 1:
                        raise ValueError("not exactly one statement")
            except Exception as e:  # the parser raises several kinds
                print(f"{name} ({dialect}): {text}\n    {type(e).__name__}: {str(e).splitlines()[0]}")
                failures += 1
    print(f"{scripts} scripts parsed, {failures} failures")
    return 1 if failures or scripts < 3 * 5 else 0


if __name__ == "__main__":
    sys.exit(main())
