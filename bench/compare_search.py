#!/usr/bin/env python3
# Runs two flp programs over many searches and lists, and tells whether
# their output (stdout, into a pipe), stderr and exit code are the same:
# the proof that a change to the search or the walk printed what it did.
#
# usage: python3 bench/compare_search.py OLD_FLP NEW_FLP [LIBRARY...]
#   env COUNT (searches per library, default 300), SEED (default 1).
# Besides the libraries given it makes one of its own: phrases of every
# length around the search's steps (16 and 64 places), of kanji, kana in
# each width, ASCII and characters whose trail byte is an ASCII sign
# (表 ソ 能 十 予: '\', ァ: '@', ポ: '|'), in nested labels.
# Searches: 1 to 17 words (some long, to straddle the steps), AND and
# --or, --fold, -0, --raw or not, whole library and --under a label; list
# of the first labels. Run by hand; exits 1 on any difference.
import os, random, subprocess, sys, tempfile

if len(sys.argv) < 3:
    sys.exit("usage: compare_search.py OLD_FLP NEW_FLP [LIBRARY...]")
OLD, NEW = sys.argv[1], sys.argv[2]
rng = random.Random(int(os.environ.get("SEED", "1")))
count = int(os.environ.get("COUNT", "300"))
sj = lambda s: s.encode("cp932")

pieces = [sj(s) for s in ["表", "ソ", "能", "十", "ポ", "予", "申", "会議", "資料", "ファイル", "ﾌｧｲﾙ", "ふぁいる",
          "ありがとう", "アリガトウ", "ｱﾘｶﾞﾄｳ", "ル", "る", "ﾙ", "ﾊﾟ", "パ", "ぱ", "ー", "ｰ", "、", "。", "　",
          "ｆｅｎ", "ＡＢＣ", "東京", "大阪"]]
pieces += [b"a", b"x", b"p", b"u", b"\\", b"@", b"|", b"fen", b"abc", b"[", b"]", b"^", b"`", b"{", b" ",
           b"<", b">", b"/"]


def traps_library(path):
    out = [b'<u>"root"\r\n']

    def phrase(ind):
        out.append(b" " * ind + b"<p>\r\n")
        for _ in range(rng.choice([1, 1, 1, 2, 3])):
            n = rng.choice([0, 1, 2, 3, 5, 8, 10, 14, 15, 16, 17, 20, 30, 31, 32, 33, 47, 48, 63, 64, 65,
                            70, 80, 127, 128, 129, 200, 300])
            b = b""
            while len(b) < n:
                b += rng.choice(pieces)
            out.append(b" " * ind + b'"' + b + b'"\r\n')
        out.append(b" " * ind + b"</p>\r\n")

    def label(depth, name):
        ind = 4 * depth
        out.append(b" " * ind + b'<u>"' + name + b'"\r\n')
        for _ in range(rng.randint(1, 30)):
            if rng.random() < 0.08 and depth < 4:
                label(depth + 1, rng.choice([b"a", b"b", sj("表"), sj("ソ")]))
            else:
                phrase(ind + 4)
        out.append(b" " * ind + b"</u>\r\n")

    for _ in range(60):
        label(1, rng.choice([b"a", b"b", b"c", sj("表")]))
    out.append(b"</u>\r\n")
    with open(path, "wb") as f:
        f.write(b"".join(out))


words = [sj(w) for w in ["会議", "資料", "東京", "大阪", "ファイル", "ﾌｧｲﾙ", "ふぁいる", "ありがとう", "アリガトウ",
         "ｱﾘｶﾞﾄｳ", "お世話", "確認", "ご連絡", "本日", "の", "を", "、", "。", "　", "ル", "る", "ﾙ", "ﾊﾟ", "パ",
         "ぱ", "表", "ソ", "能", "十", "ポ", "予", "申", "ー", "ｰ", "ｆｅｎ", "ＡＢＣ", "請求書", "見積書",
         "ご査収ください", "申し訳ございません", "打ち合わせ", "締め切り", "会議室", "添付", "件名", "日程"]]
words += [b"fen", b"abc", b"a", b"x", b"p", b"u", b"\\", b"@", b"|", b"]", b"[", b"^", b"_", b"`", b"{",
          b"}", b"~", b"\"", b"<", b">", b"/", b"\\\\", b"@@", b"\x83", b"\x95", b"\x83\x40", b"\x40\x83",
          b"\x5c\x83", b"\x81\x40"]


def run(flp, args):
    p = subprocess.run([flp] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return p.returncode, p.stdout, p.stderr.replace(flp.encode(), b"FLP")


def main():
    tmp = tempfile.mkdtemp(prefix="compare-search-")
    traps = os.path.join(tmp, "traps.htm")
    traps_library(traps)
    libs = [traps] + sys.argv[3:]
    same = differ = 0

    def compare(what, args):
        nonlocal same, differ
        if run(OLD, args) == run(NEW, args):
            same += 1
        else:
            differ += 1
            print("DIFFERS:", what, args)

    for lib in libs:
        for _ in range(count):
            k = rng.choice([1, 1, 2, 2, 2, 3, 4, 5, 6, 9, 17])
            ws = [rng.choice(words) for _ in range(k)]
            if rng.random() < 0.15:
                ws[0] = b"".join(rng.choice(words) for _ in range(rng.randint(2, 8)))[:78]
            opts = [o for o, p in (("--or", 0.5), ("--fold", 0.4), ("-0", 0.2)) if rng.random() < p]
            glob = ["--raw"] if rng.random() < 0.7 else []
            compare("search", glob + ["search"] + opts + [lib, os.fsdecode(b" ".join(ws))])
        tree = subprocess.run([OLD, "--raw", "tree", lib], stdout=subprocess.PIPE).stdout.split(b"\n")
        paths, stack = [], []
        for line in tree:
            if line:
                stack = stack[:(len(line) - len(line.lstrip(b" "))) // 4] + [line.strip(b" ")]
                if len(paths) < 12:
                    paths.append([os.fsdecode(x) for x in stack])
        for path in paths + [["nowhere"]]:
            for glob in (["--raw"], []):
                for z in ([], ["-0"]):
                    compare("list", glob + ["list"] + z + [lib] + path)
        for path in paths[:6]:
            under = [a for x in path for a in ("--under", x)]
            for opts in ([], ["--or"], ["--fold"], ["--fold", "--or"]):
                text = os.fsdecode(rng.choice(words) + b" " + rng.choice(words))
                compare("scoped search", ["--raw", "search"] + opts + under + [lib, text])
    os.remove(traps)
    os.rmdir(tmp)
    print(f"{same} passed, {differ} failed")
    return 1 if differ else 0


sys.exit(main())
