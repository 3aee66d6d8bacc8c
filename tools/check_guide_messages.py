#!/usr/bin/env python3
"""Every message the program shows has a row in the user's guide.

    check_guide_messages.py SOURCE_DIR
    check_guide_messages.py --self-test
    check_guide_messages.py --layout-samples GUIDE OUT   (the layout check's boxes, see below)

The check starts where messages are shown, not from what texts look like. A message box is a call
of MessageBoxW or its kin; a function that passes one of its parameters on into a box's text is a
box function too (ShowMessageBox and the wrappers around it, at any depth), found by following the
texts back through the code. The progress dialogs' text line counts as well.

Each box's text and caption are followed back to the texts they can carry: literals, Format() of
a format, constants and variables, parameters (through every call site), out parameters, what
functions return, fields of structs and tables filled by braced lists (or std::make_shared) or
field by field (a worker's lambda in the function counts as part of it), lists of texts filled by
push_back and taken by a copy or a swap, concatenation, resource strings loaded by id.
A text the check cannot follow fails it, naming file and line: make the code followable there, or,
for a deliberate pass-through of a text the program does not make, list the place in PASS_THROUGH.

Each text then needs a row in the tables under "## メッセージ一覧" of docs/guide/index.md: the
row's first column is the text (printf conversions, line breaks and what the check could not
follow inside a Format() match any text there), its second column the box's caption. A text a
format inserts with %ls may have a row of its own instead, the message's row showing the format
(the connection check's reasons are listed so).

The other way round, no row of those tables may name a text the program cannot show: a message
row needs a box or progress text it matches, a row of inserted texts (理由, 文言) one of those or a
literal of the code; texts the code records but no box can show are listed in RECORDED_ONLY and
count as shown nowhere.
"""

import itertools
import pathlib
import re
import sys
from dataclasses import dataclass

CODE_DIRS = ["acquisition", "common", "network", "platform", "settings", "ui"]
TABLE_HEADING = "## メッセージ一覧"

# The platform's boxes: the argument index of the text and of the caption.
BOX_CALLS = {name: (1, 2) for name in ("MessageBoxW", "MessageBoxA", "MessageBox", "MessageBoxExW", "MessageBoxExA")}
# Boxes whose texts travel in a structure the check does not follow.
UNFOLLOWED_BOX_CALLS = {"MessageBoxIndirectW", "MessageBoxIndirectA", "MessageBoxIndirect"}
# The progress dialogs' text line: a control that shows messages, with no caption of its own.
MESSAGE_CONTROLS = {"IDC_PROGRESS_TEXT"}

# Texts that pass through the program rather than being made by it, such as a system error
# text: (file, function, expression as written there) -> the texts the guide lists for it, e.g.
# ("ui/commands.cpp", "ShowSystemError", "SystemErrorText(error)"): ["%ls"]. Keep this short.
PASS_THROUGH = {}

# Texts the code records that no box can show: (file, text) -> why. A failed check writes its
# own reason just before its box reads the record, and the box after a failed connect shows
# none, so these are always written over first. The guide must not list them.
RECORDED_ONLY = {
    ("network/connection.cpp", "CConnection::IsAvailable(). ConnMgrConnectionStatus(): Failed."):
        "the check goes on as a check that did not fail",
    ("network/connection.cpp",
     "CConnection::IsAvailable(). dwStats != (CONNMGR_STATUS_CONNECTED || CONNMGR_STATUS_CONNECTIONDISABLED)."):
        "the check goes on as a check that did not fail",
    ("network/connection.cpp", "CConnection::Connect(). IsInit(): Failed."):
        "the box of a failed connect shows no reason",
}  # fmt: skip

# The program's printf: Format(format, ...).
FORMATTERS = {"Format": 0}
# Calls that write a text into one of their arguments: kind, target index, source index.
WRITERS = {
    "FormatString": ("format", 0, 1),
    "swprintf": ("format", 0, 2),
    "_snwprintf": ("format", 0, 2),
    "StringCchPrintfW": ("format", 0, 2),
    "wcscpy": ("copy", 0, 1),
    "wcsncpy": ("copy", 0, 1),
    "lstrcpyW": ("copy", 0, 1),
    "lstrcpynW": ("copy", 0, 1),
    "StringCchCopyW": ("copy", 0, 2),
    "LoadStringW": ("copy", 2, 1),  # the source is a resource id, which stands for its string
    "wmemset": ("empty", 0, None),
    "memset": ("empty", 0, None),
}
# Platform calls that only read the buffers given to them.
READERS = {"SetWindowTextW", "SetDlgItemTextW", "wcslen", "wcscmp", "wcsncmp", "lstrlenW", "lstrcmpW", "_wcsicmp"}
# std::wstring members that change the string in ways the check does not follow.
MUTATORS = {"insert", "erase", "replace", "resize", "push_back", "pop_back", "swap", "data", "at", "front", "back"}
# Members that add an element to a list of texts (a std::wstring's add a character instead).
ADDERS = {"push_back", "emplace_back"}
# Containers of texts: empty when declared without a value.
CONTAINERS = {"vector", "deque", "list", "array"}
# std::make_shared<T>(...) and its kin: a T made of the arguments.
MAKERS = {"make_shared", "make_unique"}

HOLE = "\ue000"  # any text: a conversion, or an inserted text the check could not follow
KEYWORDS = {"if", "for", "while", "switch", "return", "sizeof", "catch", "decltype", "alignof", "alignas", "case",
            "static_assert", "noexcept", "throw", "new", "delete", "operator", "typeid", "else", "goto", "do", "this"}
TYPE_WORDS = {"const", "volatile", "static", "constexpr", "inline", "unsigned", "signed", "struct", "class", "typename"}
ACCESS = ("public", "private", "protected")


# ----------------------------------------------------------------------------------------------
# Reading C++: tokens, and the functions, classes and variables of each file. Enough of C++ for
# this program's code; what it misreads shows as a text it cannot follow, never as a pass.

TOKEN = re.compile(
    r"""(?P<space>\s+)|(?P<comment>//[^\n]*|/\*.*?\*/)|(?P<pre>^[ \t]*\#(?:\\\n|[^\n])*)
    |(?P<raw>(?:u8|[LuU])?R"(?P<delimiter>[^()\\\s]{0,16})\((?P<body>.*?)\)(?P=delimiter)")
    |(?P<str>(?:u8|[LuU])?"(?:[^"\\\n]|\\.)*")|(?P<char>(?:u8|[LuU])?'(?:[^'\\\n]|\\.)*')
    |(?P<num>\.?\d(?:[eEpP][-+]|[\w.'])*)|(?P<id>[A-Za-z_]\w*)
    |(?P<op>::|->|\.\.\.|&&|\|\||\+\+|--|[-+*/%&|^!=<]=|.)""",
    re.S | re.M | re.X,
)
ESCAPE = re.compile(r"\\(x[0-9A-Fa-f]+|u[0-9A-Fa-f]{4}|U[0-9A-Fa-f]{8}|[0-7]{1,3}|.)", re.S)
SIMPLE_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "a": "\a", "b": "\b", "f": "\f", "v": "\v"}


def unescape(body):
    def one(match):
        code = match.group(1)
        if code[0] in "xuU":
            return chr(int(code[1:], 16))
        if code[0] in "01234567":
            return chr(int(code, 8))
        return SIMPLE_ESCAPES.get(code, code)

    return ESCAPE.sub(one, body)


@dataclass
class Token:
    kind: str  # str, char, num, id, op
    text: str  # for str: the value, literals written in a row joined
    line: int


def tokenize(source):
    tokens, line = [], 1
    for match in TOKEN.finditer(source):
        kind, text = match.lastgroup, match.group()
        if kind in ("str", "raw"):
            value = match.group("body") if kind == "raw" else unescape(text[text.index('"') + 1 : -1])
            if tokens and tokens[-1].kind == "str":
                tokens[-1].text += value
            else:
                tokens.append(Token("str", value, line))
        elif kind not in ("space", "comment", "pre"):
            tokens.append(Token(kind, text, line))
        line += text.count("\n")
    return tokens


class File:
    def __init__(self, path, source):
        self.path = path
        self.toks = tokenize(source)
        self.pair = {}  # each bracket's index -> its partner's
        stack = []
        for i, tok in enumerate(self.toks):
            if tok.kind == "op" and tok.text in "([{":
                stack.append(i)
            elif tok.kind == "op" and tok.text in ")]}" and stack:
                self.pair[stack[-1]] = i
                self.pair[i] = stack.pop()
        for i in stack:  # unbalanced: the bracket reaches to the end
            self.pair[i] = len(self.toks)
        self.unnamed_structs = {}  # closing brace of an unnamed struct -> its name here

    def text(self, i):
        """The token's text; None for string literals and outside the file."""
        return self.toks[i].text if 0 <= i < len(self.toks) and self.toks[i].kind != "str" else None

    def where(self, i):
        return f"{self.path}:{self.toks[max(0, min(i, len(self.toks) - 1))].line}"

    def skip(self, i):
        """The index after the token at i, or after its bracket group."""
        return self.pair[i] + 1 if self.text(i) in ("(", "[", "{") and i in self.pair else i + 1

    def top(self, s, e):
        """Indexes of [s, e) outside brackets."""
        while s < e:
            yield s
            s = self.skip(s)

    def find(self, s, e, texts):
        return next((i for i in self.top(s, e) if self.text(i) in texts), -1)

    def split(self, s, e):
        """The comma-separated parts of [s, e), as ranges; no empty ones."""
        cuts = [i for i in self.top(s, e) if self.text(i) == ","]
        return [(a, b) for a, b in zip([s] + [c + 1 for c in cuts], cuts + [e]) if b > a]

    def expression_end(self, i):
        while i < len(self.toks) and self.text(i) not in (";", ",", ")", "]", "}"):
            i = self.skip(i)
        return i

    def source(self, s, e):
        """The code of [s, e), without spaces."""
        return "".join('L"' + t.text + '"' if t.kind == "str" else t.text for t in self.toks[s:e])


@dataclass(frozen=True)
class Expr:
    file: File
    s: int
    e: int
    hint: str = None  # the struct it builds, where a declaration tells


def is_declared_name(f, i):
    """Whether the name at i is being declared: a type stands before it."""
    prev = f.toks[i - 1] if i > 0 else None
    if prev is None or prev.kind not in ("id", "op"):
        return False
    if prev.kind == "id":
        return prev.text not in KEYWORDS
    if prev.text == ">":
        return True
    if prev.text == "}":  # struct { ... } name
        return (i - 1) in f.unnamed_structs
    if prev.text in ("*", "&", "&&") and i > 1:
        before = f.toks[i - 2]
        return (before.kind == "id" and before.text not in KEYWORDS) or before.text == ">"
    return False


