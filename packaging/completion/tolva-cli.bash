# bash completion for tolva-cli: commands, options, format names, files and folders.
_tolva_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local command="" word
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case $word in translate | verify | locations | merge) command=$word; break ;; esac
    done
    case $prev in
        --source-format | --destination-format | --format)
            mapfile -t COMPREPLY < <(compgen -W "mosaic netscape shortcuts xbel chromium firefox firefox-backup link-page" -- "$cur")
            return ;;
        --source | --destination | --location)
            # A set is a file (bookmarks, hotlist) or a folder (shortcuts).
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return ;;
        --cookies)
            mapfile -t COMPREPLY < <(compgen -W "prompt run always" -- "$cur")
            return ;;
        --match)
            mapfile -t COMPREPLY < <(compgen -W "exact loose" -- "$cur")
            return ;;
        --duplicates)
            mapfile -t COMPREPLY < <(compgen -W "keep first" -- "$cur")
            return ;;
        --report)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return ;;
        --timeout | --retries | --skip | --skip-folder | --archive-url)
            return ;;
    esac
    local words
    case $command in
        translate)
            words="--source-format --source --destination-format --destination --fix-ampersands
                   --no-fix-ampersands --restore-names --no-restore-names --yes --no --help" ;;
        verify)
            words="--format --location --timeout --retries --rename-in-place --repair --cookies --jobs
                   --per-host --confirm --user-agent --report --dry-run --update-moved --no-backup
                   --suggest-archive --archive-url --only-unverified --skip --skip-folder --verbose --yes --no --help" ;;
        locations)
            words="--format --help" ;;
        merge)
            words="--destination-format --destination --match --duplicates --report --fix-ampersands
                   --no-fix-ampersands --restore-names --no-restore-names --yes --no --help" ;;
        *)
            words="translate verify locations merge --help --version" ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
    # A merge's sources are files and folders, each perhaps after its format and a colon.
    if [[ $command == merge && $cur != -* ]]; then
        compopt -o filenames 2>/dev/null
        mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -- "$cur")
    fi
}
complete -F _tolva_cli tolva-cli
