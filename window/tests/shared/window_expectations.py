"""What the window tests of the page read, as the C++ tests do: the window's
own facts from MainForm.model (the description as the runtime reads it, held
to the description by a test of main_form_tests), and what users see from
what_users_see.tsv. Standard library only.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ESCAPES = {"r": "\r", "n": "\n", "t": "\t", "\\": "\\", '"': '"'}
# A control's words that hold a quoted text, and the name the checks use.
TEXTS = {"text": "text", "item": "items", "accessible-name": "accessible-name",
         "accessible-description": "accessible-description"}


def unescape(value):
    out, i = [], 0
    while i < len(value):
        if value[i] == "\\":
            out.append(ESCAPES[value[i + 1]])
            i += 2
        else:
            out.append(value[i])
            i += 1
    return "".join(out)


def read_model(path=os.path.join(HERE, "MainForm.model")):
    """The window as a dictionary (caption, back-color, client [w, h]) and
    its controls by name: kind, rect (twips), tab, back-color (absent for
    the system's), visible, the words of their kind ("read-only": "yes"),
    caption (a label's or button's text) or text, items."""
    window, controls, current = {}, {}, None
    for line in open(path, encoding="utf-8").read().splitlines():
        indent = len(line) - len(line.lstrip(" "))
        words = line.split()
        if indent == 0:
            window["name"] = words[1]
        elif indent == 2 and words[0] in ("label", "textbox", "listbox", "button"):
            current = controls.setdefault(words[1], {"kind": words[0], "items": []})
        elif indent == 2:
            current = None
            value = line.strip()[len(words[0]) + 1:]
            window[words[0]] = (unescape(value[1:-1]) if words[0] in ("caption", "icon") else
                                [int(words[1]), int(words[3])] if words[0] == "client" else value)
        elif words[0] in TEXTS:
            text = unescape(line.strip()[len(words[0]) + 2:-1])
            if words[0] == "item":
                current["items"].append(text)
            elif words[0] == "text" and current["kind"] in ("label", "button"):
                current["caption"] = text
            else:
                current[TEXTS[words[0]]] = text
        else:
            i = 0
            while i < len(words):
                if words[i] == "rect":
                    current["rect"] = [int(v) for v in words[i + 1:i + 5]]
                    i += 5
                    continue
                key = "back-color" if words[i] == "back" else words[i]
                if words[i + 1] != "default":
                    current[key] = words[i + 1]
                i += 2
    return window, controls


def read_what_users_see(path=os.path.join(HERE, "what_users_see.tsv")):
    """Each key with its values: one value as a string, several as a list;
    "calculation" and "paste" rows as lists of rows."""
    table = {"calculation": [], "paste": []}
    for line in open(path, encoding="utf-8").read().splitlines():
        if not line or line.startswith("#"):
            continue
        key, *values = [unescape(v) for v in line.split("\t")]
        if key in ("calculation", "paste"):
            table[key].append(values)
        else:
            table[key] = values[0] if len(values) == 1 else values
    table["calculation"] = [{"typed": t, "sum": int(s), "digit": int(d)}
                            for t, s, d in table["calculation"]]
    return table


def results(table, total, digit):
    """The results box after Изчисли with this sum and digit."""
    return table["results"].replace("{sum}", str(total)).replace("{digit}", str(digit))
