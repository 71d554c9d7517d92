#!/usr/bin/env bash
# asset_corpus.sh TOOL OUT: gathers the test and example models that Debian
# packages ship (OBJ, PLY, STL, OFF, glTF and glb as they are; OpenSCAD examples
# exported to STL by openscad, as a user would), morphs each against the
# built-in icosahedron with TOOL (a vorlane-merge) and counts the results:
# morphed, or refused by reason (the line's wording with its numbers
# masked). OUT keeps the list of files, one line per file with its result
# and the line as said, and the counts. Packages: assimp-testmodels, occt-misc, prusa-slicer,
# minetest-data, glmark2-data, openscad (apt-get install them first).
set -uo pipefail
tool="$(realpath "$1")"; out="$2"
mkdir -p "$out/scad"; out="$(realpath "$out")"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
roots=(/usr/share/assimp/models /usr/share/opencascade/data /usr/share/PrusaSlicer
       /usr/share/games/minetest /usr/share/glmark2)
find "${roots[@]}" -type f \( -iname '*.obj' -o -iname '*.ply' -o -iname '*.stl' -o -iname '*.off' \
                            -o -iname '*.gltf' -o -iname '*.glb' \) 2>/dev/null |
  LC_ALL=C sort > "$out/files"
# OpenSCAD's examples, exported once; an example that does not export in
# half a minute is left out.
for scad in /usr/share/openscad/examples/*/*.scad; do
  stl="$out/scad/$(basename "$(dirname "$scad")")-$(basename "$scad" .scad).stl"
  [ -s "$stl" ] || timeout 30 openscad -q -o "$stl" "$scad" > /dev/null 2>&1 || rm -f "$stl"
  [ -s "$stl" ] && echo "$stl" >> "$out/files"
done
: > "$out/results"
while read -r file; do
  (cd "$work" && timeout 300 "$tool" "$file" icosahedron -o out.glb > /dev/null 2> err); status=$?
  line=$(tail -1 "$work/err")
  if [ "$status" -eq 0 ] && [ -z "$line" ] && [ -s "$work/out.glb" ]; then
    reason="morphed"
  elif [ "$status" -eq 124 ]; then
    reason="timed out"
  elif [ "$status" -gt 128 ]; then
    reason="crashed (signal $((status - 128)))"
  else
    reason=$(printf '%s' "${line:-no output}" | sed "s|^vorlane-merge: ||; s|^$file||; s|^: ||; s|[0-9][0-9.e+-]*|N|g")
    # A refusal says its reason in one line; more is a fault to count apart.
    [ "$(wc -l < "$work/err")" -gt 1 ] && reason="$reason [more than one line]"
  fi
  rm -f "$work/out.glb" "$work/err"
  printf '%s\t%s\t%s\n' "$file" "$reason" "$line" >> "$out/results"
done < "$out/files"
total=$(wc -l < "$out/results")
morphed=$(cut -f2 "$out/results" | grep -c '^morphed$')
{ echo "$morphed of $total morphed ($((100 * morphed / total)) %)"
  cut -f2 "$out/results" | grep -v '^morphed$' | sort | uniq -c | sort -rn; } | tee "$out/counts"
