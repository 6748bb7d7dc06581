#!/bin/bash
# End-to-end test of flp: every command on scratch libraries, checking the
# output, the exit code and the bytes of the files left behind.
#
# usage: flp_test.sh FLP [wine]
# With "wine" FLP is flp.exe and runs under Wine. The script runs in a UTF-8
# locale and types names and texts as a user does, in UTF-8; output comes
# back in UTF-8 (under Wine after --utf8, as output into a pipe is otherwise
# in the ANSI code page). Library files are Shift-JIS; the --raw section
# checks the bytes passed through unconverted.
set -u

FLP=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
MODE=${2:-native}
SAMPLE=$(cd "$(dirname "$0")/../sample" && pwd)/library.htm
WORK=$(mktemp -d "${TMPDIR:-/tmp}/flp-test.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1

failures=0
checks=0

# Runs flp; leaves stdout in ./out, stderr in ./err, the exit code in $rc.
flp() {
    if [ "$MODE" = wine ]; then
        if [ "${1:-}" = --raw ]; then
            wine "$FLP" "$@" >out 2>err
        else
            wine "$FLP" --utf8 "$@" >out 2>err
        fi
    else
        "$FLP" "$@" >out 2>err
    fi
    rc=$?
}

# flp with standard input from the file given first.
flp_in() {
    local input=$1
    shift
    flp "$@" <"$input"
}

# An argument as a user types it.
a() { printf '%s' "$1"; }

# An argument for --raw: Shift-JIS bytes (under Wine given in UTF-8, which
# Wine hands to the program in code page 932).
raw() {
    if [ "$MODE" = wine ]; then
        printf '%s' "$1"
    else
        printf '%s' "$1" | iconv -f UTF-8 -t CP932
    fi
}

sjis() { iconv -f UTF-8 -t CP932; }

# Expected output from standard input (UTF-8) into ./want; expect_sjis the
# same in Shift-JIS; expect_lib also ends every line with CR LF, as the
# writers do.
expect() { cat >want; }
expect_sjis() { sjis >want; }
expect_lib() { sjis | sed 's/$/\r/' >want; }
# A library file from standard input, in the writers' layout.
make_lib() { sjis | sed 's/$/\r/' >"$1"; }

pass() { checks=$((checks + 1)); }
fail() {
    checks=$((checks + 1))
    failures=$((failures + 1))
    echo "FAIL: $*" >&2
}

check_rc() {
    if [ "$rc" = "$1" ]; then
        pass
    else
        fail "$2: exit $rc, want $1; stderr: $(head -c 300 err)"
    fi
}

# cmp FILE against ./want.
check_bytes() {
    if cmp -s want "$2"; then
        pass
    else
        fail "$1: $2 differs from the expected bytes"
        diff <(od -c want) <(od -c "$2") | head -20 >&2
    fi
}

check_out() { check_bytes "$1" out; }

check_same() {
    if cmp -s "$2" "$3"; then pass; else fail "$1: $2 and $3 differ"; fi
}

# Exactly one line on stderr, starting with "flp: " and holding the text.
check_refusal() {
    local lines
    lines=$(wc -l <err)
    if [ "$lines" = 1 ] && head -c 5 err | grep -q '^flp: ' && grep -qF -- "$2" err; then
        pass
    else
        fail "$1: stderr should be one line 'flp: ...$2...', is: $(head -c 300 err)"
    fi
}

check_usage() {
    check_rc 2 "$1"
    if grep -q '^usage: flp' err && [ ! -s out ]; then pass; else fail "$1: no usage text on stderr"; fi
}

check_absent() {
    if [ ! -e "$2" ]; then pass; else fail "$1: $2 should not exist"; fi
}

# The sample library afresh, with no backup or clip file beside it.
fresh() {
    rm -f ./*.htm ./*.bak ./*.new ./clip.txt ./*.00?
    cp "$SAMPLE" lib.htm
}

# A small library that the edits below work on.
abc() {
    rm -f ./*.htm ./*.bak ./*.new ./clip.txt ./*.00?
    make_lib lib.htm <<'EOF'
<u>"root"
    <u>"a"
        <p>
        "甲"
        </p>
    </u>
    <u>"b"
        <u>"x"
            <p>
            "乙"
            "丙"
            </p>
        </u>
    </u>
    <u>"c"
    </u>
</u>
EOF
    cp lib.htm before.htm
}

# ---------------------------------------------------------------- reading
fresh
flp tree lib.htm
check_rc 0 "tree"
expect <<'EOF'
挨拶
    ビジネス
    友人
署名
表現集
    季節
EOF
check_out "tree lists every label in file order"

flp list lib.htm "$(a 挨拶)" "$(a ビジネス)"
check_rc 0 "list"
printf 'お世話になっております。\nいつもお世話になっております。\r\n株式会社フェンロップの山田です。\r\n\r\nよろしくお願いいたします。\n' | expect
check_out "list joins the lines of a phrase with CR LF"

flp list -0 lib.htm "$(a 挨拶)"
check_rc 0 "list -0"
printf 'こんにちは。\0ありがとうございました。\0' | expect
check_out "list -0 ends each phrase with NUL; sub-labels' phrases are not listed"

flp list lib.htm "$(a 挨拶)" "$(a 季節)"
check_rc 1 "list of a missing label"
check_refusal "list of a missing label" "no label at that path"

flp list lib.htm
check_usage "list without a name path"
flp list -x lib.htm "$(a 挨拶)"
check_usage "list with an unknown option"
flp list missing.htm "$(a 挨拶)"
check_rc 1 "list of a missing file"
check_refusal "list of a missing file" "missing.htm"

flp check lib.htm
check_rc 0 "check"
printf '6 labels, 9 phrases\n' | expect
check_out "check counts labels and phrases"

# Hand-written oddities: upper-case tags, LF line ends, tabs, a comment, a
# quoted line outside a phrase, phrases before sub-labels.
printf '<U>"r"\n\t<u>\n\t"a"\n# note\n<p>\n"one"\n</P>\n"stray"\n<u>"b"\n</u>\n<p></p>\n</u></U>\nafter\n' >odd.htm
flp check odd.htm
check_rc 0 "check of a hand-written file"
printf '2 labels, 2 phrases\n' | expect
check_out "check of a hand-written file"
flp list -0 odd.htm a
printf 'one\0\0' | expect
check_out "list of a hand-written file"

printf '<u>"root"\n    <u>"a"\n    <u> </u>\n</u>\n' >bad.htm
flp check bad.htm
check_rc 1 "check of a label without a name"
if grep -q '^bad.htm:3: ' err && [ "$(wc -l <err)" = 1 ]; then pass; else fail "check names file and line: $(cat err)"; fi
printf '<u>"root"\n    <u>"a"\n' >short.htm
flp check short.htm
check_rc 1 "check of a file that ends inside a label"
if grep -q '^short.htm:[0-9]*: ' err; then pass; else fail "check of a short file: $(cat err)"; fi
printf 'hello\n' >none.htm
flp check none.htm
check_rc 1 "check of a file without a root label"
flp check missing.htm
check_rc 1 "check of a missing file"
if grep -q '^missing.htm' err; then pass; else fail "check of a missing file names it: $(cat err)"; fi
flp tree bad.htm
check_rc 1 "tree of a malformed file"
if [ ! -s out ]; then pass; else fail "tree of a malformed file printed labels"; fi
cp short.htm short-before.htm
flp new short.htm --below a
check_rc 1 "new in a file that ends inside a label"
check_same "a malformed library is left as it was" short-before.htm short.htm
printf 'x\0' >in.bin
flp_in in.bin store short.htm
check_rc 1 "store into a file that ends inside a label"
check_same "a malformed library is left as it was by store" short-before.htm short.htm

# ---------------------------------------------------------------- search
make_lib s.htm <<'EOF'
<u>"root"
    <p>
    "ルートの句 東京"
    </p>
    <u>"a"
        <p>
        "東京 大阪"
        </p>
        <p>
        "東京だけ"
        </p>
        <u>"b"
            <p>
            "大阪"
            "東京"
            </p>
        </u>
    </u>
    <u>"c"
        <p>
        "大阪のみ"
        </p>
        <p>
        "表"
        </p>
        <p>
        "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxい"
        </p>
    </u>
</u>
EOF
flp search s.htm "$(a '東京 大阪')"
check_rc 0 "search AND"
printf '東京 大阪\n大阪\r\n東京\n' | expect
check_out "search AND lists phrases holding every word, in file order"

flp search -0 --or s.htm "$(a '  大阪   東京 ')"
check_rc 0 "search OR"
printf 'ルートの句 東京\0東京 大阪\0東京だけ\0大阪\r\n東京\0大阪のみ\0' | expect
check_out "search OR with extra spaces"

flp search --under "$(a a)" --under "$(a b)" s.htm "$(a 東京)"
check_rc 0 "search under a path"
printf '大阪\r\n東京\n' | expect
check_out "search under a/b finds only the phrases of b"

flp search --under "$(a a)" s.htm "$(a 東京)"
printf '東京 大阪\n東京だけ\n大阪\r\n東京\n' | expect
check_out "search under a takes a's subtree"

flp search s.htm '\'
check_rc 0 "search for a trail byte"
: | expect
check_out "a trail byte of 表 is not a match"

# 78 x and い: cut to 79 bytes on a character boundary the text is 78 x.
flp search s.htm "$(a "$(printf 'x%.0s' $(seq 78))あ")"
printf '%s\n' "$(printf 'x%.0s' $(seq 78))い" | expect
check_out "search text cut to 79 bytes on a character boundary"

make_lib fold.htm <<'EOF'
<u>"root"
    <p>
    "フェンロップ"
    </p>
    <p>
    "ﾌｪﾝﾛｯﾌﾟのABC"
    </p>
    <p>
    "ふぇんろっぷ-1"
    </p>
    <p>
    "ABCー"
    </p>
</u>
EOF
flp search --fold fold.htm "$(a ふぇんろっぷ)"
check_rc 0 "search --fold"
printf 'フェンロップ\nﾌｪﾝﾛｯﾌﾟのABC\nふぇんろっぷ-1\n' | expect
check_out "search --fold finds the word in every kana and width"
flp search --or --fold fold.htm "$(a 'ｆｅｎ　ａｂｃ　ﾛｯﾌﾟー')"
printf 'ﾌｪﾝﾛｯﾌﾟのABC\nABCー\n' | expect
check_out "search --fold: full-width spaces part words, ASCII folds its case, ー is no hyphen"
flp search fold.htm "$(a ふぇんろっぷ)"
printf 'ふぇんろっぷ-1\n' | expect
check_out "search without --fold matches the bytes"

flp search --under zz s.htm "$(a 東京)"
check_rc 1 "search under a missing label"
check_refusal "search under a missing label" "no label at that path"
flp search s.htm
check_usage "search without TEXT"
flp search s.htm a b
check_usage "search with two texts"
flp search --under s.htm "$(a 東京)"
check_usage "search with --under but no name"
printf '<u>"root"\n<u>"a"\n<p>\n"x"\n</p>\n' >cut.htm
flp search cut.htm x
check_rc 1 "search of a file that ends inside a label"

# ---------------------------------------------------------------- create
rm -f ./*.htm ./*.bak ./clip.txt
flp create new.htm
check_rc 0 "create"
expect_lib <<'EOF'
<u>"root"
    <u>"新しいラベル"
    </u>
</u>
EOF
check_bytes "create writes a new library" new.htm
check_absent "create on a free name keeps nothing" new.001

printf 'damaged' >new.htm
cp new.htm damaged.htm
printf 'old backup' >new.bak
flp create new.htm
check_rc 0 "create over a file"
check_bytes "create over a file writes a new library" new.htm
check_same "create keeps the old file under a free name" damaged.htm new.001
printf 'old backup' | expect
check_bytes "create leaves the backup alone" new.bak
flp create new.htm
check_same "a second create keeps the next free name" new.htm new.002
check_same "the first kept file stays" damaged.htm new.001
flp create x
check_rc 1 "create with a file name too short for a backup"

# ---------------------------------------------------------------- new
abc
flp new lib.htm --below "$(a b)"
check_rc 0 "new --below"
printf '新しいラベル\n' | expect
check_out "new prints the new label's name"
expect_lib <<'EOF'
<u>"root"
    <u>"a"
        <p>
        "甲"
        </p>
    </u>
    <u>"b"
        <u>"x"
            <p>
            "乙"
            "丙"
            </p>
        </u>
    </u>
    <u>"新しいラベル"
    </u>
    <u>"c"
    </u>
</u>
EOF
check_bytes "new --below puts the label after b" lib.htm
check_same "the backup holds the library before the rewrite" before.htm lib.bak
temps=$(ls ./*.new 2>/dev/null)
check_absent "no temporary file is left" "${temps:-lib.htm.new}"

flp new lib.htm --above "$(a a)"
check_rc 0 "new --above"
printf '新しいラベル～1\n' | expect
check_out "a second new label among the same siblings gets ～1"
flp tree lib.htm
expect <<'EOF'
新しいラベル～1
a
b
    x
新しいラベル
c
EOF
check_out "new --above puts the label before a"

abc
flp new lib.htm --into "$(a b)"
check_rc 0 "new --into"
printf '新しいラベル\n' | expect
check_out "new --into prints the name"
flp tree lib.htm
expect <<'EOF'
a
b
    新しいラベル
    x
c
EOF
check_out "new --into makes the first child"
flp new lib.htm --into "$(a b)" "$(a 新しいラベル)"
flp new lib.htm --into "$(a b)"
printf '新しいラベル～1\n' | expect
check_out "new --into is unique among the children"

abc
flp new lib.htm "$(a b)"
check_usage "new without a place"
flp new lib.htm --beside "$(a b)"
check_usage "new with an unknown place"
flp new lib.htm --below
check_usage "new without a name path"
flp new lib.htm --below zz
check_rc 1 "new beside a missing label"
check_refusal "new beside a missing label" "no label at that path"
check_same "a refused new leaves the library" before.htm lib.htm
check_absent "a refused new makes no backup" lib.bak

# Every generated name taken: refused, nothing written.
{
    echo '<u>"root"'
    echo '    <u>"新しいラベル"'
    echo '    </u>'
    for n in $(seq 99); do
        echo "    <u>\"新しいラベル～$n\""
        echo '    </u>'
    done
    echo '</u>'
} | make_lib full.htm
cp full.htm full-before.htm
flp new full.htm --below "$(a 新しいラベル)"
check_rc 1 "new with every generated name taken"
check_refusal "new with every generated name taken" "unchanged"
check_same "a new without a free name leaves the library" full-before.htm full.htm

# ---------------------------------------------------------------- rename
abc
flp rename lib.htm "$(a 名前)" "$(a b)" "$(a x)"
check_rc 0 "rename"
if [ ! -s out ]; then pass; else fail "rename prints nothing"; fi
sed 's/"x"/"名前"/' <<'EOF' | expect_lib
<u>"root"
    <u>"a"
        <p>
        "甲"
        </p>
    </u>
    <u>"b"
        <u>"x"
            <p>
            "乙"
            "丙"
            </p>
        </u>
    </u>
    <u>"c"
    </u>
</u>
EOF
check_bytes "rename changes the name only" lib.htm

abc
for refused in a c "" "$(printf 'n%.0s' $(seq 80))" "$(printf 'あ%.0s' $(seq 40))"; do
    flp rename lib.htm "$(a "$refused")" "$(a c)"
    check_rc 1 "rename to '$refused'"
    check_refusal "rename to '$refused'" "name"
done
check_same "refused renames leave the library" before.htm lib.htm
long79="$(printf 'n%.0s' $(seq 79))"
flp rename lib.htm "$long79" "$(a c)"
check_rc 0 "rename to 79 bytes"
flp tree lib.htm
printf 'a\nb\n    x\n%s\n' "$long79" | expect
check_out "a 79-byte name is taken"
flp rename lib.htm "$(a b)"
check_usage "rename without a name path"

# ---------------------------------------------------------------- cut, copy, paste
abc
flp copy lib.htm "$(a b)"
check_rc 0 "copy"
check_same "copy leaves the library" before.htm lib.htm
expect_lib <<'EOF'
    <u>"b"
        <u>"x"
            <p>
            "乙"
            "丙"
            </p>
        </u>
    </u>
EOF
check_bytes "copy writes the subtree to clip.txt" clip.txt

flp paste lib.htm --below "$(a c)"
check_rc 0 "paste --below"
flp tree lib.htm
expect <<'EOF'
a
b
    x
c
b～1
    x
EOF
check_out "paste beside a label with the same name gets ～1"
flp list lib.htm "$(a b～1)" "$(a x)"
printf '乙\r\n丙\n' | expect
check_out "the pasted copy holds the phrases"

abc
flp cut lib.htm "$(a b)"
check_rc 0 "cut"
expect_lib <<'EOF'
<u>"root"
    <u>"a"
        <p>
        "甲"
        </p>
    </u>
    <u>"c"
    </u>
</u>
EOF
check_bytes "cut removes the subtree" lib.htm
check_same "cut keeps the library before it in the backup" before.htm lib.bak
flp paste lib.htm --into "$(a c)"
check_rc 0 "paste --into"
expect_lib <<'EOF'
<u>"root"
    <u>"a"
        <p>
        "甲"
        </p>
    </u>
    <u>"c"
        <u>"b"
            <u>"x"
                <p>
                "乙"
                "丙"
                </p>
            </u>
        </u>
    </u>
</u>
EOF
check_bytes "paste --into re-indents the subtree one level deeper" lib.htm
flp paste lib.htm --above "$(a a)"
check_rc 0 "paste --above"
flp paste lib.htm --above "$(a a)"
flp tree lib.htm
expect <<'EOF'
b
    x
b～1
    x
a
c
    b
        x
EOF
check_out "the clip file can be pasted again"

abc
flp paste lib.htm --below "$(a a)"
check_rc 1 "paste without a clip file"
check_refusal "paste without a clip file" "nothing to paste"
printf 'not a label\r\n' >clip.txt
flp paste lib.htm --below "$(a a)"
check_rc 1 "paste of a clip file without a label head"
check_refusal "paste of a clip file without a label head" "clip.txt:1: "
check_same "a failed paste leaves the library" before.htm lib.htm
check_absent "a failed paste leaves no temporary file" lib.htm.new
flp paste lib.htm "$(a a)"
check_usage "paste without a place"
flp cut lib.htm
check_usage "cut without a name path"
flp copy lib.htm zz
check_rc 1 "copy of a missing label"

# Files beside a library in another folder.
mkdir -p sub
cp before.htm sub/lib.htm
flp copy sub/lib.htm "$(a a)"
check_rc 0 "copy in a folder"
if [ -s sub/clip.txt ]; then pass; else fail "the clip file goes into the library's folder"; fi
flp paste sub/lib.htm --below "$(a a)"
if [ -f sub/lib.bak ]; then pass; else fail "the backup goes beside the library"; fi

# ---------------------------------------------------------------- store
abc
printf 'one\0two\r\nlines\0three' >in.bin
flp_in in.bin store lib.htm "$(a a)"
check_rc 0 "store"
expect_lib <<'EOF'
<u>"root"
    <u>"a"
        <p>
        "one"
        </p>
        <p>
        "two"
        "lines"
        </p>
        <p>
        "three"
        </p>
    </u>
    <u>"b"
        <u>"x"
            <p>
            "乙"
            "丙"
            </p>
        </u>
    </u>
    <u>"c"
    </u>
</u>
EOF
check_bytes "store replaces the label's phrases" lib.htm
check_same "store keeps the library before it in the backup" before.htm lib.bak

# Bare CR and LF become line breaks; an empty phrase and a phrase ending
# with a line break survive.
printf 'a\rb\nc\0\0end\r\n\0' >in.bin
flp_in in.bin store lib.htm "$(a c)"
check_rc 0 "store of line breaks"
flp list -0 lib.htm "$(a c)"
printf 'a\r\nb\r\nc\0\0end\r\n\0' | expect
check_out "bare CR and LF are stored as line breaks"

# A long line (longer than the reader's line buffer), quotes and Shift-JIS
# with 5Ch trail bytes pass through byte for byte.
{ printf '"%s" 表示' "$(head -c 5000 /dev/zero | tr '\0' 'q')"; printf '\0'; printf 'ソ\\\0'; } >in.bin
flp_in in.bin store lib.htm "$(a b)" "$(a x)"
check_rc 0 "store of a long line"
flp list -0 lib.htm "$(a b)" "$(a x)"
check_same "a long line reads back byte for byte" in.bin out
flp new lib.htm --below "$(a a)" >/dev/null
flp list -0 lib.htm "$(a b)" "$(a x)"
check_same "a long line survives the rewrite of another label" in.bin out

abc
printf 'root phrase\0' >in.bin
flp_in in.bin store lib.htm
check_rc 0 "store without a name path"
flp check lib.htm
printf '4 labels, 3 phrases\n' | expect
check_out "store without a name path adds to the root label"
if head -3 lib.htm | grep -q '"a"' && tail -4 lib.htm | grep -q '"root phrase"'; then pass; else fail "the root label's phrases follow its labels"; fi

abc
: >empty.bin
flp_in empty.bin store lib.htm "$(a a)"
check_rc 0 "store of nothing"
flp list lib.htm "$(a a)"
if [ ! -s out ]; then pass; else fail "store of nothing removes the phrases"; fi

abc
head -c 65536 /dev/zero | tr '\0' 'z' >in.bin
flp_in in.bin store lib.htm "$(a a)"
check_rc 1 "store of a phrase over 65,535 bytes"
check_refusal "store of a phrase over 65,535 bytes" "longer than"
check_same "a refused store leaves the library" before.htm lib.htm
flp_in in.bin store lib.htm zz
check_rc 1 "store under a missing label"
flp_in in.bin store
check_usage "store without FILE"

# ---------------------------------------------------------------- --raw
fresh
flp --raw list lib.htm "$(raw 挨拶)" "$(raw ビジネス)"
check_rc 0 "list --raw"
printf 'お世話になっております。\n' | expect_sjis
if [ "$(head -c "$(wc -c <want)" out | od -An -tx1)" = "$(od -An -tx1 <want)" ]; then pass; else fail "list --raw prints the file's bytes"; fi
flp --raw tree lib.htm
printf '挨拶\n    ビジネス\n    友人\n署名\n表現集\n    季節\n' | expect_sjis
check_out "tree --raw prints the file's bytes"
flp --raw --utf8 tree lib.htm
check_usage "--raw and --utf8 together"
if [ "$MODE" = wine ]; then
    # Without --utf8 a pipe gets the ANSI code page (932 here), converted.
    wine "$FLP" tree lib.htm >out 2>err
    check_out "tree into a pipe on Windows is in the ANSI code page"
fi

# ---------------------------------------------------------------- characters the file cannot hold
abc
for args in "rename lib.htm 名前😀 b" "new lib.htm --below 😀" "list lib.htm 😀" "search lib.htm 😀"; do
    # shellcheck disable=SC2086
    flp $args
    check_rc 1 "$args"
    check_refusal "$args" "U+1F600 at character"
done
printf 'ok\0絵😀\0' >in.bin
flp_in in.bin store lib.htm "$(a a)"
check_rc 1 "store of an emoji"
check_refusal "store of an emoji" "U+1F600 at character 5"
check_same "refused characters leave the library" before.htm lib.htm
check_absent "refused characters make no backup" lib.bak
if ! grep -q '?' lib.htm; then pass; else fail "nothing was replaced by ?"; fi

# ---------------------------------------------------------------- export, import
fresh
flp export lib.htm "$(a 挨拶)" "$(a 友人)"
check_rc 0 "export of a label"
cat >want <<'EOF'
{
  "labels": [
    {
      "name": "友人",
      "phrases": [
        "久しぶり！元気にしてる？"
      ],
      "labels": []
    }
  ]
}
EOF
check_out "export of a label gives it with its phrases and children"
flp export lib.htm
cp out lib.json
flp import copy.htm lib.json
check_rc 0 "import into a new library"
check_same "export then import gives the library byte for byte" lib.htm copy.htm
flp_in lib.json import copy2.htm
check_same "import reads standard input" lib.htm copy2.htm

cp lib.htm before.htm
flp import lib.htm lib.json
check_rc 1 "import over a library without --force"
check_refusal "import over a library without --force" "--force"
check_same "a refused import leaves the library" before.htm lib.htm
printf '{"labels": [{"name": "新"}]}' >one.json
flp import lib.htm --force one.json
check_rc 0 "import --force"
check_same "import --force keeps the old library under a name of its own" before.htm lib.001
check_refusal "import --force names the kept copy" "kept as lib.001"
flp tree lib.htm
printf '新\n' | expect
check_out "import --force writes the new library"

fresh
cp lib.htm before.htm
printf '{"labels": [{"name": "挨拶", "phrases": ["一\\r\\n二"], "labels": [{"name": "子"}]}, {"name": "署名"}]}' >two.json
printf 'mine' >lib.htm.import1
flp import lib.htm two.json --into "$(a 表現集)"
check_rc 0 "import --into"
printf 'mine' | expect
check_bytes "import --into leaves a file in the way of its scratch file alone" lib.htm.import1
check_absent "import --into removes its scratch file" lib.htm.import2
check_same "import --into keeps the library before it in the backup" before.htm lib.bak
flp tree lib.htm
printf '挨拶\n    ビジネス\n    友人\n署名\n表現集\n    季節\n    挨拶\n        子\n    署名\n' | expect
check_out "import --into adds the labels as the last children"
flp import lib.htm two.json --into
flp tree lib.htm
printf '挨拶\n    ビジネス\n    友人\n署名\n表現集\n    季節\n    挨拶\n        子\n    署名\n挨拶～1\n    子\n署名～1\n' | expect
check_out "import --into the top level makes unique names"
flp list -0 lib.htm "$(a 表現集)" "$(a 挨拶)"
printf '一\r\n二\0' | expect
check_out "imported phrases keep their line breaks"
flp check lib.htm
printf '12 labels, 11 phrases\n' | expect
check_out "the phrases of the label imported into stay"

fresh
cp lib.htm before.htm
long80=$(printf 'n%.0s' $(seq 80))
while IFS='|' read -r json what; do
    printf '%s' "$json" >bad.json
    flp import lib.htm bad.json --into "$(a 表現集)"
    check_rc 1 "import of $json"
    check_refusal "import of $json" "$what"
    flp import lib.htm --force bad.json
    check_rc 1 "import --force of $json"
done <<EOF
{"labels": [{"name": "a"},]}|line 1, column 27: malformed JSON
{"labels": {"name": "a"}}|labels is not an array
{"labels": [{"name": "$long80"}]}|label /$long80: the name is longer than 79 bytes
{"labels": [{"name": "a\\nb"}]}|the name holds a line break
{"labels": [{"name": "a", "phrases": ["😀"]}]}|label /a: phrase 1: U+1F600 at character 1
EOF
printf '{"phrases": ["x"], "labels": []}' >bad.json
flp import lib.htm bad.json --into "$(a 表現集)"
check_refusal "import --into of a document's own phrases" "--into has no label for"
{ printf '{"labels": [{"name": "a", "phrases": ["'; head -c 65536 /dev/zero | tr '\0' 'z'; printf '"]}]}'; } >bad.json
flp import lib.htm bad.json --into "$(a 表現集)"
check_refusal "import of a phrase over 65,535 bytes" "label /a: phrase 1 is longer than 65,535 bytes"
flp import lib.htm one.json --into zz
check_refusal "import into a missing label" "no label at that path"
check_same "refused imports leave the library" before.htm lib.htm
check_absent "refused imports make no backup" lib.bak
flp export lib.htm zz
check_rc 1 "export of a missing label"
: >empty.json
flp_in empty.json import lib.htm --into
check_rc 1 "import of nothing from standard input"
check_same "an import of nothing leaves the library" before.htm lib.htm

# ---------------------------------------------------------------- fill
# TEXT|what it prints, at 2019-05-01 09:05:07 (the first day of an era),
# with the clipboard text "コピー" and the input 宛名=山田.
while IFS='|' read -r text want; do
    flp fill --now "2019-05-01 09:05:07" --clipboard "$(a コピー)" --input "$(a 宛名)=$(a 山田)" "$(a "$text")"
    printf '%s\n' "$want" | expect
    check_rc 0 "fill $text"
    check_out "fill $text"
done <<'EOF'
今日は{日付}です。|今日は令和元年5月1日です。
{日付-1:ggge年m月d日(aaa)} {時刻:hh:mm:ss}|平成31年4月30日(火) 09:05:07
{date+366:yyyy/mm/dd aaaa}|2020/05/01 金曜日
{入力:宛名}様 {input:件名}|山田様 
[{クリップボード}]{カーソル}|[コピー]
{{日付}} {不明} {日付|{日付} {不明} {日付
EOF
flp fill --now "2019-13-01 00:00:00" x
check_rc 1 "fill with a month 13"
flp fill --input novalue x
check_usage "fill --input without ="
# A Windows command line holds 32,767 characters: too few to pass the bound.
if [ "$MODE" != wine ]; then
    flp fill "$(head -c 65530 /dev/zero | tr '\0' a){日付:yyyy-mm}"
    check_rc 1 "fill past the bound"
    check_refusal "fill past the bound" "longer than 65535 bytes"
fi

# ---------------------------------------------------------------- help
flp --help
check_rc 0 "--help"
if grep -q 'export FILE' out && grep -q 'import FILE' out; then pass; else fail "--help lists the commands"; fi
for command in tree list search check create new rename cut copy paste store export import fill; do
    flp "$command" --help
    if [ "$rc" = 0 ] && grep -q "^flp $command" out && grep -q 'example: .*flp ' out; then pass; else fail "$command --help"; fi
done
flp --version
if [ "$rc" = 0 ] && grep -q '^flp ' out; then pass; else fail "--version"; fi

# ---------------------------------------------------------------- usage
flp
check_usage "no command"
flp frobnicate lib.htm
check_usage "unknown command"
flp tree
check_usage "tree without FILE"
flp tree lib.htm extra
check_usage "tree with an extra argument"
flp check
check_usage "check without FILE"
flp create
check_usage "create without FILE"
flp tree -x
check_usage "an option in place of FILE"

echo "flp_test ($MODE): $checks checks, $failures failed"
[ "$failures" = 0 ]
