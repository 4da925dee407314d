#!/usr/bin/env python3
"""Evaluates one bench/soak run from its files in --run:
  cameras.log  "FAULT <unix_ms> <name> start|end" from soak_cameras
  events.log   "<unix_ms> <camera> <stream> signal-lost" and
               "<unix_ms> <camera> <stream> resumed <gap_ms>" from fennwick-host --events
  rss.txt      "minute rss_kb" samples of the host
  host.out     the host's per-stream summaries

A gap is a stretch without frames longer than the host's 1000 ms event
threshold: it ends at a "resumed" event and began gap_ms earlier. A gap
belongs to a fault when its frames stopped between the fault's start and T2/2
after its end; other gaps (a loaded machine, the driver on its own) are listed
apart and held to the same promises. The driver's promises, with T2 = 10000 ms:
  - a stream is back within 2000 ms of the camera's return: first frame after
    the gap <= max(fault end, last frame + T2/2) + 2000, where last frame + T2/2
    is when a stream that went silent without a word is declared lost and
    reconnected;
  - the signal-loss notice comes no earlier than T2 - tolerance after the last
    frame and no later than T2 + 2000 ms; a gap longer than that must have one;
  - every stream delivers frames at the end (no signal loss left open);
  - resident memory at the end is within 5 % of the sample at minute 2.
Prints the tables and, last, "soak: PASS" or "soak: FAIL (reasons)"; exit
status 0 for PASS, 1 for FAIL."""

import argparse
import collections
import os
import re
import statistics
import sys

T2_MS = 10000
NOTICE_TOLERANCE_MS = 250
NOTICE_LATE_MS = 2000
RETURN_LIMIT_MS = 2000
# Frames already under way when a fault starts arrive a little after its start line.
FAULT_LEAD_MS = 500
MEMORY_BASE_MINUTE = 2
MEMORY_GROWTH_LIMIT = 0.05
FAILURES_SHOWN = 25


class Fault:
    def __init__(self, name, start):
        self.name, self.start, self.end = name, start, None
        self.window_end = float("inf")


class Gap:
    def __init__(self, stream, last_frame, first_frame):
        self.stream, self.last_frame, self.first_frame = stream, last_frame, first_frame
        self.notices = []
        self.fault = None
        self.returned = None  # unix ms when the camera was back to normal


