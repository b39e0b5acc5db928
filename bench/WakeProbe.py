#!/usr/bin/env python3
"""How late a process that only sleeps wakes up on this machine: a probe of the scheduler,
independent of Tolvane, to tell the machine's load from our paint path's own cost.

    bench/WakeProbe.py SECONDS [PERIOD_MS]
    chrt -f 10 bench/WakeProbe.py 20      # at the GUI thread's prompt priority
    bench/WakeProbe.py 20                 # at normal priority, as the X server runs

Sleeps until each due time (every PERIOD_MS, 10 by default, on CLOCK_MONOTONIC) and prints the
wake-up's lateness: median, p99 and max in milliseconds.
"""
import sys
import time

seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 20.0
period = (float(sys.argv[2]) if len(sys.argv) > 2 else 10.0) / 1000.0
late = []
due = time.monotonic() + period
end = due + seconds
while due < end:
    pause = due - time.monotonic()
    if pause > 0:
        time.sleep(pause)
    late.append((time.monotonic() - due) * 1000.0)
    due += period
late.sort()
print("wake-ups %d every %.1f ms: late median %.3f, p99 %.3f, max %.3f ms"
      % (len(late), period * 1000.0, late[len(late) // 2], late[len(late) * 99 // 100], late[-1]))