def type_of(f, s, e):
    """The struct a type [s, e) names (its last word), or the unnamed struct it defines."""
    if e > s and f.text(e - 1) == "}":
        return f.unnamed_structs.get(e - 1)
    words = [t.text for t in f.toks[s:e] if t.kind == "id" and t.text not in TYPE_WORDS]
    return None if not words or words[-1] == "auto" else words[-1]


@dataclass
class Param:
    name: str
    out: bool  # a non-const reference or pointer: the function can write it
    default: Expr


def parse_params(f, s, e):
    params, variadic = [], False
    for ps, pe in f.split(s, e):
        if f.text(ps) == "..." or (pe - ps == 1 and f.text(ps) == "void"):
            variadic = variadic or f.text(ps) == "..."
            continue
        eq = f.find(ps, pe, ("=",))
        end = eq if eq >= 0 else pe
        if f.text(end - 1) == "]":
            end = f.pair[end - 1]
        last = f.toks[end - 1]
        named = last.kind == "id" and end - ps >= 2 and f.text(end - 2) != "::"
        words = {t.text for t in f.toks[ps:end]}
        out = ("&" in words or "*" in words) and "const" not in words
        params.append(Param(last.text if named else None, out, Expr(f, eq + 1, pe) if eq >= 0 else None))
    return params, variadic


class Function:
    def __init__(self, file, name_i, cls, head_s, body_s, local):
        self.file, self.name, self.cls, self.local = file, file.toks[name_i].text, cls, local
        self.head = (head_s, body_s)
        self.body = (body_s + 1, file.pair[body_s])
        self.return_type = type_of(file, head_s, name_i)
        self.params, self.variadic = parse_params(file, name_i + 2, file.pair[name_i + 1])

    def label(self):
        return f"{self.cls}::{self.name}" if self.cls else self.name

    def param_names(self):
        return [p.name for p in self.params]


@dataclass
class Variable:
    file: File
    name: str
    type_s: int
    type_e: int
    init: Expr  # None when declared without a value
    local: bool  # seen in its own file only
    constant: bool
    buffer: bool  # an array or pointer that platform calls can fill

    @property
    def hint(self):
        return type_of(self.file, self.type_s, self.type_e)

    def is_string(self):
        words = {t.text for t in self.file.toks[self.type_s : self.type_e]}
        return bool(words & {"wstring", "string"}) and not words & CONTAINERS and not self.buffer


def declarators(f, s, e, local):
    """The variables the declaration statement [s, e) declares."""
    found, type_e = [], None
    for ps, pe in f.split(s, e):
        stop = f.find(ps, pe, ("=", "{", ":"))
        end = stop if stop >= 0 else pe
        array = f.text(end - 1) == "]"
        if array:
            end = f.pair[end - 1]
        if end <= ps or f.toks[end - 1].kind != "id":
            continue
        type_e = end - 1 if type_e is None else type_e  # later declarators share the first's type
        if stop >= 0 and f.text(stop) == "=":
            init = Expr(f, stop + 1, pe)
        elif stop >= 0 and f.text(stop) == "{":
            init = Expr(f, stop, f.pair[stop] + 1)
        else:
            init = None
        words = {t.text for t in f.toks[s:type_e]}
        constant = "const" in words or "constexpr" in words
        found.append(Variable(f, f.toks[end - 1].text, s, type_e, init, local, constant, array or "*" in words))
    return found


@dataclass
class Class:
    name: str
    fields: list  # Variables, in declaration order
    has_constructor: bool

    def field(self, name):
        return next((v for v in self.fields if v.name == name), None)


class Call:
    def __init__(self, file, func, name_i):
        self.file, self.func, self.name_i = file, func, name_i
        self.name = file.toks[name_i].text
        self.args = [Expr(file, s, e) for s, e in file.split(name_i + 2, file.pair[name_i + 1])]
        self.method = file.text(name_i - 1) in (".", "->")
        self.qualifier = file.text(name_i - 2) if file.text(name_i - 1) == "::" else None


class Program:
    """The functions, classes, variables and calls of the program's files."""

    def __init__(self, sources, strings):
        self.files = [File(path, text) for path, text in sorted(sources.items())]
        self.strings = strings  # resource string id -> text
        self.functions, self.classes, self.globals = {}, {}, {}  # by name
        self.defaults = {}  # (function name, parameter index) -> default argument of a declaration
        self.calls = {}  # name -> [Call]
        self.uses = {}  # function name -> [(file, index)] where it is named without being called
        self.touches = {}  # (function, name) -> occurrences
        for f in self.files:
            self.find_classes(f)
            self.walk(f, 0, len(f.toks), None, False)
        for f in self.files:
            self.index_calls(f)

    def find_classes(self, f):
        for k, tok in enumerate(f.toks):
            if tok.text not in ("struct", "class", "union") or tok.kind != "id" or f.text(k - 1) == "enum":
                continue
            i, name = class_name(f, k)
            if f.text(i) == ":":  # base classes
                while i < len(f.toks) and f.text(i) not in ("{", ";", "(", "="):
                    i += 1
            if f.text(i) != "{":
                continue
            if name is None:
                name = f"the unnamed struct at {f.where(k)}"
                f.unnamed_structs[f.pair[i]] = name
            self.classes[name] = self.class_body(f, i + 1, f.pair[i], name)

    def class_body(self, f, s, e, name):
        fields, ctor, start = [], False, s
        for i in f.top(s, e):
            t = f.text(i)
            if t == ":" and f.text(i - 1) in ACCESS:
                start = i + 1
            elif t in (";", "{"):
                paren = f.find(start, i, ("(",))
                ctor = ctor or (paren > start and f.text(paren - 1) == name)
                if t == "{" and paren >= 0:
                    start = f.pair[i] + 1  # an inline member function
                elif t == ";":
                    words = {x.text for x in f.toks[start:i]}
                    skipped = {"using", "typedef", "friend", "static_assert", "template", "static", "enum"}
                    if paren < 0 and not words & (skipped | {"struct", "class", "union"}):
                        fields.extend(declarators(f, start, i, False))
                    start = i + 1
        return Class(name, fields, ctor)

    def walk(self, f, s, e, cls, local):
        """The functions and variables of the namespace or class scope [s, e)."""
        start, i = s, s
        while i < e:
            t = f.text(i)
            if t == ";":
                self.declaration(f, start, i, cls, local)
                start = i + 1
            elif t == ":" and f.text(i - 1) in ACCESS:
                start = i + 1
            elif t == "{" and not is_initializer_brace(f, start, i):
                words = [x.text for x in f.toks[start:i] if x.kind == "id"]
                if "namespace" in words or words == ["extern"]:
                    self.walk(f, i + 1, f.pair[i], cls, local or words == ["namespace"])
                elif "enum" in words:
                    pass
                elif {"struct", "class", "union"} & set(words):
                    keyword = next(k for k in range(start, i) if f.text(k) in ("struct", "class", "union"))
                    self.walk(f, i + 1, f.pair[i], class_name(f, keyword)[1], local)
                else:
                    self.function(f, start, f.find(start, i, ("(",)), i, cls, local)
                start = i = f.pair[i] + 1
                continue
            i = f.skip(i)

    def function(self, f, head_s, paren, body_s, cls, local):
        name_i = paren - 1
        if f.toks[name_i].kind != "id":
            return
        if f.text(name_i - 1) == "::" and f.toks[name_i - 2].kind == "id":
            cls = f.toks[name_i - 2].text
        local = local or (f.text(head_s) == "static" and cls is None)
        func = Function(f, name_i, cls, head_s, body_s, local)
        self.functions.setdefault(func.name, []).append(func)

    def declaration(self, f, s, e, cls, local):
        if s >= e or f.text(s) in ("using", "typedef", "friend", "static_assert", "template", "extern"):
            return
        paren, eq = f.find(s, e, ("(",)), f.find(s, e, ("=",))
        if paren >= 0 and (eq < 0 or paren < eq) and f.toks[paren - 1].kind == "id":
            name = f.toks[paren - 1].text  # a function's declaration: its default arguments count
            for index, param in enumerate(parse_params(f, paren + 1, f.pair[paren])[0]):
                if param.default is not None:
                    self.defaults[(name, index)] = param.default
        elif cls is None:
            for var in declarators(f, s, e, local or f.text(s) == "static"):
                self.globals.setdefault(var.name, []).append(var)

    def index_calls(self, f):
        funcs = [fn for fns in self.functions.values() for fn in fns if fn.file is f]
        for i, tok in enumerate(f.toks):
            if tok.kind != "id" or tok.text in KEYWORDS or f.text(i - 1) == "~":
                continue
            if any(fn.head[0] <= i < fn.head[1] for fn in funcs):
                continue
            owner = next((fn for fn in funcs if fn.body[0] <= i < fn.body[1]), None)
            nxt = f.toks[i + 1] if i + 1 < len(f.toks) else None
            if nxt is not None and nxt.text == "(" and not is_declared_name(f, i):
                self.calls.setdefault(tok.text, []).append(Call(f, owner, i))
            elif tok.text in self.functions and (nxt is None or nxt.kind != "id" and nxt.text in (",", ")", ";", "}")):
                self.uses.setdefault(tok.text, []).append((f, i))

    def occurrences(self, func, name):
        key = (id(func), name)
        if key not in self.touches:
            self.touches[key] = list(scan_occurrences(self, func, name))
        return self.touches[key]

    def declares(self, func, name):
        return any(kind == "declare" for kind, _, _ in self.occurrences(func, name))

    def is_local(self, func, name):
        return name in func.param_names() or self.declares(func, name)


def is_initializer_brace(f, start, i):
    """Whether the brace at i, in the statement from start, opens a value rather than a body."""
    head = [x.text for x in f.toks[start:i] if x.kind == "id"]
    paren = f.find(start, i, ("(",))
    if f.find(start, i, ("=",)) >= 0:
        return True
    if paren >= 0:  # a member initializer of a constructor: `: m_x{...}`
        return f.find(f.pair[paren], i, (":",)) >= 0 and f.text(i - 2) in (":", ",")
    return not {"namespace", "extern", "enum", "struct", "class", "union"} & set(head)


def class_name(f, keyword):
    """The index after a class's (qualified) name, and its last word."""
    i, name = keyword + 1, None
    while f.toks[i].kind == "id" or f.text(i) == "::":
        name = f.toks[i].text if f.toks[i].kind == "id" and f.text(i) != "final" else name
        i += 1
    return i, name


def resource_strings(rc):
    strings = {}
    for block in re.finditer(r"STRINGTABLE\b.*?\b(?:BEGIN|\{)(.*?)\b(?:END|\})", rc, re.S):
        for name, text in re.findall(r'(\w+)\s*,?\s*L?"((?:[^"]|"")*)"', block.group(1)):
            strings[name] = unescape(text.replace('""', '"'))
    return strings


# ----------------------------------------------------------------------------------------------
# Reading what a function's body does with a name.


