#!/bin/bash
# End-to-end test of flp: runs the cases of flp_cases.txt (its head says how
# a case reads) with the built flp on scratch libraries, checking the output,
# the exit code and the bytes of the files left behind.
#
# usage: flp_test.sh FLP [wine] [CASES]
# With "wine" FLP is flp.exe and runs under Wine. The script runs in a UTF-8
# locale and the cases type names and texts as a user does, in UTF-8; output
# comes back in UTF-8 (under Wine after --utf8, as output into a pipe is
# otherwise in the ANSI code page). Library files are Shift-JIS.
set -u

FLP=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
MODE=${2:-native}
TESTS=$(cd "$(dirname "$0")/.." && pwd)
CASES=${3:-$TESTS/flp/flp_cases.txt}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/flp-test.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1

# ---------------------------------------------------------------- for the cases
# flp as a user runs it (under Wine with --utf8, except for --raw).
flp() {
    if [ "$MODE" != wine ]; then
        "$FLP" "$@"
    elif [ "${1:-}" = --raw ]; then
        wine "$FLP" "$@"
    else
        wine "$FLP" --utf8 "$@"
    fi
}

sjis() { iconv -f UTF-8 -t CP932; }

# An argument for --raw: Shift-JIS bytes (under Wine given in UTF-8, which
# Wine hands to the program in code page 932).
raw() {
    if [ "$MODE" = wine ]; then printf '%s' "$1"; else printf '%s' "$1" | sjis; fi
}

# A library file from standard input, in the writers' layout.
make_lib() { sjis | sed 's/$/\r/' >"$1"; }

# ---------------------------------------------------------------- checks
# The driver's own names start with _, so that the cases' shell lines
# cannot take them.
checks=0
failures=0
_commands=0
_at=0      # the line of the case file being run
_cmd=      # the command line whose exit and output are still to check,
_cmd_at=0  # and its line

pass() { checks=$((checks + 1)); }
fail() {
    checks=$((checks + 1))
    failures=$((failures + 1))
    echo "FAIL: ${CASES##*/}:$_at: ${_cmd:+\$ $_cmd: }$*" >&2
}
check() { if eval "$1"; then pass; else fail "$2"; fi; }

# The checks of the last command that wait for its last line: the exit
# code, the refusal or usage on stderr, the output.
_flush() {
    [ -n "$_cmd" ] || return 0
    local _at=$_cmd_at
    if [ "$_want_rc" = usage ]; then
        check '[ "$_rc" = 2 ]' "exit $_rc, want 2"
        check "grep -q '^usage: flp' err && [ ! -s out ]" "no usage text on stderr, or output: $(head -c 300 err)"
    else
        check '[ "$_rc" = "$_want_rc" ]' "exit $_rc, want $_want_rc; stderr: $(head -c 300 err)"
    fi
    # Exactly one line on stderr, starting with "flp: " and holding the text.
    [ -z "$_want_err" ] ||
        check '[ "$(wc -l <err)" = 1 ] && head -c 5 err | grep -q "^flp: " && grep -qF -- "$_want_err" err' \
              "stderr should be one line 'flp: ...$_want_err...', is: $(head -c 300 err)"
    if [ "$_want_out" = 1 ]; then
        if [ "$_want_sjis" = 1 ]; then sjis <.want >.want-sjis && mv .want-sjis .want; fi
        _same out .want "the output differs from the expected bytes"
    fi
    _cmd=
}

# _same FILE WANT WHAT: FILE holds WANT's bytes.
_same() {
    if cmp -s "$1" "$2"; then
        pass
    else
        fail "$3"
        diff <(od -c "$2") <(od -c "$1") | head -20 >&2
    fi
}

# ---------------------------------------------------------------- the table
mapfile -t _L <"$CASES"
declare -A _libs

