# Timing helpers the benchmark scripts share; sourced, not run.

now() { date +%s.%N; }
# Seconds that COMMAND takes, after a sync that flushes what came before it.
seconds() {
  sync
  local start end
  start=$(now)
  "$@" >/dev/null
  end=$(now)
  echo "$end - $start" | bc -l
}
# The median of the numbers on standard input, one per line (the upper one of two).
median() { sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