def scan_occurrences(program, func, name):
    """(kind, Expr, extra) for each place in func's body that touches name:
    declare (extra: whether a buffer), set (the value; extra: the field path it is read at),
    append, empty, format (extra: the call's arguments), out (extra: [(callee, index, arguments)]),
    element (an element added to a list; extra: how), default (declared without a value), field
    (extra: (fields, how, what), see field_occurrence), buffer (extra: the platform call it is
    handed to), unknown (extra: what), read."""
    f = func.file
    if func.name == func.cls:  # a constructor's member initializers
        for i in range(*func.head):
            if f.text(i) == name and f.text(i + 1) in ("(", "{") and f.text(i - 1) in (":", ","):
                brace = f.text(i + 1) == "{"
                yield "set", Expr(f, i + 1, f.pair[i + 1] + 1) if brace else Expr(f, i + 2, f.pair[i + 1]), ()
    s, e = func.body
    i = s
    while i < e:
        if f.text(i) != name or f.text(i - 1) in (".", "::") or (f.text(i - 1) == "->" and f.text(i - 2) != "this"):
            i += 1
            continue
        here = Expr(f, i, i + 1)
        if is_declared_name(f, i):
            yield from declaration_occurrence(f, i, s)
            i = f.pair[i + 1] + 1 if f.text(i + 1) == "[" else i + 1
            continue
        nxt = f.text(i + 1)
        if nxt == "=":
            yield "set", Expr(f, i + 2, f.expression_end(i + 2)), ()
        elif nxt == "+=":
            yield "append", Expr(f, i + 2, f.expression_end(i + 2)), ()
        elif nxt in (".", "->") and f.toks[i + 2].kind == "id":
            chain, j = [], i + 1
            while f.text(j) in (".", "->", "[") and (f.text(j) == "[" or f.toks[j + 1].kind == "id"):
                chain.append("[]" if f.text(j) == "[" else f.text(j + 1))
                j = f.pair[j] + 1 if f.text(j) == "[" else j + 2
            if len(chain) == 1 and f.text(j) == "(":
                yield method_occurrence(f, i, chain[0], j)
            else:
                yield field_occurrence(program, func, i, tuple(chain), j)
        elif nxt == "[" and f.text(f.pair[i + 1] + 1) == "=":
            yield "unknown", here, "is changed element by element"
        elif f.text(i - 1) == "&" and not operand_end(f, i - 2):
            yield from argument_occurrence(program, func, i, address=True)
        elif f.text(i - 1) in ("(", ",") and nxt in (",", ")"):
            yield from argument_occurrence(program, func, i, address=False)
        else:
            yield "read", here, ()
        i += 1


def declaration_occurrence(f, i, body_s):
    type_s = i - 1
    while type_s > body_s and f.text(type_s - 1) not in (";", "{", "}", "(", ")", ","):
        type_s -= 1
    j = f.pair[i + 1] + 1 if f.text(i + 1) == "[" else i + 1
    words = {t.text for t in f.toks[type_s:i]}
    yield "declare", Expr(f, i, i + 1), j > i + 1 or "*" in words
    hint, after = type_of(f, type_s, i), f.text(j)
    if after == "=":
        yield "set", Expr(f, j + 1, f.expression_end(j + 1), hint), ()
    elif after == "(" and f.pair[j] > j + 1:
        yield "set", Expr(f, j + 1, f.pair[j], hint), ()
    elif after == "{":
        yield "set", Expr(f, j, f.pair[j] + 1, hint), ()
    elif after == ":" and f.text(type_s - 1) == "(" and f.text(type_s - 2) == "for":
        yield "set", Expr(f, j + 1, f.pair[type_s - 1]), ("[]",)  # a row of the table looped over
    elif after in (")", ",") and f.text(type_s - 1) in ("(", ","):
        yield "unknown", Expr(f, i, i + 1), "is a lambda's parameter"
    elif words & {"wstring", "string"} and not words & CONTAINERS and "*" not in words:
        yield "empty", Expr(f, i, i + 1), ()
    elif hint is not None and "*" not in words:
        yield "default", Expr(f, i, i + 1, hint), ()  # a struct: its fields' defaults


def method_occurrence(f, i, member, j):
    """name.member(...), the call's parenthesis at j."""
    name, here = f.text(i), Expr(f, i, i + 1)
    args = [Expr(f, a, b) for a, b in f.split(j + 1, f.pair[j])]
    if member in ("assign", "append"):
        return ("set" if member == "assign" else "append"), Expr(f, j + 1, f.pair[j]), ()
    if member == "clear":
        return "empty", here, ()
    if member == "swap" and len(args) == 1:
        return "set", args[0], ()
    if member in ADDERS and len(args) == 1:
        return "element", args[0], member
    if member in MUTATORS | ADDERS:
        return "unknown", here, f"is changed by `{name}.{member}`"
    return "read", here, ()


def field_occurrence(program, func, i, chain, j):
    """name.a.b (or name->a[k].b), the token after it at j. A write of the fields chain comes as
    ("field", name, (chain, how, what)): how is set (what: the value), out (what: the calls that
    write it, as for "out"), buffer (a platform call it is handed to: what says which) or change
    (what: a change the check does not follow)."""
    f = func.file
    here, written = Expr(f, i, i + 1), f"`{f.text(i)}.{'.'.join(chain)}`".replace(".[]", "[]")
    if f.text(j) == "(":  # a member function of a field
        if chain[-1] in MUTATORS | ADDERS | {"assign", "append", "clear"}:
            return "field", here, (chain[:-1], "change", f"is changed by {written}")
        return "read", here, ()
    if f.text(j) == "=":
        return "field", here, (chain, "set", Expr(f, j + 1, f.expression_end(j + 1)))
    if f.text(j) == "+=":
        return "field", here, (chain, "change", f"is appended to at {written}")
    address = f.text(i - 1) == "&" and not operand_end(f, i - 2)
    call = enclosing_call(f, i - 1 if address else i, j)
    if not isinstance(call, tuple):
        return ("field", here, (chain, "change", f"has {written} given by address")) if address else ("read", here, ())
    open_i, index, args = call
    callee = f.text(open_i - 1)
    own = [fn for fn in program.functions.get(callee, []) if not fn.local or fn.file is f]
    outs = [(fn, index, args) for fn in own if index < len(fn.params) and fn.params[index].out]
    if callee == "swap":
        partner = swap_partner(f, open_i, index, args)
        return "field", here, (chain, "set", partner) if partner else (chain, "change", f"has {written} swapped")
    if outs:
        return "field", here, (chain, "out", outs)
    if address or callee in WRITERS and WRITERS[callee][1] == index:
        return "field", here, (chain, "change", f"has {written} written by `{callee}`")
    if not own and callee not in READERS | FORMATTERS.keys() | BOX_CALLS.keys():
        return "field", here, (chain, "buffer", f"has {written} written by `{callee}`")
    return "read", here, ()


def enclosing_call(f, s, e):
    """For [s, e) standing whole in a bracket: (the call's parenthesis, the argument's index, the
    arguments) in a call; "capture" in a lambda's capture list; otherwise None."""
    if f.text(s - 1) not in ("(", ",", "[") or f.text(e) not in (",", ")", "]"):
        return None
    open_i = s - 1
    while open_i > 0 and f.text(open_i) not in ("(", "[", "{"):
        open_i = f.pair[open_i] - 1 if f.text(open_i) in (")", "]", "}") else open_i - 1
    if f.text(open_i) == "[" and (not operand_end(f, open_i - 1) or f.text(open_i - 1) in KEYWORDS):
        return "capture"
    if f.text(open_i) != "(" or f.toks[open_i - 1].kind != "id" or f.text(open_i - 1) in KEYWORDS:
        return None
    index = sum(1 for j in f.top(open_i + 1, s) if f.text(j) == ",")
    return open_i, index, [Expr(f, a, b) for a, b in f.split(open_i + 1, f.pair[open_i])]


def swap_partner(f, open_i, index, args):
    """What argument index of a swap is swapped with: the object of `a.swap(b)`, the other of
    `swap(a, b)`; None when that is not a plain name."""
    if f.text(open_i - 2) in (".", "->"):
        obj = open_i - 3
        plain = f.toks[obj].kind == "id" and f.text(obj - 1) not in (".", "->", "::")
        return Expr(f, obj, obj + 1) if plain else None
    return args[1 - index] if len(args) == 2 and index < 2 else None


def argument_occurrence(program, func, i, address):
    """name (or &name) handed to a call: to a writer, as an out parameter of the program's own
    functions, or to the platform. An address that goes anywhere else is not followed."""
    f = func.file
    here = Expr(f, i, i + 1)
    call = enclosing_call(f, i - 1 if address else i, i + 1)
    if call == "capture":  # the lambda's body is read as part of this function
        yield "read", here, ()
        return
    if call is None:
        yield ("unknown", here, "has its address taken") if address else ("read", here, ())
        return
    open_i, index, args = call
    callee = f.toks[open_i - 1]
    own = [fn for fn in program.functions.get(callee.text, []) if not fn.local or fn.file is f]
    if callee.text == "swap":
        partner = swap_partner(f, open_i, index, args)
        yield ("set", partner, ()) if partner else ("unknown", here, "is swapped with what the check cannot follow")
    elif callee.text in WRITERS:
        kind, target, source = WRITERS[callee.text]
        if index != target:
            yield "read", here, ()
        elif kind == "format":
            yield "format", here, args[source:]
        elif kind == "copy" and source < len(args):
            yield "set", args[source], ()
        else:
            yield "empty", here, ()
    elif own:
        outs = [(fn, index, args) for fn in own if index < len(fn.params) and fn.params[index].out]
        yield ("out", here, outs) if outs else ("read", here, ())
    elif callee.text in READERS or callee.text in FORMATTERS or callee.text in BOX_CALLS:
        yield "read", here, ()
    elif address:
        yield "unknown", here, f"is given by address to `{callee.text}`"
    else:
        yield "buffer", here, f"`{callee.text}`"


def returns(func):
    """The expression of each return of func, not counting those of lambdas inside it."""
    f = func.file
    s, e = func.body
    lambdas = []
    for i in range(s, e):
        if f.text(i) == "[" and (not operand_end(f, i - 1) or f.text(i - 1) in KEYWORDS):
            j = f.pair[i] + 1
            if f.text(j) == "(":
                j = f.pair[j] + 1
            while j < e and f.text(j) not in ("{", ";"):
                j += 1
            if f.text(j) == "{":
                lambdas.append((j, f.pair[j]))
    for i in range(s, e):
        if f.text(i) == "return" and f.text(i + 1) != ";" and not any(a < i < b for a, b in lambdas):
            yield Expr(f, i + 1, f.expression_end(i + 1), func.return_type)


# ----------------------------------------------------------------------------------------------
# Following a text back to what it can be.


@dataclass(frozen=True)
class Text:
    full: str  # what is shown; HOLE where it may be anything
    shape: str  # the same with the texts that formats insert as HOLE
    inserts: tuple  # the Texts formats insert
    where: str

    @staticmethod
    def literal(value, where):
        return Text(value, value, (), where)

    def __add__(self, other):
        return Text(self.full + other.full, self.shape + other.shape, self.inserts + other.inserts, self.where)


