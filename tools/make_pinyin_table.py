#!/usr/bin/env python3
"""Generate people/PinyinTable.cpp: the 6763 GB2312 characters grouped by
pinyin syllable, the table behind the initials of a person's name.

The readings come from Unicode's Unihan database (Unihan_Readings.txt, Debian
package unicode-data, Unicode licence): a character's readings are those of
kTGHZ2013 (the 2013 standard dictionary), or its kMandarin reading when
kTGHZ2013 has none. The desk's table differs from any one dictionary in a
couple of hundred places (readings it leaves out, older readings it keeps,
one misspelt syllable of its own); those differences are the recorded edits
of tools/pinyin_table_edits.txt, each group with its reason. Every edit must
change something, so an edit that a newer Unihan makes redundant stops the
script instead of passing silently.

A row holds its characters in GB2312 code order, which puts level 1 (B0A1 to
D7F9) before level 2 (D8A1 to F7FE).

Usage: tools/make_pinyin_table.py [--unihan FILE] [--edits FILE] [--out FILE] [--check]
  --check   compare with the existing output instead of writing it (exit 1 on
            a difference, 77 when the Unihan file is missing)
Standard library only.
"""

import argparse
import bz2
import os
import sys
import unicodedata

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_UNIHAN = "/usr/share/unicode/Unihan_Readings.txt.bz2"
DEFAULT_EDITS = os.path.join(ROOT, "tools", "pinyin_table_edits.txt")
DEFAULT_OUT = os.path.join(ROOT, "people", "PinyinTable.cpp")
SKIPPED = 77  # ctest's SKIP_RETURN_CODE

# The table's 407 syllables in row order, "v" standing for ü. "qui" is no
# pinyin syllable: the desk's table has that row (between que and qun), and
# the initials depend on row positions, so it is kept.
SYLLABLES = """
a ai an ang ao
ba bai ban bang bao bei ben beng bi bian biao bie bin bing bo bu
ca cai can cang cao ce cen ceng cha chai chan chang chao che chen cheng chi chong chou chu chuai chuan
chuang chui chun chuo ci cong cou cu cuan cui cun cuo
da dai dan dang dao de dei deng di dia dian diao die ding diu dong dou du duan dui dun duo
e ei en er
fa fan fang fei fen feng fo fou fu
ga gai gan gang gao ge gei gen geng gong gou gu gua guai guan guang gui gun guo
ha hai han hang hao he hei hen heng hong hou hu hua huai huan huang hui hun huo
ji jia jian jiang jiao jie jin jing jiong jiu ju juan jue jun
ka kai kan kang kao ke ken keng kong kou ku kua kuai kuan kuang kui kun kuo
la lai lan lang lao le lei leng li lia lian liang liao lie lin ling liu lo long lou lu lv lve luan lun luo
m ma mai man mang mao me mei men meng mi mian miao mie min ming miu mo mou mu
na nai nan nang nao ne nei nen neng ng ni nian niang niao nie nin ning niu nong nou nu nv nve nuan nuo
o ou
pa pai pan pang pao pei pen peng pi pian piao pie pin ping po pou pu
qi qia qian qiang qiao qie qin qing qiong qiu qu quan que qui qun
ran rang rao re ren reng ri rong rou ru ruan rui run ruo
sa sai san sang sao se sen seng sha shai shan shang shao she shei shen sheng shi shou shu shua shuai shuan
shuang shui shun shuo si song sou su suan sui sun suo
ta tai tan tang tao te teng ti tian tiao tie ting tong tou tu tuan tui tun tuo
wa wai wan wang wei wen weng wo wu
xi xia xian xiang xiao xie xin xing xiong xiu xu xuan xue xun
ya yan yang yao ye yi yin ying yo yong you yu yuan yue yun
za zai zan zang zao ze zei zen zeng zha zhai zhan zhang zhao zhe zhen zheng zhi zhong zhou zhu zhua zhuai
zhuan zhuang zhui zhun zhuo zi zong zou zu zuan zui zun zuo
""".split()


class GenerationError(Exception):
    pass


def gb2312_characters():
    """(character, two GBK bytes) of GB2312 levels 1 and 2, in code order."""
    characters = []
    for lead in range(0xB0, 0xF8):
        for trail in range(0xA1, 0xFF):
            code = bytes((lead, trail))
            try:
                characters.append((code.decode("gb2312"), code))
            except UnicodeDecodeError:
                pass  # D7FA..D7FE are unassigned
    return characters


def plain_syllable(reading):
    """A toned reading ("lüè", "ńg", "ê̄") as a toneless ASCII syllable ("lve", "ng", "e")."""
    decomposed = unicodedata.normalize("NFD", reading.lower()).replace("u\u0308", "v")
    text = "".join(c for c in decomposed if not unicodedata.combining(c))
    # The table has no row "n": 嗯 and 唔 read n stand in the row ng.
    return "ng" if text == "n" else text


def read_unihan(path):
    """Character -> readings (toned, in the dictionary's order) for the two fields we use."""
    fields = {"kTGHZ2013": {}, "kMandarin": {}}
    with bz2.open(path, "rt", encoding="utf-8") if path.endswith(".bz2") else open(path, encoding="utf-8") as f:
        for line in f:
            if not line.startswith("U+"):
                continue
            code, field, value = line.rstrip("\n").split("\t")
            if field not in fields:
                continue
            character = chr(int(code[2:], 16))
            if field == "kTGHZ2013":
                # "036.140:chán 064.090:dān": page and position, then the reading
                readings = [entry.split(":", 1)[1] for entry in value.split()]
            else:
                readings = value.split()
            fields[field][character] = readings
    return fields


