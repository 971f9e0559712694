"""Generates one-line mutants of a C++ source file.

A mutant changes one spot of one line; line numbers never move, so a report line
`file:line: before → after` points at the source as it is checked in.
"""

import re
from dataclasses import dataclass

KEYWORDS = {
    "if", "while", "for", "switch", "return", "sizeof", "catch", "decltype", "alignof",
    "alignas", "static_assert", "noexcept", "defined", "case", "else", "do", "new", "delete",
    "throw", "operator", "static_cast", "reinterpret_cast", "const_cast", "assert",
}


@dataclass(frozen=True)
class Mutant:
    path: str        # relative to the repository root
    line: int        # 1-based
    operator: str
    before: str      # the whole line, unchanged
    after: str       # the whole line, mutated

    def key(self):
        return (self.path, self.before.strip(), self.after.strip())

    def describe(self):
        return f"{self.path}:{self.line}: {self.before.strip()} → {self.after.strip()}"


def mask_line(line, in_block_comment):
    """Blanks comments and the insides of string and character literals, keeping positions.

    Returns the masked line and whether a block comment is still open at its end."""
    out = []
    i = 0
    n = len(line)
    while i < n:
        if in_block_comment:
            end = line.find("*/", i)
            if end < 0:
                out.append(" " * (n - i))
                return "".join(out), True
            out.append(" " * (end + 2 - i))
            i = end + 2
            in_block_comment = False
            continue
        c = line[i]
        if line.startswith("//", i):
            out.append(" " * (n - i))
            break
        if line.startswith("/*", i):
            in_block_comment = True
            continue
        if c in "\"'":
            # A digit separator (1'000) is not a character literal.
            if c == "'" and i > 0 and line[i - 1].isalnum():
                out.append(c)
                i += 1
                continue
            j = i + 1
            while j < n and line[j] != c:
                j += 2 if line[j] == "\\" else 1
            out.append(c + "_" * (min(j, n) - i - 1) + (c if j < n else ""))
            i = j + 1
            continue
        out.append(c)
        i += 1
    return "".join(out), in_block_comment


def matching_paren(text, open_index):
    depth = 0
    for i in range(open_index, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def top_level_commas(text, start, end):
    """Positions of the commas directly inside the parentheses text[start..end]."""
    depth = 0
    commas = []
    for i in range(start + 1, end):
        c = text[i]
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
        elif c == "," and depth == 0:
            commas.append(i)
    return commas


REL = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
ARITH = {"+": "-", "-": "+", "*": "/", "/": "*", "+=": "-=", "-=": "+=", "*=": "/=", "/=": "*="}
REL_RE = re.compile(r"(?<=[\w)\]] )(<=|>=|==|!=|<|>)(?= [\w(!\-])")
ARITH_RE = re.compile(r"(?<=[\w)\]] )(\+=|-=|\*=|/=|\+|-|\*|/)(?= [\w(])")
INT_RE = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+)([uUlL]*)(?![\w.'])")
TYPE_RE = re.compile(r"\b(float|double)\b")
FLOAT_SUFFIX_RE = re.compile(r"(?<![\w.])(\d+\.\d*|\.\d+|\d+)([eE][-+]?\d+)?[fF]\b")
COND_RE = re.compile(r"\b(if|while)\s*\(")
CALL_STMT_RE = re.compile(r"^(\s*)((?:[A-Za-z_][\w]*(?:::|\.|->))*[A-Za-z_]\w*\s*\(.*\)\s*;)\s*$")
CALL_RE = re.compile(r"\b([A-Za-z_]\w*)\s*\(")


def replace(line, start, end, text):
    return line[:start] + text + line[end:]


def line_mutants(line, masked):
    """Every mutant of one line as (operator, mutated line)."""
    found = []
    for m in REL_RE.finditer(masked):
        found.append(("relational", replace(line, m.start(), m.end(), REL[m.group(1)])))
    for m in ARITH_RE.finditer(masked):
        found.append(("arithmetic", replace(line, m.start(), m.end(), ARITH[m.group(1)])))
    for m in INT_RE.finditer(masked):
        digits, suffix = m.group(1), m.group(2)
        value = int(digits, 16) if digits[:2].lower() == "0x" else int(digits)
        for changed in (value + 1, value - 1):
            if changed < 0:
                continue
            text = hex(changed) if digits[:2].lower() == "0x" else str(changed)
            found.append(("constant", replace(line, m.start(), m.end(), text + suffix)))
    for m in TYPE_RE.finditer(masked):
        other = "double" if m.group(1) == "float" else "float"
        found.append(("float-double", replace(line, m.start(), m.end(), other)))
    for m in FLOAT_SUFFIX_RE.finditer(masked):
        found.append(("float-double", replace(line, m.end() - 1, m.end(), "")))
    stmt = CALL_STMT_RE.match(masked)
    if stmt and not re.match(r"\s*(return|delete|throw|case|else|goto)\b", masked) \
            and "=" not in re.sub(r"[=!<>]=|->|\(.*\)", "", masked):
        open_index = masked.index("(")
        if matching_paren(masked, open_index) == masked.rstrip().rfind(")"):
            found.append(("removed-call", stmt.group(1) + ";"))
    for m in COND_RE.finditer(masked):
        open_index = m.end() - 1
        close = matching_paren(masked, open_index)
        if close > 0:
            cond = line[open_index + 1:close]
            found.append(("negated-condition",
                          replace(line, open_index + 1, close, "!(" + cond + ")")))
    for m in CALL_RE.finditer(masked):
        if m.group(1) in KEYWORDS:
            continue
        open_index = m.end() - 1
        close = matching_paren(masked, open_index)
        if close < 0:
            continue
        bounds = [open_index] + top_level_commas(masked, open_index, close) + [close]
        args = [line[bounds[k] + 1:bounds[k + 1]] for k in range(len(bounds) - 1)]
        for k in range(len(args) - 1):
            a, b = args[k], args[k + 1]
            if a.strip() == b.strip() or not a.strip() or not b.strip():
                continue
            lead_a = a[:len(a) - len(a.lstrip())]
            lead_b = b[:len(b) - len(b.lstrip())]
            swapped = lead_a + b.strip() + a[len(a.rstrip()):] + "," + lead_b + a.strip() \
                + b[len(b.rstrip()):]
            found.append(("swapped-arguments",
                          replace(line, bounds[k] + 1, bounds[k + 2], swapped)))
    return found


def file_mutants(path, text):
    """Every mutant of a file, in line order; preprocessor lines are left alone."""
    result = []
    in_comment = False
    seen = set()
    for number, line in enumerate(text.split("\n"), start=1):
        masked, in_comment_after = mask_line(line, in_comment)
        in_comment = in_comment_after
        if masked.lstrip().startswith("#") or not masked.strip():
            continue
        for operator, after in line_mutants(line, masked):
            if after == line or (number, after) in seen:
                continue
            seen.add((number, after))
            result.append(Mutant(path, number, operator, line, after))
    return result