class Unfollowed(Exception):
    def __init__(self, f, i, what):
        super().__init__(f"{f.where(i)}: cannot follow a message's text: {what}")


class Context:
    """A function being read. Read for one call, it has that call's arguments (read in the caller's
    context); read for all its calls, it has none and its parameters come from every call site."""

    def __init__(self, func, file, args=None, caller=None):
        self.func, self.file, self.args, self.caller = func, file, args, caller


# The values of a string table entry that Text(id, {values}) fills in: %1 ... %9.
PLACEHOLDER = re.compile(r"%%|%[1-9]")
CONVERSION = re.compile(r"%%|%[-+ #0]*(\*|\d*)(?:\.(\*|\d+))?(?:hh|h|ll|l|L|z|j|t|I64|I32|I)?([diouxXeEfgGaAcCsSpn])")


class Resolver:
    def __init__(self, program):
        self.program = program
        self.errors = []  # what could not be followed, in the order found
        self.box_functions = {}  # label -> file of functions whose parameters become shown texts
        self.memo = {}
        self.active = set()  # questions being answered: met again, they are a cycle
        self.inserting = 0  # inside an inserted argument: what cannot be followed becomes a hole
        self.cycles = 0  # cycles cut short so far: an answer found meanwhile may lack a part
        self.partial = {}  # question -> what is known so far, for a text that refers to itself
        self.pass_through = {(p, fn, re.sub(r"\s", "", x)): texts for (p, fn, x), texts in PASS_THROUGH.items()}

    def record(self, error):
        if str(error) not in self.errors:
            self.errors.append(str(error))

    def guarded(self, key, compute):
        if key in self.active:
            self.cycles += 1
            return self.partial.get(key, set())  # `t = t + ...` reads what t held before
        self.active.add(key)
        try:
            return compute()
        finally:
            self.active.discard(key)
            self.partial.pop(key, None)

    def memoized(self, key, compute):
        """Context-free questions are answered once; later askers get the failures found too."""
        if key not in self.memo:
            before, cycles = len(self.errors), self.cycles
            result = self.guarded(key, compute)
            if key in self.active or self.cycles != cycles:
                return result
            self.memo[key] = (result, self.errors[before:])
        result, errors = self.memo[key]
        self.errors.extend(e for e in errors if e not in self.errors)
        return result

    # Where messages are shown ----------------------------------------------------------------

    def shown(self):
        """(text, caption) Texts (or None) of every place the program shows a message."""
        found = set()
        for _, calls in sorted(self.program.calls.items()):
            for call in calls:
                items = self.shown_arguments(call)
                if items is None:
                    continue
                try:
                    values = self.joint(items, Context(call.func, call.file))
                    found |= {v if len(v) == 2 else (v[0], None) for v in values}
                except Unfollowed as error:
                    self.record(error)
        return found

    def shown_arguments(self, call):
        """[(text, path), (caption, path)] of a call that shows a message, or None."""
        if call.name in UNFOLLOWED_BOX_CALLS:
            self.record(Unfollowed(call.file, call.name_i, f"{call.name} (show boxes through ShowMessageBox)"))
        elif call.name in BOX_CALLS and not call.method:
            text, caption = BOX_CALLS[call.name]
            if len(call.args) > caption:
                return [(call.args[text], ()), (call.args[caption], ())]
        elif call.name == "SetDlgItemTextW" and len(call.args) == 3:
            if self.control_ids(call.args[1], call.func) & MESSAGE_CONTROLS:
                return [(call.args[2], ())]
        elif call.name == "SetWindowTextW" and len(call.args) == 2:
            if self.control_ids(call.args[0], call.func) & MESSAGE_CONTROLS:
                return [(call.args[1], ())]
        return None

    def control_ids(self, expr, func, depth=0):
        """The control ids a window handle or id names, as far as plainly told."""
        f, s, e = strip(expr)
        if e - s == 1 and f.toks[s].kind == "id":
            sets = [x for x in self.program.occurrences(func, f.text(s)) if x[0] == "set"] if func else []
            if not sets or depth > 3:
                return {f.text(s)}
            return set().union(*(self.control_ids(x[1], func, depth + 1) for x in sets))
        if f.text(s) == "GetDlgItem" and f.text(s + 1) == "(" and f.pair[s + 1] == e - 1:
            args = f.split(s + 2, e - 1)
            return {f.source(*args[1])} if len(args) == 2 else set()
        return set()

    # Values. A box's text and caption are followed together where they travel together (one
    # variable's fields, one function's parameters), so each text keeps its own caption.

    def joint(self, items, ctx):
        """The value tuples of items [(Expr, field path)], one value per item."""
        if len(items) > 1:
            if len({strip(x) for x, _ in items}) == 1:
                return self.values(items[0][0], [p for _, p in items], ctx)
            chains = [field_chain(x) for x, _ in items]
            if all(chains):
                f, first, _ = chains[0]
                names = [c[0].text(c[1]) for c in chains]
                paths = [c[2] + p for c, (_, p) in zip(chains, items)]
                if len(set(names)) == 1:
                    return self.values(Expr(f, first, first + 1), paths, ctx)
                func = ctx.func
                if func and all(n in func.param_names() and not self.changed(func, n) for n in names):
                    return self.param_values(names, paths, ctx)
        parts = [self.values(x, [p], ctx) for x, p in items]
        return {sum(combo, ()) for combo in itertools.product(*parts)}

    def single(self, expr, ctx):
        return {t[0] for t in self.values(expr, [()], ctx)}

    def values(self, expr, paths, ctx):
        """The value tuples expr can have: one value per field path, () being expr itself."""
        f, s, e = strip(expr)
        n = len(paths)
        if s >= e:
            raise Unfollowed(f, s, "an empty expression")
        if ctx.func is not None:
            passed = self.pass_through.get((f.path, ctx.func.name, f.source(s, e)))
            if passed is not None:
                return {(Text.literal(t, f.where(s)),) * n for t in passed}
        q = f.find(s, e, ("?",))
        if q >= 0:
            colon = ternary_colon(f, q + 1, e)
            either = [Expr(f, q + 1, colon, expr.hint), Expr(f, colon + 1, e, expr.hint)]
            return self.values(either[0], paths, ctx) | self.values(either[1], paths, ctx)
        plus = [i for i in f.top(s + 1, e) if f.text(i) == "+" and operand_end(f, i - 1)]
        if plus:
            need_text(f, s, paths)
            parts = [self.single(Expr(f, a, b), ctx) for a, b in zip([s] + [i + 1 for i in plus], plus + [e])]
            if any(None in p for p in parts):
                raise Unfollowed(f, s, "a null pointer in a concatenation")
            return {(sum(combo[1:], combo[0]),) * n for combo in itertools.product(*parts)}
        for i in f.top(s, e):
            if f.text(i) in ("==", "!=", "<=", ">=", "&&", "||", "=", "|", "&", "-", "<", "!"):
                if not (f.text(i) == "<" and is_template_call(f, i - 1)):
                    raise Unfollowed(f, s, f"`{f.source(s, e)}` is no text")
        tok = f.toks[s]
        if tok.kind == "str" and e == s + 1:
            need_text(f, s, paths)
            return {(Text.literal(tok.text, f.where(s)),) * n}
        if tok.text in ("nullptr", "NULL") and e == s + 1:
            return {(None,) * n}
        if tok.text == "{" and f.pair[s] == e - 1:
            return self.braced(f, s, expr.hint, f.split(s + 1, e - 1), paths, ctx)
        if tok.text == "*" and tok.kind == "op":
            return self.values(Expr(f, s + 1, e, expr.hint), paths, ctx)
        return self.postfix(Expr(f, s, e, expr.hint), paths, ctx)

    def postfix(self, expr, paths, ctx):
        """A name with calls, members and subscripts after it."""
        f, s, e = expr.file, expr.s, expr.e
        if f.toks[s].kind != "id":
            raise Unfollowed(f, s, f"`{f.source(s, e)}` is no text the check can follow")
        i = s + 1
        while f.text(i) == "::" and f.toks[i + 1].kind == "id":
            i += 2
        name_i, ops = i - 1, []
        if f.text(i) == "<" and is_template_call(f, name_i):
            close = f.find(i, e, (">",))
            if f.text(close + 1) == "(" and f.pair[close + 1] == e - 1 and f.text(name_i) in MAKERS:
                return self.braced(f, close + 1, type_of(f, i + 1, close), f.split(close + 2, e - 1), paths, ctx)
            if f.text(close + 1) == "(" and f.pair[close + 1] == e - 1:
                return self.values(Expr(f, close + 2, e - 1, expr.hint), paths, ctx)
        while i < e:
            if f.text(i) in ("(", "[", "{"):
                ops.append((f.text(i), i))
                i = f.pair[i] + 1
            elif f.text(i) in (".", "->") and f.toks[i + 1].kind == "id":
                ops.append((".", i + 1))
                i += 2
            else:
                raise Unfollowed(f, i, f"`{f.source(s, e)}` is no text the check can follow")
        while len(ops) >= 2 and ops[-2][0] == "." and f.text(ops[-2][1]) == "c_str" and ops[-1][0] == "(":
            ops = ops[:-2]  # the same text
        if len(ops) == 1 and ops[0][0] == "{":  # T{...}
            at = ops[0][1]
            return self.braced(f, at, f.text(name_i), f.split(at + 1, f.pair[at]), paths, ctx)
        calls = [k for k, (kind, _) in enumerate(ops) if kind == "("]
        after = ops[calls[-1] + 1 :] if calls else ops
        if any(kind == "{" for kind, _ in after):
            raise Unfollowed(f, s, f"`{f.source(s, e)}` is no text the check can follow")
        paths = [tuple("[]" if kind == "[" else f.text(at) for kind, at in after) + p for p in paths]
        if not calls:
            if f.text(s) == "this" and ops:
                return self.name_values(f, ops[0][1], [p[1:] for p in paths], ctx)
            qualifier = f.text(name_i - 2) if name_i != s and f.text(s) != "std" else None
            return self.name_values(f, name_i, paths, ctx, qualifier)
        k = calls[-1]
        args = [Expr(f, a, b) for a, b in f.split(ops[k][1] + 1, f.pair[ops[k][1]])]
        if k == 0:
            qualifier = f.text(name_i - 2) if name_i != s else None
            return self.call_values(f, name_i, False, qualifier, args, paths, ctx)
        if ops[k - 1][0] == ".":
            return self.call_values(f, ops[k - 1][1], True, None, args, paths, ctx)
        raise Unfollowed(f, ops[k][1], "a call of something the check cannot name")

    def braced(self, f, at, hint, parts, paths, ctx):
        """A braced list at `at` (or the arguments of make_shared) of the element ranges parts: a
        string's text, a table's rows, or the fields in order of the struct hint names."""
        elements = [Expr(f, a, b, hint) for a, b in parts]
        if all(p == () for p in paths):
            if len(elements) > 1:
                raise Unfollowed(f, at, "a braced list of several texts")
            if not elements:
                return {(Text.literal("", f.where(at)),) * len(paths)}
            return self.values(elements[0], paths, ctx)
        if all(p[:1] == ("[]",) for p in paths):
            rows = set()
            for element in elements:
                rows |= self.joint([(element, p[1:]) for p in paths], ctx)
            return rows
        items, blank = [], []  # blank: the paths of fields left out with no default, no text
        designated = any(f.text(x.s) == "." for x in elements)
        for which, p in enumerate(paths):
            if not p or p[0] == "[]":
                raise Unfollowed(f, at, "a braced list read both whole and by its fields")
            cls = self.struct_for(Expr(f, at, at + 1, hint), p[0])
            if cls.has_constructor:
                raise Unfollowed(f, at, f"{cls.name} is made by a constructor")
            index = [v.name for v in cls.fields].index(p[0])
            field = cls.fields[index]
            named = [x for x in elements if [f.text(x.s + k) for k in range(3)] == [".", p[0], "="]]
            if named:
                items.append((Expr(f, named[0].s + 3, named[0].e, field.hint), p[1:]))
            elif index < len(elements) and not designated:
                items.append((Expr(f, elements[index].s, elements[index].e, field.hint), p[1:]))
            elif field.init is not None:
                items.append((field.init, p[1:]))
            elif p[1:]:
                raise Unfollowed(f, at, f"`{p[0]}` is left out")
            else:
                blank.append(which)
        empty = Text.literal("", f.where(at))
        rows = map(iter, self.joint(items, ctx))  # each row's values go, in order, to the paths not blank
        return {tuple(empty if k in blank else next(row) for k in range(len(paths))) for row in rows}

    def struct_for(self, expr, field):
        classes = self.program.classes
        if expr.hint in classes and classes[expr.hint].field(field):
            return classes[expr.hint]
        owners = [c for c in classes.values() if c.field(field)]
        if len(owners) != 1:
            raise Unfollowed(expr.file, expr.s, f"which struct's `{field}` this braced list fills")
        return owners[0]

    # Names -----------------------------------------------------------------------------------

    def name_values(self, f, i, paths, ctx, qualifier=None):
        name, func = f.text(i), ctx.func
        if func is not None and qualifier is None and self.program.is_local(func, name):
            key = ("local", id(func), name, id(ctx), tuple(paths))
            return self.guarded(key, lambda: self.local_values(func, name, paths, ctx, key))
        cls = qualifier or (func.cls if func else None)
        if cls in self.program.classes and self.program.classes[cls].field(name):
            return self.member_values(cls, name, paths)
        candidates = [v for v in self.program.globals.get(name, []) if v.file is f or not v.local]
        if candidates:
            same = [v for v in candidates if v.file is f]
            return self.global_values((same or candidates)[0], paths)
        if name in self.program.strings and all(p == () for p in paths):
            return {(Text.literal(self.program.strings[name], f.where(i)),) * len(paths)}
        if name in self.program.functions:
            raise Unfollowed(f, i, f"`{name}` is a function used as a value")
        raise Unfollowed(f, i, f"`{name}` is not defined in the program's code")

    def global_values(self, var, paths):
        key = ("global", var.file.path, var.name, tuple(paths))
        writers = [] if var.constant else [fn for fns in self.program.functions.values() for fn in fns]
        writers = [fn for fn in writers if fn.file is var.file or not var.local]
        return self.memoized(key, lambda: self.shared_values(var, var.name, paths, writers, key))

    def member_values(self, cls, name, paths):
        key = ("member", cls, name, tuple(paths))
        writers = [fn for fns in self.program.functions.values() for fn in fns if fn.cls == cls]
        var = self.program.classes[cls].field(name)
        return self.memoized(key, lambda: self.shared_values(var, name, paths, writers, key))

    def shared_values(self, var, name, paths, writers, key):
        """A variable many functions can write: its initial value, and what each of them gives it."""
        found = self.initial_values(var, paths)
        for fn in writers:
            if not self.program.is_local(fn, name):
                found = found | self.flow(fn, name, paths, Context(fn, fn.file), set(), var.buffer, key, found)
        return found

    def initial_values(self, var, paths):
        if var.init is not None:
            return self.values(Expr(var.file, var.init.s, var.init.e, var.hint), paths, Context(None, var.file))
        if var.is_string():
            return {(Text.literal("", var.file.where(var.type_s)),) * len(paths)}
        return set()

    def param_values(self, names, paths, ctx):
        """Parameters of ctx's function: the arguments of its call, or of every call site."""
        func = ctx.func
        indexes = [func.param_names().index(n) for n in names]
        if ctx.args is not None:
            bound = [self.argument(func, ctx.args, k, ctx.caller) for k in indexes]
            if len({id(c) for _, c in bound}) == 1:
                return self.joint([(x, p) for (x, _), p in zip(bound, paths)], bound[0][1])
            parts = [self.values(x, [p], c) for (x, c), p in zip(bound, paths)]
            return {sum(combo, ()) for combo in itertools.product(*parts)}

        if not self.inserting:
            self.box_functions.setdefault(func.label(), func.file.path)

        def compute():
            for f, i in self.program.uses.get(func.name, []):
                if f.text(i - 1) not in (".", "->") or func.cls:
                    raise Unfollowed(f, i, f"{func.name} is named without a call here: its callers are unknown")
            found = set()
            for call in self.call_sites(func):
                try:
                    caller = Context(call.func, call.file)
                    bound = [self.argument(func, call.args, k, caller) for k in indexes]
                    found |= self.joint([(x, p) for (x, _), p in zip(bound, paths)], caller)
                except Unfollowed as error:
                    self.record(error)
            return found

        return self.memoized(("param", id(func), tuple(names), tuple(paths)), compute)

    def argument(self, func, args, index, caller):
        """The expression a call gives for a parameter, with the context to read it in."""
        if index < len(args):
            return args[index], caller
        default = func.params[index].default or self.program.defaults.get((func.name, index))
        if default is None:
            raise Unfollowed(func.file, func.body[0], f"a call of {func.name} without argument {index + 1}")
        return default, Context(None, default.file)

    def call_sites(self, func):
        for call in self.program.calls.get(func.name, []):
            if func.local and call.file is not func.file or call.method and func.cls is None:
                continue
            if call.qualifier and func.cls and call.qualifier not in (func.cls, "this"):
                continue
            if len(call.args) <= len(func.params) or func.variadic:
                yield call

    def call_values(self, f, i, method, qualifier, args, paths, ctx):
        name = f.text(i)
        if name in FORMATTERS and not method:
            need_text(f, i, paths)
            return {(t,) * len(paths) for t in self.format(f, i, args, FORMATTERS[name], ctx)}
        if name == "Text" and not method and qualifier is None:
            # A string table entry by its id; the values it takes may be any text.
            need_text(f, i, paths)
            if not args:
                raise Unfollowed(f, i, "Text without an id")
            found = set()
            for entry in self.single(args[0], ctx):
                if entry is None:
                    raise Unfollowed(f, i, "Text of an id the check cannot tell")
                filled = PLACEHOLDER.sub(lambda m: "%" if m.group() == "%%" else HOLE, entry.full)
                found.add((Text.literal(filled, entry.where),) * len(paths))
            return found
        if name in ("wstring", "basic_string", "move", "MAKEINTRESOURCEW", "MAKEINTRESOURCE") and not method:
            if len(args) > 1:
                raise Unfollowed(f, i, f"`{name}` of several arguments")
            return self.values(args[0], paths, ctx) if args else {(Text.literal("", f.where(i)),) * len(paths)}
        candidates = [
            fn
            for fn in self.program.functions.get(name, [])
            if (not fn.local or fn.file is f)
            and (fn.cls is not None or not method)
            and (qualifier is None or fn.cls in (qualifier, None))
            and (len(args) <= len(fn.params) or fn.variadic)
        ]
        if not candidates:
            raise Unfollowed(f, i, f"`{name}` is not one of the program's functions")
        found = set()
        for fn in candidates:
            callee = Context(fn, fn.file, args, ctx)

            def compute():
                return set().union(*(self.values(r, paths, callee) for r in returns(fn)))

            found |= self.guarded(("returns", id(fn), f.path, i, tuple(paths)), compute)
        return found

    def format(self, f, i, args, index, ctx):
        """The texts of a printf-style call; the texts %ls inserts are followed where they can be."""
        if index >= len(args):
            raise Unfollowed(f, i, "a format call without its format")
        results = set()
        for fmt in self.single(args[index], ctx):
            if fmt is None:
                continue
            pieces, arg, last = [], index + 1, 0  # each piece: the texts it can be
            for m in CONVERSION.finditer(fmt.full):
                pieces.append([Text.literal(fmt.full[last : m.start()], fmt.where)])
                last = m.end()
                if m.group() == "%%":
                    pieces.append([Text.literal("%", fmt.where)])
                    continue
                arg += (m.group(1) == "*") + (m.group(2) == "*")
                inserted = self.inserted(args[arg], ctx) if m.group(3) in "sS" and arg < len(args) else None
                hole = Text.literal(HOLE, fmt.where)
                pieces.append([Text(t.full, HOLE, (t,), fmt.where) for t in inserted] if inserted else [hole])
                arg += 1
            pieces.append([Text.literal(fmt.full[last:], fmt.where)])
            results |= {sum(combo[1:], combo[0]) for combo in itertools.product(*pieces)}
        return results

    def inserted(self, expr, ctx):
        """The texts an argument inserts, or None when the check cannot tell them all."""
        before = len(self.errors)
        self.inserting += 1
        try:
            texts = self.single(expr, ctx)
        except Unfollowed:
            texts = None
        finally:
            self.inserting -= 1
        if len(self.errors) > before:
            del self.errors[before:]
            return None
        return None if not texts or None in texts else texts

    # Locals: declarations, assignments and the calls that write them --------------------------

    def changed(self, func, name):
        """Whether func may change its parameter name (a platform call can change buffers only)."""
        buffer = func.params[func.param_names().index(name)].out
        touched = self.program.occurrences(func, name)
        return any(kind not in ("read", "declare", "buffer") or kind == "buffer" and buffer for kind, _, _ in touched)

    def local_values(self, func, name, paths, ctx, key):
        param = name in func.param_names()
        start = self.param_values([name] * len(paths), paths, ctx) if param else set()
        buffer = param and func.params[func.param_names().index(name)].out
        return self.flow(func, name, paths, ctx, start, buffer, key)

    def flow(self, func, name, paths, ctx, found, buffer, key=None, known=frozenset()):
        """What name holds in func: assignments are alternatives, appends apply to all before, a
        write of some fields is one more alternative with the other fields as they were.
        known: what other functions give it, for a text that refers to itself (key)."""
        n = len(paths)
        for kind, expr, extra in self.program.occurrences(func, name):
            if key is not None:
                self.partial[key] = known | found
            if kind == "declare":
                buffer = extra
            elif kind == "set":
                found = found | self.values(expr, [extra + p for p in paths], ctx)
            elif kind == "empty":
                found = found | {(Text.literal("", expr.file.where(expr.s)),) * n}
            elif kind == "format":
                need_text(expr.file, expr.s, paths)
                found = found | {(t,) * n for t in self.format(expr.file, expr.s, extra, 0, ctx)}
            elif kind == "append":
                need_text(expr.file, expr.s, paths)
                tails = self.single(expr, ctx)
                found = {(head + tail,) * n for (head, *_) in found for tail in tails if None not in (head, tail)}
            elif kind == "out":
                found = found | self.out_values(extra, paths, ctx)
            elif kind == "element":
                if not all(p[:1] == ("[]",) for p in paths):
                    raise Unfollowed(expr.file, expr.s, f"`{name}` is changed by `{name}.{extra}`")
                found = found | self.values(expr, [p[1:] for p in paths], ctx)
            elif kind == "default" and any(paths) and expr.hint in self.program.classes:
                found = found | self.braced(expr.file, expr.s, expr.hint, [], paths, ctx)
            elif kind == "field":
                found = found | self.field_values(expr, name, extra, paths, ctx, found or known)
            elif kind == "buffer" and buffer:
                raise Unfollowed(expr.file, expr.s, f"`{name}` is written by {extra}")
            elif kind == "unknown":
                raise Unfollowed(expr.file, expr.s, f"`{name}` {extra}")
        return found

    def is_buffer_field(self, field):
        """Whether a field of that name (or an element) may be a buffer the platform fills."""
        fields = [v for c in self.program.classes.values() for v in c.fields if v.name == field]
        return field == "[]" or any(v.buffer for v in fields)

    def out_values(self, outs, paths, ctx):
        """What the program's functions write into an out parameter: outs [(callee, index, args)]."""
        found = set()
        for callee, index, args in outs:
            inner = Context(callee, callee.file, args, ctx)
            key = ("out", id(callee), index, tuple(paths))
            found |= self.guarded(key, lambda: self.flow(callee, callee.params[index].name, paths, inner, set(), True))
        return found

    def field_values(self, here, name, write, paths, ctx, before):
        """What a write of some of name's fields adds, the others kept from before."""
        chain, how, what = write
        if any(p and len(p) < len(chain) and chain[: len(p)] == p for p in paths):
            raise Unfollowed(here.file, here.s, f"`{name}` is filled field by field")  # read whole, written in parts
        hit = [k for k, p in enumerate(paths) if p[: len(chain)] == chain]
        if not hit:
            return set()
        if how == "buffer" and not self.is_buffer_field(chain[-1]):
            return set()  # a string field: the platform only reads it
        if how in ("change", "buffer"):
            raise Unfollowed(here.file, here.s, f"`{name}` {what}")
        rest = [paths[k][len(chain) :] for k in hit]
        new = self.values(what, rest, ctx) if how == "set" else self.out_values(what, rest, ctx)
        if len(hit) == len(paths):
            return new
        if not before:
            raise Unfollowed(here.file, here.s, f"`{name}` is filled field by field")  # the other fields unknown
        mixed = itertools.product(before, new)
        return {tuple(v[hit.index(k)] if k in hit else old[k] for k in range(len(paths))) for old, v in mixed}


