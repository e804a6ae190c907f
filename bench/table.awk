# Turns the probe's lines ("program figure value", one run's figures after
# another) into the results table: each cell the median of the runs with
# their range, each runner figure also as a ratio to the floor's, and a
# verdict against its target. With `wayland_sessions` (awk -v) the Wayland
# sessions' tables follow: the runner against the Wayland floor at 1920x1080,
# and at 3840x2160 against itself at 1920x1080.

function sorted_values(key, out,    n, i, j, v) {
    n = split(values[key], out, " ")
    for (i = 2; i <= n; i++) {
        v = out[i] + 0
        for (j = i - 1; j >= 1 && out[j] + 0 > v; j--) out[j + 1] = out[j]
        out[j + 1] = v
    }
    return n
}

function median(program, figure,    key, v, n) {
    key = program SUBSEP figure
    if (!(key in values)) return ""
    n = sorted_values(key, v)
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
}

# "median (lowest–highest)", scaled, or a dash where there is no figure.
function cell(program, figure, scale, digits,    key, v, n, m) {
    key = program SUBSEP figure
    if (!(key in values)) return "—"
    n = sorted_values(key, v)
    m = median(program, figure) / scale
    if (n == 1) return sprintf("%.*f", digits, m)
    return sprintf("%.*f (%.*f–%.*f)", digits, m, digits, v[1] / scale, digits, v[n] / scale)
}

function ratio(figure,    r, f) {
    r = median("runner", figure); f = median("floor", figure)
    if (r == "" || f == "" || f + 0 == 0) return "—"
    return sprintf("%.2f", r / f)
}

function verdict(met) { return met ? "ok" : "**missed**" }

function row(label, figure, scale, digits, target, check) {
    printf "| %s | %s | %s | %s | %s | %s |\n", label, cell("runner", figure, scale, digits),
        cell("floor", figure, scale, digits), ratio(figure), target, check
}

# The rate over every measuring window together: frames over time.
function pooled_rate(program) {
    if (spans[program] <= 0) return ""
    return intervals[program] / spans[program] * 1000
}

{
    key = $1 SUBSEP $2
    values[key] = (key in values) ? values[key] " " $3 : $3
    if ($2 == "frames" && $3 >= 2) intervals[$1] += $3 - 1
    if ($2 == "tick_span_ms") spans[$1] += $3
    if ($2 == "failed") failed[$1]++
}

function session_label(session,    label) {
    label = session
    sub(/-.*/, "", label)
    label = label (label == "weston" ? " " weston_version : " " sway_version)
    return label (session ~ /-4k$/ ? ", 3840×2160 at scale 2" : ", 1920×1080")
}

function quotient(a, b) { return a == "" || b == "" || b + 0 == 0 ? "" : a / b }

function wayland_tables(    n, s, i, session, base, target, limit, r, q, fq) {
    n = split(wayland_sessions, s, " ")
    print ""
    print "On Wayland, headless with software rendering: CPU while playing, % of one core."
    print ""
    print "| Session | Runner | Wayland floor | Runner ÷ floor | Target | Ratio | |"
    print "|---|---|---|---|---|---|---|"
    for (i = 1; i <= n; i++) {
        session = s[i]
        r = median(session ":runner", "cpu_pct")
        if (session ~ /-4k$/) {
            base = session
            sub(/-4k$/, "-1080", base)
            q = quotient(r, median(base ":runner", "cpu_pct"))
            target = "≤ 1.2 × the same at 1920×1080"
            limit = 1.2
        } else {
            q = quotient(r, median(session ":floor", "cpu_pct"))
            target = "≤ 1.2 × the Wayland floor"
            limit = 1.2
        }
        fq = quotient(r, median(session ":floor", "cpu_pct"))
        printf "| %s | %s | %s | %s | %s | %s | %s |\n", session_label(session),
            cell(session ":runner", "cpu_pct", 1, 2), cell(session ":floor", "cpu_pct", 1, 2),
            fq == "" ? "—" : sprintf("%.2f", fq),
            target, q == "" ? "—" : sprintf("%.2f", q), q == "" ? "—" : verdict(q <= limit)
    }
    print ""
    print "| Session | Compositor CPU, runner playing | Compositor CPU, floor playing | Runner peak RSS (MiB) | Floor peak RSS (MiB) | Runner wake-ups a second | Floor wake-ups a second |"
    print "|---|---|---|---|---|---|---|"
    for (i = 1; i <= n; i++) {
        session = s[i]
        printf "| %s | %s | %s | %s | %s | %s | %s |\n", session_label(session),
            cell(session ":runner", "server_cpu_pct", 1, 2), cell(session ":floor", "server_cpu_pct", 1, 2),
            cell(session ":runner", "rss_peak_kib", 1024, 1), cell(session ":floor", "rss_peak_kib", 1024, 1),
            cell(session ":runner", "wakeups_per_s", 1, 1), cell(session ":floor", "wakeups_per_s", 1, 1)
    }
    r = median("sway-1080:runner-locked", "wakeups_per_s")
    if (r != "") {
        print ""
        print "| While nobody sees the game | Runner wake-ups a second | Target | |"
        print "|---|---|---|---|"
        printf "| %s, swaylock over it | %s | ≤ 1 | %s |\n", session_label("sway-1080"),
            cell("sway-1080:runner-locked", "wakeups_per_s", 1, 2), verdict(r <= 1)
    }
}

