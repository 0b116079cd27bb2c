#!/usr/bin/env python3
"""Generates large zvasm sources for the front-end benchmarks.

  gen_spine.py mixed LINES      labels, local labels, equates, dc.* data and if blocks
  gen_spine.py alumove LINES    as isa, with ALU and move statements only
  gen_spine.py isa LINES        every instruction family and operand form (bench/isa_body.mac)
                                in label blocks with forward and backward branches
  gen_spine.py symbols N LINES  N equates, then LINES statements that reference N of them
                                round-robin (compare N=4990 with N=10: lookups must not scan)
"""
import os
import sys


def mixed(lines):
    out = ["; generated: labels, locals, equates, data, conditional blocks", " seg32"]
    chunk = 0
    while len(out) < lines:
        f = f"f{chunk}"
        if chunk % 2 == 0:
            out.append(f"e{chunk} = {f}+{chunk}*2")
        out.append(f"{f}:  dc.b 1,2,3,4,5,6")
        out.append("_lp: dc.l @,@@,$1234")
        for i in range(120):
            out.append(f"@a:  dc.l _lp,{f}+{i},$12345678")
            out.append(f"     dc.b 'ab',{i % 200},-1 ; data")
            out.append(f" if {f}&1")
            out.append("     dc.w $ffff")
            out.append(" else")
            out.append("     dc.l @a-_lp,@")
            out.append(" endif")
            out.append("     dc.w_ $1234, 7*3")
        chunk += 1
    return out[:lines]


ALU_MOVE = ("add", "addc", "sub", "subc", "and", "or", "eor", "cmp", "tst", "inc", "dec", "neg", "not",
            "addq", "addcq", "subq", "subcq", "andq", "orq", "eorq", "cmpq", "move", "moveq", "movem")


def isa(lines, only_alu_move=False):
    here = os.path.dirname(os.path.abspath(__file__))
    body = [l for l in open(os.path.join(here, "isa_body.mac")).read().splitlines() if not l.startswith(";")]
    if only_alu_move:
        def word(l):
            parts = l.split()
            return parts[1] if parts and parts[0] in ("repeq_r2", "repne_r2", "rep_r2", "lock") else (parts[0] if parts else "")
        body = [l for l in body if l.strip() in ("seg16", "seg32") or word(l).split(".")[0] in ALU_MOVE]
    # Blocks of at least 1,000 lines keep the labels within the 5,000-entry symbol table.
    body = body * max(1, -(-1000 // len(body)))
    out = ["; generated: instructions of every family with memory operands of every form"]
    while len(out) < lines:
        out += [" label_block", "top: seg32", " bne.l fwd", " br.w mid"]
        half = len(body) // 2
        out += body[:half]
        out += ["mid: seg32", "@l:  addq.l #1,r0", " dbf.l r2,@l", " bne.b @l"]
        out += body[half:]
        out += ["fwd: seg32", " bne.l top"]
    return out  # whole blocks only, so slightly more than asked


def symbols(n, lines):
    out = ["; generated: symbol lookups"]
    for i in range(n):
        out.append(f"sym{i:04d} = {i}")
    k = 0
    while len(out) < lines:
        out.append(f" dc.l sym{k % n:04d},sym{(k + 1) % n:04d}")
        k += 2
    return out


def main():
    kind = sys.argv[1]
    if kind == "mixed":
        text = mixed(int(sys.argv[2]))
    elif kind == "isa":
        text = isa(int(sys.argv[2]))
    elif kind == "alumove":
        text = isa(int(sys.argv[2]), only_alu_move=True)
    elif kind == "symbols":
        text = symbols(int(sys.argv[2]), int(sys.argv[3]))
    else:
        raise SystemExit(__doc__)
    sys.stdout.write("\n".join(text) + "\n")


if __name__ == "__main__":
    main()