def strip(expr):
    """(file, start, end) of the expression without enclosing parentheses and C-style casts."""
    f, s, e = expr.file, expr.s, expr.e
    while s < e and f.text(s) == "(":
        if f.pair.get(s) == e - 1:
            s, e = s + 1, e - 1
        elif f.pair.get(s, e) < e - 1 and all(t.kind == "id" or t.text in "*&::" for t in f.toks[s + 1 : f.pair[s]]):
            s = f.pair[s] + 1
        else:
            break
    return f, s, e


def field_chain(expr):
    """(file, index of the variable, fields read) of `name`, `name.a.b` or `name.c_str()`."""
    f, s, e = strip(expr)
    if e - s >= 5 and [f.text(i) for i in range(e - 4, e)] == [".", "c_str", "(", ")"]:
        e -= 4
    if f.toks[s].kind != "id" or f.text(s) in ("this", "nullptr", "NULL"):
        return None
    fields, i = [], s + 1
    while i + 1 < e and f.text(i) in (".", "->") and f.toks[i + 1].kind == "id":
        fields.append(f.text(i + 1))
        i += 2
    return (f, s, tuple(fields)) if i == e else None


def ternary_colon(f, i, e):
    depth = 0
    for j in f.top(i, e):
        if f.text(j) == "?":
            depth += 1
        elif f.text(j) == ":":
            if depth == 0:
                return j
            depth -= 1
    raise Unfollowed(f, i, "a conditional without its second choice")


