# Sourced by the benchmark scripts: what they all measure with. Expects BENCH (the benchmark's name for
# messages) and work (its scratch folder).

# The median of the numbers on standard input, one a line.
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# timed COMMAND...: runs it under /usr/bin/time, its output in $work/out and $work/err; prints "WALL CPU"
# in seconds.
timed() {
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" > "$work/out" 2> "$work/err" || {
    echo "$BENCH benchmark: '$*' failed:" >&2
    cat "$work/err" >&2
    return 1
  }
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time"
}
