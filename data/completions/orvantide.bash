# bash completion for orvantide: subcommands, options, kinds and the ids of the history's clips.
_orvantide() {
    local cur prev words cword
    _init_completion || return
    local commands="list get copy add delete pin unpin clear pause resume toggle status quit"
    if ((cword == 1)); then
        mapfile -t COMPREPLY < <(compgen -W "$commands --toggle --service --version --help" -- "$cur")
        return
    fi
    case ${words[1]} in
        list)
            case $prev in
                --kind)
                    mapfile -t COMPREPLY < <(compgen -W "texto imagen color archivos" -- "$cur")
                    return
                    ;;
                --limit | --search) return ;;
            esac
            mapfile -t COMPREPLY < <(compgen -W "--limit --kind --search --json -0 --null" -- "$cur")
            ;;
        add)
            if [[ $prev == --type ]]; then
                mapfile -t COMPREPLY < <(compgen -W "text/plain text/html text/uri-list image/png image/jpeg" -- "$cur")
                return
            fi
            mapfile -t COMPREPLY < <(compgen -W "--type" -- "$cur")
            ;;
        status)
            mapfile -t COMPREPLY < <(compgen -W "--json" -- "$cur")
            ;;
        get | copy | delete | pin | unpin)
            ((cword == 2)) || return
            # The ids the running history lists, newest first (pinned clips lead).
            mapfile -t COMPREPLY < <(compgen -W "$(orvantide list 2>/dev/null | cut -f1)" -- "$cur")
            ;;
    esac
}
complete -F _orvantide orvantide
