# bash completion for vaultline, the Brindle+ command line.
# Load it with: source vaultline.bash (from the drive), or copy it into
# ~/.local/share/bash-completion/completions/vaultline.
# Selection names come from the drive itself ("vaultline list").

_vaultline_selections() {
  local program=$1 drive=$2
  if [[ -n $drive ]]; then
    "$program" --drive "$drive" list 2>/dev/null | cut -f2
  else
    "$program" list 2>/dev/null | cut -f2
  fi
}

_vaultline() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion || return
  else
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  fi

  local commands="list create rename delete relocate backup snapshots ls find diff restore cat mount check forget compact config exclude"
  local program=${words[0]} drive="" command="" position=0 i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --drive) drive=${words[i+1]}; ((i++)) ;;
      --to|--keep-last|--keep-daily|--keep-weekly|--keep-monthly|--newer|--older|--first|--last) ((i++)) ;;
      -*) ;;
      *) if [[ -z $command ]]; then command=${words[i]}; else ((position++)); fi ;;
    esac
  done

  case $prev in
    --drive|--to|--with) COMPREPLY=($(compgen -d -- "$cur")); return ;;
    --keep-last|--keep-daily|--keep-weekly|--keep-monthly|--newer|--older) return ;;
    --first|--last) COMPREPLY=($(compgen -W "latest" -- "$cur")); return ;;
  esac

  if [[ -z $command ]]; then
    if [[ $cur == -* ]]; then
      COMPREPLY=($(compgen -W "--drive --json -v --verbose --help --version" -- "$cur"))
    else
      COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    fi
    return
  fi

  local options=""
  case $command in
    restore) options="--to --overwrite" ;;
    backup) options="--all --notify" ;;
    check) options="--read-data" ;;
    ls) options="-l --long" ;;
    find) options="--newer --older --first --last" ;;
    diff) options="--with" ;;
    forget) options="--keep-last --keep-daily --keep-weekly --keep-monthly --dry-run --compact" ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options --json" -- "$cur"))
    return
  fi

  case $command:$position in
    create:1 | relocate:1) COMPREPLY=($(compgen -f -- "$cur")) ;;
    rename:0 | delete:0 | relocate:0 | backup:0 | snapshots:0 | ls:0 | find:0 | diff:0 | restore:0 | cat:0 | mount:0 | \
      check:0 | forget:0 | compact:0 | exclude:0)
      local IFS=$'\n'
      COMPREPLY=($(compgen -W "$(_vaultline_selections "$program" "$drive")" -- "$cur"))
      ;;
    ls:1 | diff:1 | diff:2 | restore:1 | cat:1 | forget:*) COMPREPLY=($(compgen -W "latest" -- "$cur")) ;;
    mount:1) COMPREPLY=($(compgen -d -- "$cur")) ;;
    config:0) COMPREPLY=($(compgen -W "max-file-size max-backup-size" -- "$cur")) ;;
    exclude:1) COMPREPLY=($(compgen -W "add remove test" -- "$cur")) ;;
  esac
}

complete -F _vaultline vaultline ./vaultline
