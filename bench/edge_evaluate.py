#!/usr/bin/env python3
"""Figures of one bench/edge_fill run, per camera and over all of them.

For each camera the live gap is the host's "resumed <gap_ms>" event (the last
live frame before the outage to the first after it); the frames the camera
recorded strictly inside that gap are the ones to recover. The host's
"edge-filled <begin_ms> <end_ms> <frames>" event says what came back; the seams
are begin - gap start and gap end - end. The fill time runs from the first
live frame after the outage to the driver's "Processing finished." line for
that camera. Replay CPU per stream is the host's CPU share while replays ran
less its share while only live streams ran, over the camera count.
"""
import argparse
import datetime
import re
import statistics


def read_events(path):
    resumed, filled = {}, {}
    with open(path) as lines:
        for line in lines:
            words = line.split()
            if len(words) >= 5 and words[3] == "resumed":
                resumed.setdefault(words[1], (int(words[0]) - int(words[4]), int(words[0])))
            elif len(words) >= 7 and words[3] == "edge-filled":
                filled.setdefault(words[1], []).append((int(words[4]), int(words[5]), int(words[6])))
    return resumed, filled


FINISHED = re.compile(r'^(\S+ \S+) \[\d+\] .*Work Item \(address="([^:"]+):\d+".*Processing finished\.')


def read_finished(path):
    finished = {}
    with open(path, errors="replace") as lines:
        for line in lines:
            match = FINISHED.match(line)
            if match:
                when = datetime.datetime.strptime(match.group(1), "%Y-%m-%d %H:%M:%S.%f")
                ms = int(when.replace(tzinfo=datetime.timezone.utc).timestamp() * 1000)
                finished[match.group(2)] = max(finished.get(match.group(2), 0), ms)
    return finished


def cpu_share(samples, begin, end, ticks):
    inside = [(ms, cpu) for ms, cpu in samples if begin <= ms <= end]
    if len(inside) < 2 or inside[-1][0] == inside[0][0]:
        return None
    return (inside[-1][1] - inside[0][1]) / ticks / ((inside[-1][0] - inside[0][0]) / 1000.0) * 100.0


def main():
    parser = argparse.ArgumentParser(description="Figures of one bench/edge_fill run.")
    for flag, kind in (("--run", str), ("--cameras", int), ("--ticks", int)):
        parser.add_argument(flag, type=kind, required=True)
    args = parser.parse_args()
    resumed, filled = read_events(f"{args.run}/events.log")
    finished = read_finished(f"{args.run}/driver.log")
    addresses, outage = {}, 0
    with open(f"{args.run}/cameras.log") as lines:
        for line in lines:
            words = line.split()
            if words and words[0] == "CAMERA":
                addresses[int(words[1])] = words[2]
            elif words and words[0] == "OUTAGE":
                if words[2] == "start":
                    outage = int(words[1])
    samples = []
    with open(f"{args.run}/cpu.txt") as lines:
        next(lines)
        samples = [tuple(int(word) for word in line.split()) for line in lines]

    print(f"{'camera':<12} {'gap_s':>6} {'recorded':>8} {'replayed':>8} {'back_%':>7} "
          f"{'seam_begin_ms':>13} {'seam_end_ms':>11} {'fill_s':>7}")
    shares, seams_begin, seams_end, fill_times = [], [], [], []
    replay_windows = []
    for index in range(args.cameras):
        address = addresses.get(index, "?")
        gap = resumed.get(address)
        fills = filled.get(address, [])
        if not gap or not fills:
            print(f"{address:<12} {'no gap' if not gap else 'not filled'}")
            continue
        with open(f"{args.run}/camera-{index}.times") as lines:
            times = [int(line) for line in lines]
        recorded = sum(1 for time in times if gap[0] < time < gap[1])
        replayed = sum(frames for _, _, frames in fills)
        begin, end = fills[0][0], fills[-1][1]
        share = 100.0 * replayed / recorded if recorded else 0.0
        fill_s = (finished[address] - gap[1]) / 1000.0 if address in finished else float("nan")
        shares.append(share)
        seams_begin.append(begin - gap[0])
        seams_end.append(gap[1] - end)
        if address in finished:
            fill_times.append(fill_s)
            replay_windows.append((gap[1], finished[address]))
        print(f"{address:<12} {(gap[1] - gap[0]) / 1000:6.1f} {recorded:8d} {replayed:8d} {share:7.1f} "
              f"{begin - gap[0]:13d} {gap[1] - end:11d} {fill_s:7.1f}")
    if not shares:
        print("edge_fill: nothing was filled")
        return 1
    print(f"recovered: median {statistics.median(shares):.1f} %, worst {min(shares):.1f} % of "
          f"{len(shares)}/{args.cameras} cameras")
    print(f"seam at the start: median {statistics.median(seams_begin):.0f} ms, worst {max(seams_begin)} ms; "
          f"at the end: median {statistics.median(seams_end):.0f} ms, worst {max(seams_end)} ms")
    if fill_times:
        print(f"reconnection to filled: median {statistics.median(fill_times):.1f} s, worst {max(fill_times):.1f} s")
    if replay_windows:
        live = cpu_share(samples, samples[0][0] + 5000, outage, args.ticks)
        replaying = cpu_share(samples, max(w[0] for w in replay_windows), min(w[1] for w in replay_windows),
                              args.ticks)
        if live is not None and replaying is not None:
            print(f"host CPU: {live:.1f} % of a core with live streams only, {replaying:.1f} % while "
                  f"{len(replay_windows)} replays run: {(replaying - live) / len(replay_windows):.2f} % per replayed stream")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