END {
    print "On X11, Xvfb 1920×1080:"
    print ""
    print "| Figure | Runner | Floor | Runner ÷ floor | Target | |"
    print "|---|---|---|---|---|---|"

    v = ratio("first_frame_ms")
    row("exec → first frame visible (ms)", "first_frame_ms", 1, 1, "≤ 1.5 × floor",
        v == "—" ? "—" : verdict(v + 0 <= 1.5))
    g = quotient(median("runner-gnome", "first_frame_ms"), median("floor", "first_frame_ms"))
    if (g != "") {
        printf "| the same in a GNOME desktop's environment (ms) | %s | %s | %.2f | ≤ 1.5 × floor | %s |\n",
            cell("runner-gnome", "first_frame_ms", 1, 1), cell("floor", "first_frame_ms", 1, 1), g, verdict(g <= 1.5)
        t = median("runner-gnome", "toolkit_libraries")
        printf "| libraries mapped while playing there (of a toolkit) | %d (%d) | %d | — | no toolkit library | %s |\n",
            median("runner-gnome", "libraries"), t, median("floor", "libraries"), verdict(t == 0)
    }
    v = ratio("key_exit_ms")
    row("key → process gone (ms)", "key_exit_ms", 1, 1, "≤ 1.5 × floor", v == "—" ? "—" : verdict(v + 0 <= 1.5))
    # A runner that draws nothing does no work to compare with the floor's.
    still = pooled_rate("runner") == ""
    v = ratio("cpu_pct")
    row("CPU while playing (% of one core)", "cpu_pct", 1, 2, "≤ 1.2 × floor",
        still ? "— (nothing moves)" : v == "—" ? "—" : verdict(v + 0 <= 1.2))
    v = ratio("server_cpu_pct")
    row("X server CPU meanwhile (% of one core)", "server_cpu_pct", 1, 2, "≤ 1.2 × floor",
        still ? "— (nothing moves)" : v == "—" ? "—" : verdict(v + 0 <= 1.2))
    row("wake-ups a second while playing", "wakeups_per_s", 1, 1, "", "")
    v = median("runner-unseen", "wakeups_per_s")
    if (v != "") {
        printf "| wake-ups a second under the X server's screen saver | %s | — | — | ≤ 1 | %s |\n",
            cell("runner-unseen", "wakeups_per_s", 1, 2), verdict(v <= 1)
    }

    r = pooled_rate("runner"); f = pooled_rate("floor")
    printf "| tick rate, all windows pooled (Hz) | %s | %s | %s | 64 ± 0.5 %% | %s |\n",
        r == "" ? "— (nothing moves)" : sprintf("%.3f", r), f == "" ? "—" : sprintf("%.3f", f),
        r == "" || f == "" ? "—" : sprintf("%.4f", r / f),
        r == "" ? "—" : verdict(r >= 63.68 && r <= 64.32)
    row("tick interval, standard deviation (ms)", "tick_jitter_ms", 1, 2, "", "")
    row("longest tick interval (ms)", "tick_max_ms", 1, 1, "", "")
    row("intervals over 1.5 ticks, per window", "late_ticks", 1, 0, "", "")

    v = ratio("rss_peak_kib")
    row("peak RSS (MiB)", "rss_peak_kib", 1024, 1, "≤ 2.5 × floor", v == "—" ? "—" : verdict(v + 0 <= 2.5))
    row("libraries mapped while playing", "libraries", 1, 0, "", "")
    v = median("runner", "rss_growth_kib")
    row("RSS growth over a window (MiB)", "rss_growth_kib", 1024, 2, "flat (< 1)", v == "" ? "—" : verdict(v < 1024))
    if (("runner-10min" SUBSEP "rss_kib") in values) {
        g = median("runner-10min", "rss_growth_kib")
        printf "| RSS at 1 min → growth by 10 min (MiB) | %.1f → +%.2f | — | — | flat (< 1) | %s |\n",
            median("runner-10min", "rss_kib") / 1024, g / 1024, verdict(g < 1024)
        r = median("runner-10min", "tick_hz")
        printf "| tick rate over minutes 1 to 10 (Hz) | %s | — | — | 64 ± 0.5 %% | %s |\n",
            r == "" ? "— (nothing moves)" : sprintf("%.3f", r), r == "" ? "—" : verdict(r >= 63.68 && r <= 64.32)
    }

    v = median("panel", "first_frame_ms")
    if (v == "") {
        print "| panel: exec → dialog visible (ms) | not built yet | — | — | ≤ 200 | — |"
    } else {
        printf "| panel: exec → dialog visible (ms) | %s | — | — | ≤ 200 | %s |\n",
            cell("panel", "first_frame_ms", 1, 1), verdict(v <= 200)
    }

    if (wayland_sessions != "") wayland_tables()

    for (program in failed) printf "\n%d run(s) of %s failed; see the messages above the table.\n", failed[program], program
}