def is_template_call(f, i):
    """Whether the name at i takes template arguments the check reads: a cast, make_shared."""
    return (f.text(i) or "").endswith("_cast") or f.text(i) in MAKERS


def operand_end(f, i):
    return f.toks[i].kind in ("id", "str", "num", "char") or f.text(i) in (")", "]")


def need_text(f, i, paths):
    if any(paths):
        raise Unfollowed(f, i, "a field read from a text")


# ----------------------------------------------------------------------------------------------
# The guide's table.


@dataclass
class Row:
    line: str  # what the reader sees of the whole row
    cells: list


def table_rows(guide_text):
    start = guide_text.find(TABLE_HEADING)
    if start < 0:
        return []
    end = guide_text.find("\n## ", start + len(TABLE_HEADING))
    rows = []
    for line in guide_text[start : end if end >= 0 else len(guide_text)].splitlines():
        if line.startswith("|"):
            cells = [clean(c) for c in re.split(r"(?<!\\)\|", line.strip())[1:-1]]
            rows.append(Row(clean(line), cells + [""] * (2 - len(cells))))
    return rows


def clean(cell):
    """What the reader sees: no code marks, table bars unescaped, breaks as spaces."""
    return cell.replace("`", "").replace(r"\|", "|").replace("<br>", " ").strip()


def pattern(text):
    """A text as a pattern: holes and line breaks match any text."""
    return re.compile(".*?".join(re.escape(piece.strip()) for piece in re.split(r"\r?\n|" + HOLE, text)), re.S)


def has_row(text, caption, rows):
    for row in rows:
        if caption is not None and not pattern(caption.full).fullmatch(row.cells[1]):
            continue
        if pattern(text.full).fullmatch(row.cells[0]):
            return True
        if text.inserts and pattern(text.shape).fullmatch(row.cells[0]) and all(listed(t, rows) for t in text.inserts):
            return True
    return False


def listed(text, rows):
    """An inserted text has a row of its own."""
    if not text.full.strip() or any(pattern(text.full).search(row.line) for row in rows):
        return True
    return bool(text.inserts) and any(pattern(text.shape).search(row.line) for row in rows) and all(
        listed(t, rows) for t in text.inserts
    )


def readable(text):
    return text.full.replace(HOLE, "…").replace("\r\n", "\\n").replace("\n", "\\n")


def without_recorded_only(text, dead):
    """`text` without the inserted texts that no box can show."""
    inserts = tuple(without_recorded_only(t, dead) for t in text.inserts if t.full not in dead)
    return Text(text.full, text.shape, inserts, text.where)


def showable_texts(shown):
    """Every text a box or the progress line can show, and every text inserted into one."""
    texts, stack = [], [t for t, _ in shown if t is not None]
    while stack:
        text = stack.pop()
        texts.append(text)
        stack.extend(text.inserts)
    return texts


def code_literals(program):
    """path -> the string literals of that file (literals written in a row joined)."""
    return {f.path: {t.text for t in f.toks if t.kind == "str"} for f in program.files}


# The first column's heading of the guide's tables whose rows are texts the program shows: the
# messages, and the texts they insert (reasons, and what a connection records).
MESSAGE_COLUMN = "メッセージ"
INSERT_COLUMNS = {"理由", "文言"}


def guide_message_cells(guide_text):
    """(line number, a message's row, text) of every row of the message section's tables of texts."""
    start = guide_text.find(TABLE_HEADING)
    if start < 0:
        return []
    end = guide_text.find("\n## ", start + len(TABLE_HEADING))
    first_line = guide_text.count("\n", 0, start) + 1
    cells, header = [], None
    for number, line in enumerate(guide_text[start : end if end >= 0 else None].splitlines(), first_line):
        if not line.startswith("|"):
            header = None
            continue
        cell = clean(re.split(r"(?<!\\)\|", line.strip())[1])
        if header is None:
            header = cell
        elif (header == MESSAGE_COLUMN or header in INSERT_COLUMNS) and not cell.startswith("---"):
            cells.append((number, header == MESSAGE_COLUMN, cell))
    return cells


def unshowable_rows(cells, shown, literals, dead, strings):
    """Rows of the guide that name a text the program cannot show: a message no box shows, or
    an inserted text that no box shows and the code makes nowhere (or only records)."""
    texts = showable_texts(shown)
    shown_patterns = {pattern(t.full) for t in texts} | {pattern(t.shape) for t in texts if t.inserts}
    made = {pattern(CONVERSION.sub(HOLE, t)) for ts in literals.values() for t in ts if t.strip() and t not in dead}
    made |= {pattern(PLACEHOLDER.sub(HOLE, t)) for t in strings.values() if t.strip()}
    problems = []
    for number, message, cell in cells:
        if any(p.fullmatch(cell) for p in shown_patterns):
            continue
        if not message and any(p.fullmatch(cell) for p in made):
            continue  # inserted where the check sees only a hole
        problems.append(f"docs/guide/index.md:{number}: the guide names a text the program cannot show: {cell!r}")
    return problems


def check(program, rows, cells=None):
    """The problems (texts not followed, texts without a row, rows without a text), the shown
    texts, the box functions."""
    resolver = Resolver(program)
    found = resolver.shown()
    dead = {text for (_, text) in RECORDED_ONLY}
    shown = {(without_recorded_only(t, dead) if t is not None else None, c) for t, c in found}
    shown = {(t, c) for t, c in shown if t is None or t.full not in dead}
    problems, missing = resolver.errors, set()
    literals = code_literals(program)
    for path, text in RECORDED_ONLY:
        if path in literals and text not in literals[path]:
            problems.append(f"{path}: no longer records {text!r}: take it from RECORDED_ONLY")
    if cells is not None:
        problems = problems + unshowable_rows(cells, shown, literals, dead, program.strings)
    for text, caption in shown:
        if text is not None and text.full.strip() and not text.full.replace(HOLE, "").strip():
            problems.append(f"{text.where}: cannot follow a message's text: it is all inserted by a format")
        if text is None or not text.full.strip() or has_row(text, caption, rows):
            continue
        with_caption = f" with the caption {caption.full!r}" if caption is not None else ""
        missing.add(f"{text.where}: no row in the guide's message table for {readable(text)!r}{with_caption}")
    return problems + sorted(missing), shown, resolver.box_functions


