# Bash completion for vebix: its commands, each command's options, and files where a file goes
# (minds for MIND, any file for learn's inputs, folders for link's BOT, the chat-room bot's
# config names for irc --config).

_vebix_minds() {
    local IFS=$'\n'
    COMPREPLY+=($(compgen -f -X '!*.mdd' -- "$1") $(compgen -d -- "$1"))
    compopt -o filenames 2>/dev/null
}

_vebix() {
    local cur prev words cword
    _init_completion 2>/dev/null || {
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD-1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    }
    local commands="chat learn reply link info irc"
    COMPREPLY=()

    if [[ $cword -eq 1 ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--help --version -platform -style -geometry" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
            _vebix_minds "$cur"
        fi
        return
    fi

    local command=${words[1]} options
    case $command in
        chat) options="--name --delay --seed --quiet --help" ;;
        learn) options="--bot --speaker --format --ignore-nick --only-nick --again --check --empty --json --quiet
                      --help" ;;
        reply) options="--learn --as --json --seed --quiet --help" ;;
        link) options="--mind --turns --learn --no-delay --seed --quiet --help" ;;
        info) options="--check --words --json --quiet --help" ;;
        irc)
            options="--server --port --tls --ca-file --insecure --nick --channel --password-file
                     --sasl-user --sasl-password-file --ignore --chance --no-learn --verbose
                     --config --help"
            ;;
        *) return ;;
    esac

    case $prev in
        --name | --as | --bot | --speaker | --turns | --words | --ignore-nick | --only-nick | \
            --seed | --server | --port | --nick | --channel | --sasl-user | --ignore | --chance)
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W "auto plain transcript tsv irssi weechat znc telegram whatsapp" \
                -- "$cur"))
            return
            ;;
        --ca-file | --password-file | --sasl-password-file)
            local IFS=$'\n'
            COMPREPLY=($(compgen -f -- "$cur"))
            compopt -o filenames 2>/dev/null
            return
            ;;
        --config)
            # The bots of ~/.config/vebix/irc by name, or a file.
            local dir=${XDG_CONFIG_HOME:-$HOME/.config}/vebix/irc name
            for name in "$dir"/*.conf; do
                [[ -f $name ]] || continue
                name=${name##*/}
                name=${name%.conf}
                [[ $name == "$cur"* ]] && COMPREPLY+=("$name")
            done
            local IFS=$'\n'
            COMPREPLY+=($(compgen -f -- "$cur"))
            compopt -o filenames 2>/dev/null
            return
            ;;
        --mind)
            _vebix_minds "$cur"
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    # The position among the arguments that are not options or their values.
    local i position=0
    for ((i = 2; i < cword; i++)); do
        case ${words[i]} in
            --name | --as | --bot | --speaker | --turns | --words | --format | --mind | --seed | \
                --ignore-nick | --only-nick | --server | --port | --nick | --channel | \
                --sasl-user | --ignore | --chance | --ca-file | --password-file | \
                --sasl-password-file | --config) ((i++)) ;;
            -*) ;;
            *) ((position++)) ;;
        esac
    done
    case $command in
        link)
            if [[ $position -eq 0 ]]; then
                local IFS=$'\n'
                COMPREPLY=($(compgen -d -- "$cur"))
                compopt -o filenames 2>/dev/null
            fi
            ;;
        learn)
            if [[ $position -eq 0 ]]; then
                _vebix_minds "$cur"
            else
                local IFS=$'\n'
                COMPREPLY=($(compgen -f -- "$cur"))
                compopt -o filenames 2>/dev/null
            fi
            ;;
        chat | reply | info | irc)
            [[ $position -eq 0 ]] && _vebix_minds "$cur"
            ;;
    esac
}

complete -F _vebix vebix
