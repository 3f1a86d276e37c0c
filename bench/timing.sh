# Sourced by the benchmark scripts. read_timing FILE sets wall (seconds) and rss (MB, peak) from
# what `/usr/bin/time -v -o FILE` wrote.
read_timing() {
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {
        n = split($2, p, ":"); s = 0
        for (i = 1; i <= n; i++) s = s * 60 + p[i]
        printf "%.2f", s }' "$1")
    rss=$(awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }' "$1")
}
