#!/usr/bin/env python3
"""Reads what the served drives' journals, quillet's transcripts and the simulated drives'
journals say about one update, and checks them against each other.

  journals.py match JOURNAL TRANSCRIPT SIMULATED
      The transcript's commands are the simulated journal's, one for one, and the served
      journal's own commands in the same order, with only the kernel's between them: commands
      the server marked as the kernel's, or a TEST UNIT READY of the kernel's as it opens and
      closes the CD device, which the server cannot tell from the program's.
  journals.py polling JOURNAL
      The kernel's GET EVENT STATUS NOTIFICATION comes before the first WRITE BUFFER and after the
      closing one, and never between them.
  journals.py blocks JOURNAL TIMES PEER_JOURNAL PEER_TIMES LIMIT
      Both downloads sent the same blocks; the time from the first block to the last one of the
      first is at most LIMIT times the second's (LIMIT "none": the times are only shown).
Each prints what it compared; the exit status says whether it held.
"""
import sys

TUR = "00 00 00 00 00 00 "
GESN = "4A "
WRITE_BUFFER = "3B "


def journal(path):
    """(command, kernel) per line, without the command number."""
    rows = []
    for line in open(path, encoding="ascii"):
        line = line.rstrip("\n")
        if not line:
            continue
        number, _, rest = line.partition(" ")
        kernel = rest.endswith(" kernel")
        rows.append((number, rest[: -len(" kernel")] if kernel else rest, kernel))
    return rows


def transcript(path):
    """The commands of a transcript: CDB, direction, length and result, as journals write them."""
    commands = []
    for line in open(path, encoding="utf-8", errors="replace"):
        if line.startswith("#"):
            continue
        fields = line.split(None, 1)
        if len(fields) < 2 or not all(c in "0123456789ABCDEF" for c in fields[1][:2]):
            continue
        commands.append(fields[1].split(";")[0].strip())
    return commands


def match(journal_path, transcript_path, simulated_path):
    rows = journal(journal_path)
    sent = transcript(transcript_path)
    simulated = [command for _, command, _ in journal(simulated_path)]
    ok = True
    if sent != simulated:
        print(f"the transcript's {len(sent)} commands are not the simulated drive's {len(simulated)}")
        for a, b in zip(sent + [""] * len(simulated), simulated + [""] * len(sent)):
            if a != b:
                print(f"  first difference: transcript {a!r}, simulated {b!r}")
                break
        ok = False
    at = 0
    kernel = unmarked = 0
    side = []
    for command in sent:
        while at < len(rows) and (rows[at][2] or rows[at][1] != command):
            number, other, marked = rows[at]
            if not marked and not other.startswith(TUR):
                print(f"journal line {number} {other!r} is neither the program's next command "
                      f"{command!r} nor the kernel's")
                return False
            kernel += 1
            unmarked += not marked
            side.append(f"{number:>4} {other}{' kernel' if marked else '  (kernel, unmarked)'}")
            at += 1
        if at == len(rows):
            print(f"the program's command {command!r} is not in the served journal")
            return False
        side.append(f"{rows[at][0]:>4} {rows[at][1]}    | {command}")
        at += 1
    for number, other, marked in rows[at:]:
        if not marked and not other.startswith(TUR):
            print(f"journal line {number} {other!r} after the program's last command is not the "
                  "kernel's")
            return False
        kernel += 1
        unmarked += not marked
        side.append(f"{number:>4} {other}{' kernel' if marked else '  (kernel, unmarked)'}")
    print("served journal                                          | transcript (= --simulate)")
    print("\n".join(side))
    print(f"{len(sent)} commands of the program, in order; {kernel} of the kernel's between and "
          f"around them ({unmarked} TEST UNIT READY the server could not tell)")
    return ok


def polling(journal_path):
    rows = journal(journal_path)
    writes = [i for i, row in enumerate(rows) if row[1].startswith(WRITE_BUFFER)]
    if not writes:
        print("no WRITE BUFFER in the journal")
        return False
    first, last = writes[0], writes[-1]
    polls = [i for i, row in enumerate(rows) if row[1].startswith(GESN) and row[2]]
    before = sum(1 for i in polls if i < first)
    during = sum(1 for i in polls if first < i < last)
    after = sum(1 for i in polls if i > last)
    print(f"GET EVENT STATUS NOTIFICATION of the kernel: {before} before the first WRITE BUFFER "
          f"(line {rows[first][0]}), {during} between it and the closing one (line "
          f"{rows[last][0]}), {after} after")
    return before > 0 and during == 0 and after > 0


def blocks(journal_path, times_path, peer_path, peer_times_path, limit):
    def data_blocks(path, times):
        stamps = dict(line.split() for line in open(times, encoding="ascii") if line.strip())
        rows = [(n, c) for n, c, _ in journal(path)
                if c.startswith(WRITE_BUFFER) and " out 0 " not in c]
        return [c for _, c in rows], [float(stamps[n]) for n, _ in rows]

    ours, our_times = data_blocks(journal_path, times_path)
    theirs, their_times = data_blocks(peer_path, peer_times_path)
    if ours != theirs:
        print(f"the blocks differ: {len(ours)} from quillet, {len(theirs)} from the peer")
        for a, b in zip(ours, theirs):
            if a != b:
                print(f"  first difference: {a!r} and {b!r}")
                break
        return False
    ours_s = our_times[-1] - our_times[0]
    theirs_s = their_times[-1] - their_times[0]
    ratio = ours_s / theirs_s if theirs_s > 0 else float("inf")
    print(f"{len(ours)} blocks, the same from both ({ours[0]} ... {ours[-1]})")
    print("| sender | blocks | first to last block | per block |")
    print("|---|---|---|---|")
    for who, span in (("quillet", ours_s), ("sg_write_buffer", theirs_s)):
        print(f"| {who} | {len(ours)} | {span * 1000:.1f} ms | {span * 1000 / (len(ours) - 1):.2f} ms |")
    if limit == "none":
        print(f"quillet / peer: {ratio:.2f}")
        return True
    print(f"quillet / peer: {ratio:.2f} (at most {limit})")
    return ratio <= float(limit)


def main(argv):
    verbs = {"match": (match, 3), "polling": (polling, 1), "blocks": (blocks, 5)}
    if len(argv) < 2 or argv[1] not in verbs or len(argv) - 2 != verbs[argv[1]][1]:
        print(__doc__, file=sys.stderr)
        return 2
    function, _ = verbs[argv[1]]
    return 0 if function(*argv[2:]) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
