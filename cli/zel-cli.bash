# Bash completion for zel-cli: the commands, the ports it lists for --port,
# the rates for --baud and file names elsewhere.
_zel_cli() {
    local current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD - 1]}
    case $previous in
    --port | -p)
        COMPREPLY=($(compgen -W "$(zel-cli ports 2>/dev/null | cut -f1)" -- "$current"))
        return ;;
    --baud | -b)
        COMPREPLY=($(compgen -W "38400 115200 921600" -- "$current"))
        return ;;
    esac
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W "ports info config stream record reset reboot identify
            calibrate update --help --version" -- "$current"))
    elif [ "${COMP_WORDS[1]}" = config ] && [ "$COMP_CWORD" -eq 2 ]; then
        COMPREPLY=($(compgen -W "set" -- "$current"))
    else
        COMPREPLY=($(compgen -f -- "$current"))
    fi
}
complete -o filenames -F _zel_cli zel-cli
