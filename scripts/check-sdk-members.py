#!/usr/bin/env python3
"""Checks that the stand-in SDK headers a plug-in module sees declare, for each class of the
host SDK's member list, only members that the host's SDK declares too: a module that builds
against the stand-in then builds against the host. The list gives, per class, its header
and its members as "[access] declaration" lines. Members are compared by name; private data
members are the stand-in's own state and no interface, so they are allowed.

Usage: check-sdk-members.py MEMBER_LIST HEADER_FOLDER
"""
import os
import re
import sys

DECLARATION = re.compile(r"^\s+\[([^\]]+)\]\s+(.*)$")
CLASS_LINE = re.compile(r"^(\w+)\s+\((\S+)\)\s+bases:")
ACCESS = re.compile(r"\b(public|protected|private)(\s+(slots|Q_SLOTS))?\s*:|\b(signals|Q_SIGNALS)\s*:")
QT_MACRO = re.compile(r"\bQ_[A-Z_]+\b(\s*\([^()]*\))?")
KEYWORDS = {"virtual", "static", "explicit", "inline", "const", "constexpr", "unsigned", "signed",
            "int", "bool", "void", "char", "short", "long", "double", "float", "operator"}


def member_name(declaration):
    """The name a declaration introduces: a function's, a type's or a data member's."""
    text = declaration.strip()
    for keyword in ("using", "typedef", "enum", "struct", "class", "union"):
        if re.match(keyword + r"\b", text):
            if keyword == "typedef":
                return re.findall(r"(\w+)\s*$", text)[0]
            words = re.findall(r"[\w~]+", text[len(keyword):])
            words = [w for w in words if w != "class"]
            return words[0] if words else keyword
    head = text.split("=", 1)[0] if "(" not in text.split("=", 1)[0] else text.split("(", 1)[0]
    if "operator" in head:
        return "operator"
    names = re.findall(r"~?\w+", head)
    return names[-1] if names else text


def read_list(path):
    """{class: (header, set of member names)} from the host SDK's member list."""
    classes = {}
    current = None
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            match = CLASS_LINE.match(line)
            if match:
                current = match.group(1)
                classes[current] = (match.group(2), set())
                continue
            match = DECLARATION.match(line)
            if match and current:
                classes[current][1].add(member_name(match.group(2).split("(")[0] + "("))
    return classes


def plain_code(text):
    """The header without comments, string literals and preprocessor lines."""
    text = re.sub(r"//[^\n]*|/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r'"(\\.|[^"\\])*"', '""', text)
    text = re.sub(r"\\\n", " ", text)
    return "\n".join(line for line in text.split("\n") if not line.lstrip().startswith("#"))


def class_body(code, name):
    """The text between the braces of the class's definition, or None."""
    match = re.search(r"\b(class|struct)\s+(\w+\s+)?" + name + r"\b[^;{(]*\{", code)
    if not match:
        return None
    depth, start = 1, match.end()
    for index in range(start, len(code)):
        depth += {"{": 1, "}": -1}.get(code[index], 0)
        if depth == 0:
            return code[start:index], match.group(1) == "struct"
    return None


def declarations(body, is_struct):
    """(access, declaration text) for each member declared at the top level of the body."""
    access = "public" if is_struct else "private"
    found, current, depth = [], "", 0
    body = QT_MACRO.sub(" ", body)
    position = 0
    while position < len(body):
        match = ACCESS.match(body, position) if depth == 0 else None
        if match:
            access = match.group(1) or "signals"
            position = match.end()
            continue
        char = body[position]
        if char in "{(":
            depth += 1
        elif char in "})":
            depth -= 1
        if depth == 0 and char in ";}":
            # A declaration ends at its semicolon, or at the end of an inline body.
            if current.strip() and char == "}":
                current = current.split("{", 1)[0]
            if current.strip():
                found.append((access, " ".join(current.split())))
            current = ""
        elif char in "\n\t":
            current += " "
        else:
            current += char
        position += 1
    return [(a, d) for a, d in found if d and not d.startswith(":")]


def main():
    member_list, headers = sys.argv[1], sys.argv[2]
    faults = []
    for name, (header, allowed) in sorted(read_list(member_list).items()):
        path = os.path.join(headers, header)
        if not os.path.exists(path):
            continue
        with open(path, encoding="utf-8") as source:
            found = class_body(plain_code(source.read()), name)
        if found is None:
            continue
        allowed = allowed | {name, "~" + name}
        for access, declaration in declarations(*found):
            if declaration.startswith("friend ") or re.search(r"=\s*delete$", declaration):
                continue
            member = member_name(declaration)
            is_function = "(" in declaration.split("=", 1)[0]
            is_type = re.match(r"(using|typedef|enum|struct|class|union)\b", declaration)
            if not is_function and not is_type and not re.match(r"(static|constexpr)\b", declaration):
                if access != "private":
                    faults.append(f"{path}: {name} declares the {access} data member '{member}'")
                continue
            if member not in allowed:
                faults.append(f"{path}: {name} declares '{member}', which the host's SDK does not "
                              f"({declaration})")
    for fault in faults:
        print("FAULT: " + fault, file=sys.stderr)
    if faults:
        print(f"FAULT: a header the module includes declares what the host's SDK lacks "
              f"(the SDK's members: {member_list})", file=sys.stderr)
        return 1
    print("SDK members: the headers the module sees declare only what the host's SDK declares")
    return 0


if __name__ == "__main__":
    sys.exit(main())