_run() {
    local _n=$1 _line _word _rest _text
    while [ "$_n" -le "$2" ]; do
        _line=${_L[$_n]}
        _at=$((_n + 1))
        _word=${_line%% *}
        _rest=${_line#"$_word"}
        _rest=${_rest# }
        case $_word in
        '#'* | for | only) ;;
        '<')
            _flush
            rm -f ./*.htm ./*.bak ./*.new ./clip.txt ./*.00?
            case $_rest in
            '') ;;
            sample) cp "$TESTS/sample/library.htm" lib.htm ;;
            */*) cp "$TESTS/$_rest" lib.htm ;;
            *) printf '%s\n' "${_libs[$_rest]}" | make_lib lib.htm ;;
            esac
            [ ! -f lib.htm ] || cp lib.htm before.htm
            ;;
        sh) eval "$_rest" ;;
        '$')
            _flush
            _cmd=$_rest _cmd_at=$_at _want_rc=0 _want_err= _want_out=0 _want_sjis=0
            : >.want
            _commands=$((_commands + 1))
            eval "$_rest" </dev/null >out 2>err
            _rc=$?
            ;;
        '?')
            _want_rc=${_rest%% *}
            [ "$_want_rc" = "$_rest" ] || _want_err=${_rest#* }
            ;;
        '>') printf '%s\n' "$_rest" >>.want && _want_out=1 ;;
        '%') printf '%b' "$_rest" >>.want && _want_out=1 ;;
        sjis) _want_sjis=1 ;;
        '=')
            if [ "$_rest" != "${_rest#* }" ]; then
                _same "${_rest%% *}" "${_rest#* }" "${_rest%% *} differs from ${_rest#* }"
            else
                _text=
                while [ $((_n + 1)) -le "$2" ] && [ "${_L[$((_n + 1))]:0:1}" = '|' ]; do
                    _n=$((_n + 1))
                    _text+="${_L[$_n]:2}"$'\n'
                done
                printf '%s' "$_text" | make_lib .lib
                _same "$_rest" .lib "$_rest differs from the expected bytes"
            fi
            ;;
        -) check '[ ! -e "$_rest" ]' "$_rest should not exist" ;;
        test) check "$_rest" "does not hold: $_rest" ;;
        *) fail "a line this script does not know: $_line" ;;
        esac
        _n=$((_n + 1))
    done
    _flush
}

# _block FIRST LAST: a library, or a case run once or once for each word.
_block() {
    local _from=$1 _to=$2 _k _ln _var _w
    while [ "$_from" -lt "$_to" ] && [ "${_L[$_from]:0:1}" = '#' ]; do _from=$((_from + 1)); done
    if [ "${_L[$_from]%% *}" = library ]; then
        _var=${_L[$_from]#library }
        _libs[$_var]=
        for ((_k = _from + 1; _k <= _to; _k++)); do _libs[$_var]+="${_L[$_k]:2}"$'\n'; done
        _libs[$_var]=${_libs[$_var]%$'\n'}
        return
    fi
    for ((_k = _from; _k <= _to; _k++)); do
        _ln=${_L[$_k]}
        case $_ln in
        "only $MODE") ;;
        'only '*) return ;;
        'for '*)
            _var=${_ln#for }
            _var=${_var%% *}
            eval "set -- ${_ln#for "$_var" in }"
            for _w; do
                printf -v "$_var" '%s' "$_w"
                _run "$_from" "$_to"
            done
            return
            ;;
        esac
    done
    _run "$_from" "$_to"
}

_first=-1
for ((_i = 0; _i <= ${#_L[@]}; _i++)); do
    if [ "$_i" -lt "${#_L[@]}" ] && [ -n "${_L[$_i]}" ]; then
        [ "$_first" -ge 0 ] || _first=$_i
    elif [ "$_first" -ge 0 ]; then
        _block "$_first" $((_i - 1))
        _first=-1
    fi
done

[ "$_commands" -gt 0 ] || fail "no command was run from $CASES"
echo "flp_test ($MODE): $_commands commands, $checks checks, $failures failed"
[ "$failures" = 0 ]
