# bash completion for brindle. The options of each command are read from its
# own --help, so they stay true to the program installed.

_brindle_options() {
  local cmd=$1
  local help
  if [ "$cmd" = convert ]; then
    help=$(brindle --help 2>/dev/null)
  else
    help=$(brindle "$cmd" --help 2>/dev/null)
  fi
  # Option names only (-o, --output-dir), never the words of their help texts.
  printf '%s\n' "$help" | sed -n 's/^ *\(-[-A-Za-z0-9,]*\).*/\1/p' | tr ',' '\n' | grep '^-'
}

_brindle() {
  local cur prev cmd i
  COMPREPLY=()
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  local commands="convert dump rewrite info draw diff export"

  cmd=convert
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      convert | dump | rewrite | info | draw | diff | export) cmd=${COMP_WORDS[i]}; break ;;
      -*) ;;
      *) break ;;
    esac
  done

  case $prev in
    -o | --output-dir)
      if [ "$cmd" = convert ]; then
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
      fi
      ;;
    --dxf)
      if [ "$cmd" = export ]; then
        mapfile -t COMPREPLY < <(compgen -W "R2018 R2000" -- "$cur")
        return
      fi
      ;;
    --output)
      if [ "$cmd" = export ]; then
        mapfile -t COMPREPLY < <(compgen -f -X '!*.[dD][xX][fF]' -- "$cur"; compgen -d -- "$cur")
        return
      fi
      ;;
    --settings)
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return
      ;;
    --version)
      if [ "$cmd" = rewrite ] || [ "$cmd" = convert ]; then
        mapfile -t COMPREPLY < <(compgen -W "220 230 300 351 420 600 700" -- "$cur")
        return
      fi
      ;;
    -j | --jobs | --tolerance)
      return
      ;;
  esac

  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(_brindle_options "$cmd")" -- "$cur")
    return
  fi

  # Drawings and folders to reach them; the first word may also be a command.
  mapfile -t COMPREPLY < <(compgen -f -X '!*.[jJ][wW][wW]' -- "$cur"
    compgen -f -X '!*.[sS][fF][cC]' -- "$cur"; compgen -d -- "$cur")
  if [ "$COMP_CWORD" -eq 1 ]; then
    mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -W "$commands" -- "$cur")
  fi
}

complete -o filenames -F _brindle brindle
