#!/usr/bin/env python3
"""Checks the help sources before they are compiled:
- every page and picture of the folder is in the project's [FILES], and
  every file there exists;
- every page is in the contents, so the reader can reach it;
- every link and picture in the pages, the contents and the index points
  to a file of the help (and to an anchor that exists in it);
- every page declares its character set, has a title and links the style
  sheet, and every text can be written in Shift-JIS, which the compiled
  help uses;
- every page ends with a "see also" line of links to other pages, each
  named as the contents name it.
Prints each fault as FILE: what is wrong; exit status 1 when there is one.
    check-help.py HELP_FOLDER
"""
import configparser
import os
import re
import sys

LINK = re.compile(r'''(?:href|src)\s*=\s*"([^"]*)"''', re.I)
LOCAL = re.compile(r'''<param\s+name="Local"\s+value="([^"]*)"''', re.I)
ANCHOR = re.compile(r'''(?:name|id)\s*=\s*"([^"]*)"''', re.I)
STYLE_SHEET = "flp.css"
SHEET = re.compile(r'''<link\s+rel="stylesheet"[^>]*href="''' + re.escape(STYLE_SHEET) + '''"''', re.I)
SEE_ALSO = re.compile(r'''<p\s+class="see-also">(.*?)</p>\s*</body>''', re.I | re.S)
SEE_ALSO_LINK = re.compile(r'''<a\s+href="([^"#]*)">([^<]*)</a>''', re.I)
NAME_LOCAL = re.compile(r'''<param\s+name="Name"\s+value="([^"]*)">\s*<param\s+name="Local"\s+value="([^"]*)"''', re.I)
CHARSET = re.compile(r'''<meta\s+http-equiv="Content-Type"\s+content="text/html;\s*charset=UTF-8"''', re.I)


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def main(folder):
    faults = []

    def fault(name, text):
        faults.append(f"{name}: {text}")

    project = configparser.ConfigParser(allow_no_value=True, delimiters=("=",))
    project.optionxform = str
    project.read_string(read(os.path.join(folder, "flp.hhp")))
    options = project["OPTIONS"]
    listed = set(project["FILES"].keys())
    contents_file = options["Contents file"]
    index_file = options["Index file"]

    present = {n for n in os.listdir(folder) if n.endswith((".htm", ".png", ".css"))}
    for name in sorted(present - listed):
        fault("flp.hhp", f"{name} is not in [FILES]")
    for name in sorted(listed - present):
        fault("flp.hhp", f"[FILES] names {name}, which does not exist")
    pages = sorted(n for n in present | listed if n.endswith(".htm"))

    anchors = {}
    for name in pages:
        if name in present:
            anchors[name] = set(ANCHOR.findall(read(os.path.join(folder, name))))

    def check_target(source, target):
        if re.match(r"[a-z]+:", target, re.I):
            fault(source, f"{target}: the help links only to its own pages")
            return
        page, _, anchor = target.partition("#")
        page = page or source
        if page not in present:
            fault(source, f"{target}: no such file")
        elif anchor and anchor not in anchors.get(page, ()):
            fault(source, f"{target}: no such anchor")
        elif page not in listed:
            fault(source, f"{target}: not compiled into the help")

    reached = set()
    titles = {local: title for title, local in NAME_LOCAL.findall(read(os.path.join(folder, contents_file)))}
    for name in (contents_file, index_file):
        text = read(os.path.join(folder, name))
        targets = LOCAL.findall(text)
        if not targets:
            fault(name, "no entries")
        for target in targets:
            check_target(name, target)
            if name == contents_file:
                reached.add(target.partition("#")[0])
    check_target("flp.hhp", options["Default topic"])

    for name in pages:
        if name not in present:
            continue
        text = read(os.path.join(folder, name))
        if name not in reached:
            fault(name, "not in the contents")
        if not CHARSET.search(text):
            fault(name, "no charset=UTF-8 declaration")
        if not re.search(r"<title>[^<]+</title>", text):
            fault(name, "no title")
        if not SHEET.search(text):
            fault(name, f"does not link the style sheet {STYLE_SHEET}")
        for target in LINK.findall(text):
            check_target(name, target)
        see_also = SEE_ALSO.search(text)
        if not see_also:
            fault(name, 'does not end with a "see also" line (<p class="see-also">)')
        else:
            links = SEE_ALSO_LINK.findall(see_also.group(1))
            if not links:
                fault(name, '"see also" links to no page')
            for target, title in links:
                if target == name:
                    fault(name, '"see also" links to the page itself')
                elif target in titles and title != titles[target]:
                    fault(name, f'"see also" names {target} "{title}", the contents "{titles[target]}"')

    if STYLE_SHEET not in present:
        fault(STYLE_SHEET, "the style sheet does not exist")
    for name in pages + [contents_file, index_file, "flp.hhp", STYLE_SHEET]:
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            continue
        for number, line in enumerate(read(path).splitlines(), 1):
            try:
                line.encode("cp932")
            except UnicodeEncodeError as e:
                fault(f"{name}:{number}", f"{line[e.start]!r} has no Shift-JIS form")

    for line in faults:
        print(line)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
