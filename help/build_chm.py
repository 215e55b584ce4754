#!/usr/bin/env python3
"""Compiles one language's help pages into a compiled help file (.CHM).

    build_chm.py SOURCE_DIR WORK_DIR OUTPUT LCID CODEPAGE

SOURCE_DIR holds the language's pages (UTF-8 HTML). The contents tree is the
same for every language: help/contents.txt lists the pages, one a line,
indented by two spaces per level; each entry is named by its page's <title>.
The index is made from each page's <meta name="keywords"> ("a; b; c").

The project, contents and index files are written into WORK_DIR in the
language's ANSI code page, because the help viewer reads their names in the
code page of the file's language; the pages keep UTF-8 and say so. Then
chmcmd builds OUTPUT from WORK_DIR, and the file is marked with its
language, which chmcmd does not do.
"""
import html
import pathlib
import re
import shutil
import struct
import subprocess
import sys

HELP_DIR = pathlib.Path(__file__).resolve().parent


def read_tree():
    """(level, page) pairs from contents.txt."""
    tree = []
    for line in (HELP_DIR / "contents.txt").read_text(encoding="utf-8").splitlines():
        if line.strip() and not line.lstrip().startswith("#"):
            tree.append(((len(line) - len(line.lstrip(" "))) // 2, line.strip()))
    return tree


def page_facts(path):
    text = path.read_text(encoding="utf-8")
    title = re.search(r"<title>(.*?)</title>", text, re.S)
    if not title:
        sys.exit(f"{path}: no <title>")
    keywords = re.search(r'<meta name="keywords" content="(.*?)">', text, re.S)
    words = [w.strip() for w in html.unescape(keywords.group(1)).split(";")] if keywords else []
    return html.unescape(title.group(1).strip()), [w for w in words if w]


def sitemap_entry(name, pages):
    """One <LI> of a contents or index file: a name and the pages it opens."""
    params = [f'<param name="Name" value="{html.escape(name)}">']
    for title, page in pages:
        if len(pages) > 1:
            params.append(f'<param name="Name" value="{html.escape(title)}">')
        params.append(f'<param name="Local" value="{page}">')
    return '<LI><OBJECT type="text/sitemap">' + "".join(params) + "</OBJECT>"


def sitemap(lines, codepage):
    charset = {"cp1252": "windows-1252", "cp932": "shift_jis", "cp936": "gb2312",
               "cp949": "ks_c_5601-1987", "cp950": "big5"}[codepage]
    return "\n".join([
        '<!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML//EN">',
        f'<HTML><HEAD><meta http-equiv="Content-Type" content="text/html; charset={charset}"></HEAD><BODY>',
        '<OBJECT type="text/site properties"><param name="ImageType" value="Folder"></OBJECT>',
        *lines, "</BODY></HTML>", ""])


def contents_lines(tree, titles):
    lines, level = ["<UL>"], 0
    for depth, page in tree:
        while level < depth:
            lines.append("<UL>")
            level += 1
        while level > depth:
            lines.append("</UL>")
            level -= 1
        lines.append(sitemap_entry(titles[page], [(titles[page], page)]))
    lines += ["</UL>"] * (level + 1)
    return lines


def index_lines(keywords):
    lines = ["<UL>"]
    for word in sorted(keywords, key=str.casefold):
        lines.append(sitemap_entry(word, keywords[word]))
    return lines + ["</UL>"]


def read_encint(data, at):
    """A compiled help file's variable-length number: 7 bits a byte, high first."""
    value = 0
    while True:
        byte = data[at]
        at += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, at


def internal_file(data, wanted):
    """(offset, length) of an uncompressed internal file, from the directory."""
    directory = struct.unpack_from("<Q", data, 0x48)[0]
    header_length, chunk_size = struct.unpack_from("<I4xI", data, directory + 8)
    chunk_count = struct.unpack_from("<I", data, directory + 0x2C)[0]
    content = struct.unpack_from("<Q", data, 0x58)[0]
    for number in range(chunk_count):
        chunk = directory + header_length + number * chunk_size
        if data[chunk:chunk + 4] != b"PMGL":
            continue
        end = chunk + chunk_size - struct.unpack_from("<I", data, chunk + 4)[0]
        at = chunk + 0x14
        while at < end:
            length, at = read_encint(data, at)
            name, at = data[at:at + length], at + length
            section, at = read_encint(data, at)
            offset, at = read_encint(data, at)
            size, at = read_encint(data, at)
            if name == wanted and section == 0:
                return content + offset, size
    sys.exit(f"no {wanted.decode()} in the compiled file")


def set_language(path, lcid):
    """Writes the LCID into the file header, the directory header and #SYSTEM:
    the help viewer reads the contents and index names in its code page."""
    data = bytearray(path.read_bytes())
    struct.pack_into("<I", data, 0x14, lcid)
    struct.pack_into("<I", data, struct.unpack_from("<Q", data, 0x48)[0] + 0x30, lcid)
    offset, size = internal_file(data, b"/#SYSTEM")
    at = offset + 4
    while at < offset + size:
        code, length = struct.unpack_from("<HH", data, at)
        if code == 4:
            # LCID, then the flag for a double-byte character set.
            struct.pack_into("<II", data, at + 4, lcid, lcid in DOUBLE_BYTE_LANGUAGES)
            path.write_bytes(data)
            return
        at += 4 + length
    sys.exit("no language entry in #SYSTEM")


# Japanese, Korean, Chinese (PRC), Chinese (Taiwan).
DOUBLE_BYTE_LANGUAGES = {0x0411, 0x0412, 0x0804, 0x0404}


def main(source, work, output, lcid, codepage):
    source, work, output = pathlib.Path(source), pathlib.Path(work), pathlib.Path(output)
    tree = read_tree()
    pages = [page for _, page in tree]
    titles, keywords = {}, {}
    for page in pages:
        titles[page], words = page_facts(source / page)
        for word in words:
            keywords.setdefault(word, []).append((titles[page], page))

    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    for page in pages:
        shutil.copyfile(source / page, work / page)
    shutil.copyfile(HELP_DIR / "help.css", work / "help.css")

    title = titles[pages[0]]
    project = f"""[OPTIONS]
Compatibility=1.1 or later
Compiled file={output.name}
Contents file=contents.hhc
Index file=index.hhk
Default topic={pages[0]}
Default Window=main
Display compile progress=No
Full-text search=No
Binary Index=No
Language={lcid}
Title={title}

[WINDOWS]
main="{title}","contents.hhc","index.hhk","{pages[0]}","{pages[0]}",,,,,0x42120,240,0x304e,[80,60,900,640],,,,,,,0

[FILES]
help.css
""" + "\n".join(pages) + "\n"
    # Strict encoding: a name the code page cannot show stops the build.
    (work / "project.hhp").write_bytes(project.replace("\n", "\r\n").encode(codepage))
    (work / "contents.hhc").write_bytes(sitemap(contents_lines(tree, titles), codepage).encode(codepage))
    (work / "index.hhk").write_bytes(sitemap(index_lines(keywords), codepage).encode(codepage))

    compiled = subprocess.run(["chmcmd", "--verbosity", "0", "project.hhp"], cwd=work,
                              capture_output=True, text=True)
    if compiled.returncode != 0:
        sys.exit(f"{output.name}: chmcmd failed:\n{compiled.stdout}{compiled.stderr}")
    built = work / output.name
    if not built.is_file():
        sys.exit(f"{output.name}: chmcmd made nothing")
    set_language(built, int(lcid, 16))
    output.parent.mkdir(parents=True, exist_ok=True)
    shutil.move(built, output)


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    main(*sys.argv[1:])
