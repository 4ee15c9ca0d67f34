#!/usr/bin/env bash
# check_manual.sh DIR [PICTURES_SCRIPT]: the manual's pages in DIR link only
# to what is there. Every href and src of every page names a file under DIR
# (or a web address, or an anchor id that exists in the page it points to),
# every picture in DIR/images is shown by some page and, given the script
# that draws the pictures, drawn by it, and the two pages the help window's
# buttons open exist. Prints each fault; exit 1 when there is one.
set -uo pipefail
dir=${1:?usage: check_manual.sh DIR [PICTURES_SCRIPT]}
script=${2:-}
[ -z "$script" ] || script=$(realpath "$script")
cd "$dir" || exit 2
faults=0
fault() {
  echo "$1"
  faults=$((faults + 1))
}
# resolve PATH: sets target to PATH from the manual's folder with . and ..
# taken out (a leading .. stays), without a process per link.
resolve() {
  local IFS=/ part
  local -a out=()
  for part in $1; do
    case $part in
      "" | .) ;;
      ..) if [ ${#out[@]} -gt 0 ] && [ "${out[-1]}" != .. ]; then unset 'out[-1]'; else out+=(..); fi ;;
      *) out+=("$part") ;;
    esac
  done
  target="${out[*]}"
}

for page in tavrine.htm tavrinekanni.htm; do
  [ -f "$page" ] || fault "$page: missing (the help window's buttons open it)"
done

shopt -s nullglob globstar
pages=(**/*.htm)
[ ${#pages[@]} -gt 0 ] || fault "no pages in $dir"
declare -A used=()
for page in "${pages[@]}"; do
  base=$(dirname "$page")
  grep -q '<meta charset="UTF-8">' "$page" || fault "$page: no <meta charset=\"UTF-8\">"
  iconv -f UTF-8 -t UTF-8 "$page" >/dev/null 2>&1 || fault "$page: not UTF-8"
  # One reference a line: attribute="value".
  while IFS= read -r ref; do
    value=${ref#*=\"}
    value=${value%\"}
    case $value in
      http://* | https://* | mailto:*) continue ;;
      "") fault "$page: empty $ref"; continue ;;
    esac
    path=${value%%#*}
    anchor=
    [[ $value == *"#"* ]] && anchor=${value#*#}
    if [ -z "$path" ]; then
      target=$page
    else
      resolve "$base/$path"
      case $path in /*) target=/ ;; esac
      case $target in .. | ../* | /*) fault "$page: $value leaves the manual"; continue ;; esac
      [ -f "$target" ] || { fault "$page: $value not found"; continue; }
    fi
    used[$target]=1
    if [ -n "$anchor" ] && ! grep -q "id=\"$anchor\"" "$target"; then
      fault "$page: $value: no id=\"$anchor\" in $target"
    fi
  done < <(grep -o -E '(href|src)="[^"]*"' "$page")
done

for picture in images/*; do
  [ -n "${used[$picture]:-}" ] || fault "$picture: shown by no page"
  if [ -n "$script" ] && ! grep -q "\$out/$(basename "$picture")\"" "$script"; then
    fault "$picture: not drawn by $(basename "$script")"
  fi
done

[ "$faults" -eq 0 ] || { echo "$faults fault(s) in the manual"; exit 1; }
echo "manual: ${#pages[@]} pages, links and pictures resolve"