# The layout check's boxes: every message of the table with long, realistic values in its
# conversions (a path deep in Japanese folders; for the connection check, its longest reason).
SAMPLE_PATH = "C:\\users\\tavrin\\Documents\\地図の設定\\今の地図サービス\\today_maps.ini"


def layout_samples(guide_text):
    """(caption, shown on a screen rather than in a box, text with <br> for its line breaks)."""
    section = guide_text[guide_text.find(TABLE_HEADING) :]
    end = section.find("\n## ", 1)
    tables, header = {}, None
    for line in section[: end if end >= 0 else None].splitlines():
        if not line.startswith("|"):
            header = None
            continue
        cells = [c.strip().strip("`").replace(r"\|", "|") for c in re.split(r"(?<!\\)\|", line.strip())[1:-1]]
        if header is None:
            header = cells[0]
        elif not cells[0].startswith("---"):
            tables.setdefault(header, []).append(cells)

    def fill(text, name):
        kinds = {"s": name, "S": name, "x": "00002ee2", "X": "00002ee2", "p": "00002ee2", None: "%"}
        return CONVERSION.sub(lambda m: kinds.get(m.group(3), "12"), text)

    reason = max((cells[0] for cells in tables.get("理由", [])), key=len, default="")
    samples = []
    for text, heading, *_ in tables.get("メッセージ", []):
        caption, screen, _ = heading.partition("（")
        name = SAMPLE_PATH
        if "dwStats" in text:
            name = reason
        elif "LoadLibraryEx" in text:
            name = "comctl32.dll"
        elif "接続を開始" in text:
            name = "https://carrier-lookup.example.jp/loc1/location"
        samples.append((caption, bool(screen), fill(text, name)))
    return samples


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    if argv[1:2] == ["--layout-samples"]:  # GUIDE OUT: one "caption<TAB>box|screen<TAB>text" a line
        samples = layout_samples(pathlib.Path(argv[2]).read_text(encoding="utf-8"))
        lines = (f"{c}\t{'screen' if s else 'box'}\t{t}\n" for c, s, t in samples)
        pathlib.Path(argv[3]).write_text("".join(lines), encoding="utf-8")
        return 0 if samples else 1
    root = pathlib.Path(argv[1] if len(argv) > 1 else ".")
    sources = {}
    for d in CODE_DIRS:
        for path in sorted((root / d).rglob("*")):
            if path.suffix in (".cpp", ".h"):
                sources[path.relative_to(root).as_posix()] = path.read_text(encoding="utf-8")
    strings = resource_strings((root / "resources" / "tavrin.rc").read_text(encoding="utf-8"))
    rows = table_rows((root / "docs" / "guide" / "index.md").read_text(encoding="utf-8"))
    if not rows:
        print(f"docs/guide/index.md: no table under {TABLE_HEADING}")
        return 1
    guide_text = (root / "docs" / "guide" / "index.md").read_text(encoding="utf-8")
    problems, shown, box_functions = check(Program(sources, strings), rows, guide_message_cells(guide_text))
    for problem in problems:
        print(problem)
    texts = {t.full for t, _ in shown if t is not None and t.full.strip()}
    print(f"box functions found: {', '.join(sorted(box_functions))}")
    print(f"{len(texts)} message texts, {len(problems)} problems")
    return 1 if problems else 0


# ----------------------------------------------------------------------------------------------
# Self-tests of the resolver and the matching, on small programs.