def read_lines(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8", errors="replace") as file:
        return file.read().splitlines()


def read_faults(run):
    faults = []
    for line in read_lines(os.path.join(run, "cameras.log")):
        parts = line.split()
        if len(parts) == 4 and parts[0] == "FAULT":
            if parts[3] == "start":
                faults.append(Fault(parts[2], int(parts[1])))
            elif faults and faults[-1].name == parts[2]:
                faults[-1].end = int(parts[1])
    for fault, following in zip(faults, faults[1:]):
        fault.window_end = following.start
    return faults


def read_events(run):
    """Per stream ("<camera> <stream>"), its events in time order."""
    events = collections.defaultdict(list)
    for line in read_lines(os.path.join(run, "events.log")):
        parts = line.split()
        if len(parts) >= 4 and parts[0].isdigit():
            gap = int(parts[4]) if parts[3] == "resumed" and len(parts) > 4 else 0
            events[parts[1] + " " + parts[2]].append((int(parts[0]), parts[3], gap))
    for stream_events in events.values():
        stream_events.sort()
    return events


def gaps_of(stream, stream_events):
    """The closed gaps of one stream and the notices left open at the end."""
    gaps, pending = [], []
    for time, kind, gap_ms in stream_events:
        if kind == "signal-lost":
            pending.append(time)
        elif kind == "resumed":
            gap = Gap(stream, time - gap_ms, time)
            gap.notices = [notice for notice in pending if gap.last_frame <= notice <= time]
            gaps.append(gap)
            pending = []
    return gaps, pending


def owning_fault(faults, time):
    for fault in faults:
        if fault.start - FAULT_LEAD_MS <= time <= (fault.end or fault.start) + T2_MS // 2:
            return fault
    return None


def recovery(gap):
    """First frame after the gap less the later of the camera's return and the gap's start."""
    return gap.first_frame - max(gap.returned, gap.last_frame)


def camera_return(gap, faults):
    """When the camera was back to normal for this gap: the latest end of the
    faults that ran while the stream had no frames (a fault can follow another
    at once), or the gap's start when no fault caused it."""
    ends = [fault.end or fault.start for fault in faults
            if fault is gap.fault or gap.last_frame <= fault.start < gap.first_frame]
    return max(ends, default=gap.last_frame)


def limit_of(gap):
    """The latest first frame the driver promises for this gap."""
    return max(gap.returned, gap.last_frame + T2_MS // 2) + RETURN_LIMIT_MS


def judge(gap):
    """The promises this gap breaks, as texts."""
    broken = []
    fault_end = gap.returned
    limit = limit_of(gap)
    what = f"{gap.stream} after {gap.fault.name if gap.fault else 'no fault'}"
    if gap.first_frame > limit:
        broken.append(f"{what}: back {gap.first_frame - fault_end} ms after the camera's return "
                      f"({gap.first_frame - limit} ms over the limit)")
    if gap.notices:
        delay = gap.notices[0] - gap.last_frame
        if delay < T2_MS - NOTICE_TOLERANCE_MS:
            broken.append(f"{what}: signal loss reported {delay} ms after the last frame (before T2)")
        elif delay > T2_MS + NOTICE_LATE_MS:
            broken.append(f"{what}: signal loss reported {delay} ms after the last frame (late)")
    elif gap.first_frame - gap.last_frame > T2_MS + NOTICE_LATE_MS:
        broken.append(f"{what}: {gap.first_frame - gap.last_frame} ms without frames and no signal-loss notice")
    return broken


def median(values):
    return statistics.median(values) if values else None


def show(value):
    return "-" if value is None else f"{value:.0f}"


def print_fault_table(faults, gaps, cameras):
    print("\nrecovery per fault (ms; recovery = first frame after the gap - the camera's return (or the gap's start\n"
          "when later), gaps over 1 s only)")
    print("(margin: the least time left to the promised limit, max(return, last frame + T2/2) + 2000 ms)")
    print(f"{'fault':<16} {'times':>5} {'gaps':>9} {'median':>7} {'worst':>7} {'margin':>7} {'notices':>7} "
          f"{'notice_delay_ms':>15} {'broken':>6}")
    by_name = collections.OrderedDict()
    for fault in faults:
        by_name.setdefault(fault.name, []).append(fault)
    for name, occurrences in by_name.items():
        owned = [gap for gap in gaps if gap.fault in occurrences]
        recoveries = [recovery(gap) for gap in owned]
        delays = [gap.notices[0] - gap.last_frame for gap in owned if gap.notices]
        delay_text = f"{min(delays)}-{max(delays)}" if delays else "-"
        margin = min((limit_of(gap) - gap.first_frame for gap in owned), default=None)
        broken = sum(1 for gap in owned if judge(gap))
        print(f"{name:<16} {len(occurrences):>5} {len(owned):>4}/{len(occurrences) * cameras:<4} "
              f"{show(median(recoveries)):>7} {show(max(recoveries) if recoveries else None):>7} {show(margin):>7} "
              f"{len(delays):>7} {delay_text:>15} {broken:>6}")


def print_occurrences(faults, gaps, first_ms):
    print("\nfaults in order (s after the first fault; streams with a gap; worst recovery ms)")
    for index, fault in enumerate(faults, 1):
        owned = [gap for gap in gaps if gap.fault is fault]
        worst = max((recovery(gap) for gap in owned), default=None)
        duration = (fault.end - fault.start) if fault.end else None
        print(f"  {index:>2} {fault.name:<16} at {(fault.start - first_ms) / 1000:7.1f} s, lasted "
              f"{show(duration)} ms, gaps {len(owned):>2}, worst {show(worst)}")


def print_unowned(gaps, first_ms):
    unowned = [gap for gap in gaps if gap.fault is None]
    if not unowned:
        return
    print("\ngaps outside any fault (s after the first fault: streams, longest gap ms)")
    by_second = collections.defaultdict(list)
    for gap in unowned:
        by_second[round((gap.last_frame - first_ms) / 1000)].append(gap)
    for second, group in sorted(by_second.items()):
        longest = max(gap.first_frame - gap.last_frame for gap in group)
        print(f"  {second:>6} s: {len(group):>2} streams, longest {longest}")


def memory_verdict(run, settled_minute):
    samples = []
    for line in read_lines(os.path.join(run, "rss.txt"))[1:]:
        minute, kb = line.split()
        samples.append((int(minute), int(kb)))
    print("\nhost resident memory (MiB) by minute")
    print("  " + " ".join(f"{minute}:{kb / 1024:.1f}" for minute, kb in samples))
    base = dict(samples).get(MEMORY_BASE_MINUTE)
    if not base or not samples or samples[-1][1] == 0:
        return ["too few memory samples"]
    growth = (samples[-1][1] - base) / base
    print(f"  growth from minute {MEMORY_BASE_MINUTE} to minute {samples[-1][0]}: {growth * 100:+.1f} %")
    # Whether it is a high-water mark (buffers kept after the biggest frame) or a leak.
    later = dict(samples).get(settled_minute)
    if later and samples[-1][0] > settled_minute:
        print(f"  growth from minute {settled_minute} (after every fault once) to minute {samples[-1][0]}: "
              f"{(samples[-1][1] - later) / later * 100:+.1f} %")
    return [f"memory grew {growth * 100:.1f} %"] if growth >= MEMORY_GROWTH_LIMIT else []


def settled_minute_of(faults):
    """The first whole minute after every kind of fault has run once."""
    seen, first_ms = set(), faults[0].start if faults else 0
    names = {fault.name for fault in faults}
    for fault in faults:
        seen.add(fault.name)
        if seen == names:
            return int(((fault.end or fault.start) - first_ms) / 60000) + 2
    return 0


def host_verdict(run, cameras, host_status):
    frames = [int(match.group(1)) for line in read_lines(os.path.join(run, "host.out"))
              if (match := re.match(r"^  frames (\d+) ", line))]
    reasons = []
    if len(frames) != cameras:
        reasons.append(f"{len(frames)} stream summaries for {cameras} cameras")
    if any(count == 0 for count in frames):
        reasons.append(f"{sum(1 for count in frames if count == 0)} streams without frames")
    if host_status != 0:
        reasons.append(f"fennwick-host exited with {host_status}")
    print(f"\nhost: {len(frames)} streams, {sum(frames)} frames delivered, exit status {host_status}")
    return reasons


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--run", required=True)
    parser.add_argument("--cameras", type=int, required=True)
    parser.add_argument("--host-status", type=int, default=0)
    arguments = parser.parse_args()

    faults = read_faults(arguments.run)
    gaps, open_losses = [], {}
    for stream, stream_events in read_events(arguments.run).items():
        stream_gaps, pending = gaps_of(stream, stream_events)
        gaps += stream_gaps
        if pending:
            open_losses[stream] = pending
    for gap in gaps:
        gap.fault = owning_fault(faults, gap.last_frame)
        gap.returned = camera_return(gap, faults)

    first_ms = faults[0].start if faults else 0
    print(f"faults: {len(faults)}, gaps over 1 s: {len(gaps)}, gaps outside any fault: "
          f"{sum(1 for gap in gaps if gap.fault is None)}")
    print_fault_table(faults, gaps, arguments.cameras)
    print_occurrences(faults, gaps, first_ms)

    print_unowned(gaps, first_ms)
    broken = [text for gap in gaps for text in judge(gap)]
    broken += [f"{stream}: signal lost at {(times[0] - first_ms) / 1000:.1f} s and never back"
               for stream, times in sorted(open_losses.items())]
    reasons = []
    if not faults:
        reasons.append("no fault was injected")
    if broken:
        reasons.append(f"{len(broken)} broken promises")
        print("\nbroken promises")
        for text in broken[:FAILURES_SHOWN]:
            print("  " + text)
        if len(broken) > FAILURES_SHOWN:
            print(f"  ... and {len(broken) - FAILURES_SHOWN} more")
    reasons += memory_verdict(arguments.run, settled_minute_of(faults))
    reasons += host_verdict(arguments.run, arguments.cameras, arguments.host_status)
    print("soak: PASS" if not reasons else f"soak: FAIL ({'; '.join(reasons)})")
    return 0 if not reasons else 1


if __name__ == "__main__":
    sys.exit(main())