def base_readings(unihan, characters):
    """Character -> toneless syllables of the table, first reading first."""
    known = set(SYLLABLES)
    table = {}
    for character, _ in characters:
        readings = unihan["kTGHZ2013"].get(character) or unihan["kMandarin"].get(character) or []
        syllables = []
        for reading in readings:
            syllable = plain_syllable(reading)
            # Readings with no row of their own (hng) are left out.
            if syllable in known and syllable not in syllables:
                syllables.append(syllable)
        table[character] = syllables
    return table


def read_edits(path):
    """Groups of edits: [(title, reason, [(line number, character, op, syllables)])].

    A group starts with "[title]" and needs "# reason" lines before its first
    edit. An edit is a character followed by operations: "-syl" drops a
    reading, "+syl" adds one, "=syl,syl" replaces them all; "#" starts a note."""
    groups = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line:
                continue
            if line.startswith("["):
                if not line.endswith("]"):
                    raise GenerationError(f"{path}:{number}: unclosed group title")
                groups.append((line[1:-1], [], []))
            elif line.startswith("#"):
                if groups and not groups[-1][2]:
                    groups[-1][1].append(line[1:].strip())
            else:
                line = line.split("#", 1)[0]
                if not groups or not groups[-1][1]:
                    raise GenerationError(f"{path}:{number}: an edit outside a group with a reason")
                character, *operations = line.split()
                if len(character) != 1 or not operations:
                    raise GenerationError(f"{path}:{number}: expected a character and its operations")
                for operation in operations:
                    if operation[0] not in "-+=" or len(operation) < 2:
                        raise GenerationError(f"{path}:{number}: bad operation {operation!r}")
                    groups[-1][2].append((number, character, operation[0], operation[1:].split(",")))
    return groups


def apply_edits(table, groups, path):
    known = set(SYLLABLES)
    for _, _, edits in groups:
        for number, character, op, syllables in edits:
            where = f"{path}:{number}: {character}"
            if character not in table:
                raise GenerationError(f"{where} is not a GB2312 character")
            for syllable in syllables:
                if syllable not in known:
                    raise GenerationError(f"{where}: no row for {syllable!r}")
            readings = table[character]
            if op == "-":
                for syllable in syllables:
                    if syllable not in readings:
                        raise GenerationError(f"{where}: has no reading {syllable} to drop")
                    readings.remove(syllable)
            elif op == "+":
                for syllable in syllables:
                    if syllable in readings:
                        raise GenerationError(f"{where}: already reads {syllable}")
                    readings.append(syllable)
            else:
                if sorted(readings) == sorted(syllables) or len(set(syllables)) != len(syllables):
                    raise GenerationError(f"{where}: the replacement changes nothing or repeats itself")
                readings[:] = syllables
    for character, readings in table.items():
        if not readings:
            raise GenerationError(f"{character} is left without a reading")


def build_rows(table, characters):
    rows = {syllable: [] for syllable in SYLLABLES}
    for character, code in characters:  # code order
        for syllable in table[character]:
            rows[syllable].append((character, code))
    for syllable, members in rows.items():
        if not members:
            raise GenerationError(f"the row {syllable} is empty")
    return [(syllable, rows[syllable]) for syllable in SYLLABLES]


def render(rows, edit_count):
    per_line = 10  # characters a line: 80 columns of escapes, then the same in UTF-8
    out = [
        "// Generated by tools/make_pinyin_table.py from the Unihan readings of the Unicode",
        "// Character Database (© Unicode, Inc., Unicode licence: https://www.unicode.org/license.txt)",
        f"// and the {edit_count} edits of tools/pinyin_table_edits.txt;",
        "// do not edit by hand. Each row: its index and syllable, then its characters",
        "// in GBK, followed by the same characters in UTF-8.",
        "// clang-format off",
        '#include "people/PinyinTable.h"',
        "",
        "namespace regdesk::pinyin {",
        "",
        "const std::array<SyllableRow, 407> kSyllableRows = {{",
    ]
    for index, (syllable, members) in enumerate(rows):
        out.append(f'    {{"{syllable}", // {index}')
        for start in range(0, len(members), per_line):
            chunk = members[start : start + per_line]
            escaped = "".join(f"\\x{byte:02X}" for _, code in chunk for byte in code)
            close = "}," if start + per_line >= len(members) else ""
            out.append(f'     "{escaped}"{close} // ' + "".join(c for c, _ in chunk))
    out += ["}};", "", "} // namespace regdesk::pinyin", ""]
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--unihan", default=DEFAULT_UNIHAN)
    parser.add_argument("--edits", default=DEFAULT_EDITS)
    parser.add_argument("--out", default=DEFAULT_OUT)
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    if not os.path.exists(args.unihan):
        print(f"{args.unihan} is missing (Debian package unicode-data)", file=sys.stderr)
        return SKIPPED if args.check else 1
    try:
        characters = gb2312_characters()
        table = base_readings(read_unihan(args.unihan), characters)
        groups = read_edits(args.edits)
        apply_edits(table, groups, args.edits)
        text = render(build_rows(table, characters), sum(len(edits) for _, _, edits in groups))
    except GenerationError as error:
        print(f"make_pinyin_table: {error}", file=sys.stderr)
        return 1
    if args.check:
        with open(args.out, encoding="utf-8") as f:
            if f.read() != text:
                print(f"{args.out} differs from what the generator writes now", file=sys.stderr)
                return 1
        return 0
    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