def self_test():
    import unittest

    guide = """## メッセージ一覧
| メッセージ | 見出し | いつ | どう |
|---|---|---|---|
| `A` | Error | | |
| `B` | 警告 | | |
| `C %ls done` | Error | | |
| `接続に失敗しました。<br>%ls(0x%08x)` | Error | | |
| `x \\| y` | Error | | |
| `reason one` | | | |
"""
    rows = table_rows(guide)
    box = (
        "int ShowMessageBox(HWND o, const std::wstring& text, const std::wstring& caption, UINT s)\n"
        "{ return MessageBoxW(o, text.c_str(), caption.c_str(), s); }\n"
    )

    def run(code, more=None):
        sources = {"a.cpp": box + code, **(more or {})}
        problems, shown, functions = check(Program(sources, {"IDS_A": "A", "IDS_B": "B %1 of 100%%"}), rows)
        return problems, {(readable(t), c and c.full) for t, c in shown if t is not None}, functions

    class ResolverTest(unittest.TestCase):
        def test_texts_are_followed(self):
            error_a = {("A", "Error")}
            cases = [
                ("a literal", 'void F() { ShowMessageBox(0, L"A", L"Error", 0); }', error_a),
                ("a raw literal", 'void F() { ShowMessageBox(0, LR"x(A)x", L"Error", 0); }', error_a),
                ("code in comments is no box", '// ShowMessageBox(0, L"X", L"Error", 0);\n'
                 '/* MessageBoxW(0, L"Y", 0, 0); */\n#define S(t) ShowMessageBox(0, t, L"Error", 0)\n', set()),
                ("wrappers at any depth",
                 'namespace { void E(const wchar_t* t) { ShowMessageBox(0, t, L"Error", 0); } }'
                 'void W(const std::wstring& t) { E(t.c_str()); } void F() { W(L"A"); }', error_a),
                ("a default argument of a declaration",
                 'void Tell(const wchar_t* t = L"A");'
                 'void Tell(const wchar_t* t) { ShowMessageBox(0, t, L"Error", 0); } void F() { Tell(); }', error_a),
                ("constants, locals and a conditional",
                 'const wchar_t kA[] = L"A"; void F(bool x) { std::wstring t = x ? kA : L"B"; '
                 'ShowMessageBox(0, t, L"警告", 0); }', {("A", "警告"), ("B", "警告")}),
                ("appends, and a text that refers to itself",
                 'void F(bool x) { std::wstring t = L"A"; t += L"B"; if (x) t = t + L"C"; '
                 'ShowMessageBox(0, t, L"Error", 0); }', {("AB", "Error"), ("ABC", "Error")}),
                ("a format with an inserted literal, through a helper",
                 'std::wstring T(const wchar_t* c) { return Format(L"%ls done", c); }'
                 'void F() { ShowMessageBox(0, L"C " + T(L"x"), L"Error", 0); }', {("C x done", "Error")}),
                ("a recursive helper",
                 'std::wstring R(int n) { return n > 0 ? R(n - 1) : std::wstring(L"A"); }'
                 'void F() { ShowMessageBox(0, R(3), L"Error", 0); }', error_a),
                ("struct rows keep text and caption together",
                 "struct D { int a; const wchar_t* text; const wchar_t* cap; };"
                 'D Pick(int k) { if (k) return D{1, L"A", L"Error"}; return {2, L"B", L"警告"}; }'
                 "void Show(const D& d) { ShowMessageBox(0, d.text, d.cap, 0); } void F() { Show(Pick(1)); }"
                 "void G(int k) { const D d = Pick(k); ShowMessageBox(0, d.text, d.cap, 0); }",
                 {("A", "Error"), ("B", "警告")}),
                ("designated and defaulted fields",
                 'struct D { const wchar_t* text; const wchar_t* cap = L"Error"; };'
                 'void F() { D d{.text = L"A"}; ShowMessageBox(0, d.text, d.cap, 0); }', error_a),
                ("a table read in a loop",
                 'struct R { const wchar_t* t; }; const R kRows[] = {{L"A"}, {L"B"}};'
                 'void F() { for (const R& r : kRows) ShowMessageBox(0, r.t, L"Error", 0); }',
                 {("A", "Error"), ("B", "Error")}),
                ("a table of an unnamed struct, indexed",
                 "void F(int k) { static const struct { int k; const wchar_t* t; } kRows[] = "
                 '{{1, L"A"}, {2, L"B"}}; ShowMessageBox(0, kRows[k].t, L"Error", 0); }',
                 {("A", "Error"), ("B", "Error")}),
                ("an out parameter filled from a resource string",
                 "void Get(std::wstring& out) { wchar_t b[9]; LoadStringW(0, IDS_A, b, 9); out = b; }"
                 'void F() { std::wstring t; Get(t); ShowMessageBox(0, t, L"Error", 0); }',
                 {("", "Error"), ("A", "Error")}),
                ("a resource string loaded by a helper",
                 "std::wstring Load(UINT id) { wchar_t b[64]; LoadStringW(0, id, b, 64); return b; }"
                 'void F() { ShowMessageBox(0, Load(IDS_A), L"Error", 0); }', error_a),
                ("string table entries by id, their values any text",
                 'void F(int k) { ShowMessageBox(0, k ? Text(IDS_A) : Text(IDS_B, {L"x"}), L"Error", 0); }',
                 {("A", "Error"), ("B … of 100%", "Error")}),
                ("a member set through a method",
                 "class K : public Base { public: void Set(const wchar_t* t) { m_t = t; } std::wstring m_t; };"
                 'void F(K& k) { k.Set(L"A"); } void G(K& k) { ShowMessageBox(0, k.Get(), L"Error", 0); }'
                 "std::wstring K::Get() { return m_t; }", {("", "Error"), ("A", "Error")}),
                ("a member set by a constructor",
                 'class K { public: K() : m_t(L"A") {} void Show() { ShowMessageBox(0, this->m_t, L"Error", 0); }'
                 " private: std::wstring m_t; };", {("", "Error"), ("A", "Error")}),
                ("an argument the check cannot follow is a hole",
                 "void F(HWND w) { wchar_t n[9]; GetWindowTextW(w, n, 9); "
                 'ShowMessageBox(0, Format(L"C %ls done", n), L"Error", 0); }', {("C … done", "Error")}),
                ("a global another function sets",
                 'std::wstring g_t; void Set() { g_t = L"A"; } void F() { ShowMessageBox(0, g_t, L"Error", 0); }',
                 {("", "Error"), ("A", "Error")}),
                ("writers",
                 'void F() { wchar_t b[9]; wcscpy(b, L"A"); std::wstring t; FormatString(t, L"C %ls done", L"x");'
                 ' std::wstring u; u.assign(L"B"); ShowMessageBox(0, b, L"Error", 0);'
                 ' ShowMessageBox(0, t, L"Error", 0); ShowMessageBox(0, u, L"警告", 0); }',
                 {("A", "Error"), ("", "Error"), ("C x done", "Error"), ("", "警告"), ("B", "警告")}),
                ("casts, std::wstring() and a static member function",
                 'class K { public: static const wchar_t* Text() { return L"A"; } };'
                 'void F() { ShowMessageBox(0, std::wstring(static_cast<const wchar_t*>(K::Text())) + std::wstring(),'
                 ' L"Error", 0); }', error_a),
                ("a platform box called directly", 'void F() { MessageBoxW(0, L"A", L"Error", MB_OK); }', error_a),
                ("a struct filled field by field", "struct D { const wchar_t* text; };\nvoid F() { D d{};\n"
                 ' d.text = L"A"; ShowMessageBox(0, d.text, L"Error", 0); }', {("", "Error"), ("A", "Error")}),
                ("a request filled field by field keeps its other fields",
                 'struct R { const wchar_t* cap = L"Error"; std::wstring text; int n = 0; };'
                 "void Show(const R& r) { ShowMessageBox(0, r.text, r.cap, 0); }"
                 'void F() { R r; r.n = 1; r.text = Format(L"C %ls done", L"x"); Show(r); }',
                 {("", "Error"), ("C x done", "Error")}),
                ("a parameter pushed into a member list, taken by a swap or a copy",
                 "class K { public: void Add(const std::wstring& t) { m_all.push_back(t); }"
                 " std::vector<std::wstring> Take() { std::vector<std::wstring> all; all.swap(m_all); return all; }"
                 " std::vector<std::wstring> Copy() { std::vector<std::wstring> all = m_all; return all; }"
                 " std::vector<std::wstring> m_all; };"
                 'void F(K& k) { k.Add(L"A"); } void G(K& k) { for (const std::wstring& t : k.Take())'
                 ' ShowMessageBox(0, t, L"Error", 0); for (const std::wstring& t : k.Copy()) Warn(t); }'
                 'void Warn(const std::wstring& t) { ShowMessageBox(0, t, L"警告", 0); }',
                 {("A", "Error"), ("A", "警告")}),
                ("fields written in a worker's lambda: assigned, or as an out parameter",
                 "struct O { bool ok = false; std::wstring error; }; std::shared_ptr<O> g_o;"
                 'void Get(std::wstring& out) { out = L"A"; } void GiveUp() { if (g_o) g_o->ok = true; g_o.reset(); }'
                 "void Start() { auto o = std::make_shared<O>(); g_o = o;"
                 " Run([o](const Task&) { std::wstring e; Get(e); o->ok = true; o->error = e; }); }"
                 'void Done() { std::shared_ptr<O> o = std::move(g_o); ShowMessageBox(0, o->error, L"Error", 0); }'
                 "void Look() { auto r = std::make_shared<O>(); Run([&r](const Task&) { Get(r->error); });"
                 ' ShowMessageBox(0, r->error, L"警告", 0); }',
                 {("", "Error"), ("A", "Error"), ("", "警告"), ("A", "警告")}),
                ("the progress dialog's text line",
                 'void F(HWND d) { HWND e = GetDlgItem(d, IDC_PROGRESS_TEXT); SetWindowTextW(e, L"A"); '
                 'SetDlgItemTextW(d, IDC_PROGRESS_TEXT, L"B"); SetWindowTextW(d, L"title"); }',
                 {("A", None), ("B", None)}),
            ]  # fmt: skip
            for name, code, expected in cases:
                with self.subTest(name):
                    problems, texts, _ = run(code)
                    self.assertEqual(texts, expected)
                    self.assertEqual([p for p in problems if "cannot follow" in p], [])

        def test_file_local_functions_stay_apart(self):
            tell = 'namespace { void Tell(const wchar_t* t) { ShowMessageBox(0, t, %s, 0); } }'
            problems, texts, _ = run(
                tell % 'L"Error"' + 'void F() { Tell(L"A"); }',
                {"b.cpp": tell % 'L"警告"' + 'void G() { Tell(L"B"); }'},
            )
            self.assertEqual(texts, {("A", "Error"), ("B", "警告")})

        def test_what_cannot_be_followed_fails_at_its_line(self):
            cases = [
                ("a platform buffer", 'void F(HWND w) {\n wchar_t b[9];\n GetWindowTextW(w, b, 9);\n'
                 ' ShowMessageBox(0, b, L"Error", 0); }', "a.cpp:5"),
                ("a pointer filled through a cast", "void F() { wchar_t* b = nullptr;\n FormatMessageW(0, 0, 0, 0,"
                 ' reinterpret_cast<LPWSTR>(&b), 0, 0); ShowMessageBox(0, b, L"Error", 0); }', "a.cpp:4"),
                ("another library's text", 'void F() {\n ShowMessageBox(0, Text(), L"Error", 0); }', "a.cpp:4"),
                ("a wrapper called through a pointer", 'void E(const wchar_t* t) { ShowMessageBox(0, t, L"Error", 0); }'
                 "\nvoid F() {\n Register(&E); }", "a.cpp:5"),
                ("a lambda's parameter", 'void F() { auto s = [](const wchar_t* t) {\n'
                 ' ShowMessageBox(0, t, L"Error", 0); }; s(L"A"); }', "a.cpp:3"),
                ("a string changed in place", 'void F() { std::wstring t = L"A";\n t.replace(0, 1, L"B");'
                 ' ShowMessageBox(0, t, L"Error", 0); }', "a.cpp:4"),
                ("a buffer changed element by element", 'void F() { wchar_t b[4] = L"A";\n b[0] = L\'B\';'
                 ' ShowMessageBox(0, b, L"Error", 0); }', "a.cpp:4"),
                ("a field changed in place", "struct D { std::wstring text; };\nvoid F() { D d{};\n"
                 ' d.text.append(L"A"); ShowMessageBox(0, d.text, L"Error", 0); }', "a.cpp:5"),
                ("a field filled by the platform", "struct D { wchar_t text[9]; };\nvoid F(HWND w) { D d{};\n"
                 ' GetWindowTextW(w, d.text, 9); ShowMessageBox(0, d.text, L"Error", 0); }', "a.cpp:5"),
                ("a field read whole, written in parts", "struct D { std::wstring text; };\nvoid F() { D d{};\n"
                 ' d.text[0] = L\'B\'; ShowMessageBox(0, d.text, L"Error", 0); }', "a.cpp:5"),
                ("a text changed by a list's member", 'void F() { std::wstring t = L"A";\n t.push_back(L\'B\');'
                 ' ShowMessageBox(0, t, L"Error", 0); }', "a.cpp:4"),
                ("a struct made by a constructor", "struct D { D(const wchar_t* t); const wchar_t* text; };\n"
                 'void F() { D d{L"A"}; ShowMessageBox(0, d.text, L"Error", 0); }', "a.cpp:4"),
                ("nothing but an inserted text", 'void F(const wchar_t* t) {\n ShowMessageBox(0, Format(L"%ls", t),'
                 ' L"Error", 0); }', "a.cpp:4"),
                ("an indirect box", "void F(MSGBOXPARAMSW* p) {\n MessageBoxIndirectW(p); }", "a.cpp:4"),
                ("a null pointer in a concatenation", "void F() { const wchar_t* p = nullptr;\n"
                 ' ShowMessageBox(0, std::wstring(L"A") + p, L"Error", 0); }', "a.cpp:4"),
            ]  # fmt: skip
            for name, code, where in cases:
                with self.subTest(name):
                    problems, _, _ = run(code)
                    self.assertTrue(any(p.startswith(where + ": cannot follow") for p in problems), problems)

        def test_a_pass_through_names_its_texts(self):
            PASS_THROUGH[("a.cpp", "F", "e.what ()")] = ["A"]
            try:
                problems, texts, _ = run('void F(const Failure& e) { ShowMessageBox(0, e.what(), L"Error", 0); }')
            finally:
                del PASS_THROUGH[("a.cpp", "F", "e.what ()")]
            self.assertEqual((problems, texts), ([], {("A", "Error")}))

        def test_box_functions_are_found(self):
            _, _, functions = run(
                'namespace { void ShowError(const std::wstring& t) { ShowMessageBox(0, t, L"Error", 0); } }'
                'void Warn(const wchar_t* t) { ShowError(t); } void F() { Warn(L"A"); }'
            )
            self.assertEqual(set(functions), {"ShowMessageBox", "ShowError", "Warn"})

        def test_texts_need_their_rows(self):
            cases = [
                ('ShowMessageBox(0, L"A", L"Error", 0)', True),
                ('ShowMessageBox(0, L"A", L"警告", 0)', False),  # the row has another caption
                ('ShowMessageBox(0, L"AB", L"Error", 0)', False),  # a row holds the whole text, not a part of it
                ('ShowMessageBox(0, L"", L"Error", 0)', True),  # an empty text is no message
                ('ShowMessageBox(0, L"x | y", L"Error", 0)', True),  # code marks and escaped bars
                ('ShowMessageBox(0, Format(L"C %d done", 1), L"Error", 0)', True),
                ('ShowMessageBox(0, Format(L"C %ls done", L"z"), L"Error", 0)', False),
                ('ShowMessageBox(0, Format(L"接続に失敗しました。\\n%ls(0x%08x)", L"reason one", 1), L"Error", 0)', True),
                ('ShowMessageBox(0, Format(L"接続に失敗しました。\\n%ls(0x%08x)", L"reason two", 1), L"Error", 0)', False),
                ('SetDlgItemTextW(0, IDC_PROGRESS_TEXT, L"Z")', False),  # the progress line: any caption
                ('SetDlgItemTextW(0, IDC_OTHER, L"Z")', True),  # not a message
            ]  # fmt: skip
            for code, passes in cases:
                with self.subTest(code):
                    problems, _, _ = run("void F() { " + code + "; }")
                    self.assertEqual(problems == [], passes, problems)
                    self.assertTrue(all("no row in the guide" in p for p in problems))

        def test_rows_name_texts_the_program_can_show(self):
            guide = (
                "## メッセージ一覧\n| メッセージ | 見出し |\n|---|---|\n| `A` | Error |\n| `Gone` | Error |\n\n"
                "| 理由 | 意味 |\n|---|---|\n| `reason %d` | |\n| `recorded` | |\n| `nowhere` | |\n"
            )
            code = (
                'std::wstring g_r; void R(int n) { g_r = Format(L"reason %d", n); g_r = L"recorded"; }'
                'void F() { ShowMessageBox(0, L"A", L"Error", 0); }'
            )
            RECORDED_ONLY.update({("a.cpp", "recorded"): "", ("a.cpp", "vanished"): ""})
            try:
                problems, _, _ = check(Program({"a.cpp": box + code}, {}), table_rows(guide), guide_message_cells(guide))
            finally:
                del RECORDED_ONLY[("a.cpp", "recorded")], RECORDED_ONLY[("a.cpp", "vanished")]
            self.assertEqual(
                [p.split(": ", 1)[1] for p in problems],
                ["no longer records 'vanished': take it from RECORDED_ONLY"]
                + [f"the guide names a text the program cannot show: {t!r}" for t in ("Gone", "recorded", "nowhere")],
            )

        def test_resource_strings(self):
            rc = 'IDS_X ICON "x.ico"\nSTRINGTABLE\nBEGIN\n    IDS_A "say ""hi""\\n"\n    IDS_B, L"b"\nEND\n'
            self.assertEqual(resource_strings(rc), {"IDS_A": 'say "hi"\n', "IDS_B": "b"})

    suite = unittest.defaultTestLoader.loadTestsFromTestCase(ResolverTest)
    return 0 if unittest.TextTestRunner(verbosity=1).run(suite).wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
