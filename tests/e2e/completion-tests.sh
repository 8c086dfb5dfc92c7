#!/usr/bin/env bash
# Each shell's completion, against a running program with two clips: a subcommand, a kind and the
# clips' ids. Run under scripts/xvfb-run.sh.
#   tests/e2e/completion-tests.sh <orvantide>
set -uo pipefail
program=$1
completions=$(cd "$(dirname "$0")/../../data/completions" && pwd)
bin=$(mktemp -d -t orvantide-completion.XXXXXX)
ln -s "$program" "$bin/orvantide"
export PATH="$bin:$PATH"

failures=0
expect() {  # what, expected, got
    if [[ $'\n'$3$'\n' != *$'\n'$2$'\n'* ]]; then
        echo "FAIL: $1: expected «$2» among:" >&2
        printf '  %s\n' "$3" >&2
        failures=$((failures + 1))
    fi
}

orvantide >/dev/null 2>&1 &
trap 'orvantide quit >/dev/null 2>&1; kill $! 2>/dev/null; rm -rf "$bin"' EXIT
for _ in $(seq 1 300); do
    orvantide list >/dev/null 2>&1 && break
    sleep 0.1
done
first=$(printf 'uno' | orvantide add)
second=$(printf 'dos' | orvantide add)

# bash, as an interactive shell with bash-completion loaded completes: COMP_* as readline sets them.
bash_complete() {
    bash -i -c "source /usr/share/bash-completion/bash_completion
        source '$completions/orvantide.bash'
        COMP_LINE='$1'; COMP_POINT=\${#COMP_LINE}
        read -r -a COMP_WORDS <<<\"\$COMP_LINE\"
        [[ \$COMP_LINE == *' ' ]] && COMP_WORDS+=('')
        COMP_CWORD=\$((\${#COMP_WORDS[@]} - 1))
        _orvantide orvantide
        printf '%s\n' \"\${COMPREPLY[@]}\"" 2>/dev/null
}
expect "bash: a subcommand" pin "$(bash_complete 'orvantide pi')"
expect "bash: a kind" imagen "$(bash_complete 'orvantide list --kind im')"
expect "bash: quit" quit "$(bash_complete 'orvantide qu')"
expect "bash: a MIME type" text/html "$(bash_complete 'orvantide add --type text/h')"
expect "bash: NUL-ended records" --null "$(bash_complete 'orvantide list --n')"
ids=$(bash_complete 'orvantide get ')
expect "bash: the first clip's id" "$first" "$ids"
expect "bash: the second clip's id" "$second" "$ids"

fish_complete() {
    fish --no-config -c "source '$completions/orvantide.fish'; complete -C '$1'" | cut -f1
}
expect "fish: a subcommand" pin "$(fish_complete 'orvantide pi')"
expect "fish: a kind" imagen "$(fish_complete 'orvantide list --kind ')"
expect "fish: status" status "$(fish_complete 'orvantide st')"
expect "fish: a MIME type" text/uri-list "$(fish_complete 'orvantide add --type ')"
expect "fish: a clip's id" "$second" "$(fish_complete 'orvantide copy ')"

zsh -n "$completions/_orvantide" || { echo "FAIL: zsh: the completion does not parse" >&2; failures=$((failures + 1)); }

((failures == 0)) && echo "completion checked" || exit 1
