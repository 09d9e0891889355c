#!/usr/bin/python3
"""Checks the import tables of Windows programs and libraries against a list of allowed imports.

usage: check_imports.py [--objdump PROGRAM] --allowed LIST [--forbidden LIST
                        [--expect-found RULE]...] FILE...

Reads each FILE's import table with `objdump -p`, prints it (DLL and function names), and fails
(exit 1) on a DLL that the list does not name, on a function the list does not allow for its DLL,
and on an import by ordinal. DLL names compare without regard to case, function names exactly.

With --forbidden it also fails on every rule of that list the file has: "import NAME" a function
of that name imported from any DLL, "string TEXT" those bytes anywhere in the file, in ASCII or
UTF-16LE, without regard to case. With --expect-found the forbidden rules work the other way
round, as the check's own control on a file known to have them: the run fails unless each RULE
given is found, and finds nothing else wrong.
"""
import argparse
import subprocess
import sys


def read_allowed(path):
    allowed = {}
    dll = None
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            if line.startswith("[") and line.endswith("]"):
                dll = line[1:-1].strip().lower()
                allowed.setdefault(dll, set())
            elif dll is None:
                raise SystemExit(f"{path}:{number}: a function before any [DLL]")
            else:
                allowed[dll].add(line)
    return allowed


def read_imports(objdump, path):
    """The file's imports as (dll, name) pairs in table order; name is '#n' for an ordinal."""
    output = subprocess.run([objdump, "-p", path], check=True, capture_output=True,
                            text=True).stdout
    imports = []
    dll = None
    in_table = False
    for line in output.splitlines():
        stripped = line.strip()
        if stripped.startswith("DLL Name:"):
            dll = stripped.split(":", 1)[1].strip()
            in_table = False
        elif dll and stripped.startswith("vma:"):
            in_table = True
        elif in_table and stripped:
            fields = stripped.split()
            # "<thunk>  <hint>  <name>", or "<thunk>  Ordinal: <n>" style lines for ordinals.
            if "Ordinal" in stripped or "<none>" in stripped:
                imports.append((dll, "#" + fields[-1]))
            elif len(fields) >= 3:
                imports.append((dll, fields[2]))
        elif in_table and not stripped:
            in_table = False
            dll = None
    return imports


def read_forbidden(path):
    """The rules of a forbidden list, as (kind, text) pairs in the list's order."""
    rules = []
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            kind, _, text = line.partition(" ")
            if kind not in ("import", "string") or not text:
                raise SystemExit(f"{path}:{number}: expected \"import NAME\" or \"string TEXT\"")
            rules.append((kind, text))
    return rules


def found_rules(path, imports, rules):
    """The rules of the forbidden list that the file breaks, as "kind text" texts."""
    with open(path, "rb") as file:
        data = file.read().lower()
    names = {name for _, name in imports}
    found = []
    for kind, text in rules:
        if kind == "import":
            hit = text in names
        else:
            needle = text.lower()
            hit = needle.encode("latin-1") in data or needle.encode("utf-16-le") in data
        if hit:
            found.append(f"{kind} {text}")
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("--allowed", required=True)
    parser.add_argument("--forbidden")
    parser.add_argument("--expect-found", action="append", default=[])
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    allowed = read_allowed(args.allowed)
    rules = read_forbidden(args.forbidden) if args.forbidden else []
    known = {f"{kind} {text}" for kind, text in rules}
    for rule in args.expect_found:
        if rule not in known:
            raise SystemExit(f"--expect-found {rule!r} is no rule of {args.forbidden}")
    refused = []
    for path in args.files:
        imports = read_imports(args.objdump, path)
        if not imports:
            refused.append(f"{path}: no import table found")
        print(f"{path}:")
        for dll, name in imports:
            print(f"  {dll} {name}")
            if dll.lower() not in allowed:
                refused.append(f"{path}: {dll} is not an allowed DLL ({name})")
            elif name.startswith("#"):
                refused.append(f"{path}: {dll} imported by ordinal {name[1:]}")
            elif name not in allowed[dll.lower()]:
                refused.append(f"{path}: {dll} {name} is not exported by both Windows 98 "
                               "and NT 4.0 (or is a wide-character function 9x lacks)")
        found = found_rules(path, imports, rules)
        for rule in found:
            print(f"  found: {rule}")
        if args.expect_found:
            for rule in args.expect_found:
                if rule not in found:
                    refused.append(f"{path}: the control expected {rule!r} and did not find it")
        else:
            for rule in found:
                refused.append(f"{path}: forbidden {rule}")
    for line in refused:
        print("NOT ALLOWED: " + line, file=sys.stderr)
    return 1 if refused else 0


if __name__ == "__main__":
    sys.exit(main())
