#!/usr/bin/env python3
"""Generates one program in the syntax of zvasm and of four peer assemblers, with the same
instructions in the same order, for the speed comparison of bench/peers/run.sh.

  gen_peers.py LINES DIR     writes DIR/peers.mac (zvasm), DIR/peers.asm (NASM and yasm),
                             DIR/peersf.asm (fasm) and DIR/peers.s (GNU as, intel syntax)

The instructions come from the verified zvasm/GNU pairs of tests/asm/diff/*.tsv, with `{M}`
expanded to concrete memory forms (every addressing mode: absolute, base, base+d8, base+d32,
base+index, scaled index with and without base, 16-bit forms, segment overrides). The NASM and
fasm spellings are small rewrites of the GNU intel spelling. Rows that a peer spells differently
(data16/addr16 prefixes, string instructions with operands, retw/retd and the like) are left
out, so that every line means the same instruction to all five assemblers.

Around the instructions: label blocks of fixed shape, each with block labels, local labels,
forward and backward branches (short and near), '@' labels for backward loops, data, an
alignment and conditional blocks, and a 16-bit stretch. The number of blocks is capped, so the
symbol table stays below zvasm's 5,000 entries at any size: bigger programs get longer blocks.
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DIFF = os.path.join(HERE, "..", "..", "tests", "asm", "diff")

MAX_BLOCKS = 520          # each block: a separator and five labels, 3,120 entries in all
LOOP_EVERY = 24           # a backward '@' loop every this many instructions
SHORT_EVERY = 60          # a short forward branch to a local label every this many instructions

# ---- memory forms ------------------------------------------------------------------------

R32 = ["eax", "edx", "ecx", "ebx", "ebp", "esi", "edi", "esp"]   # logical r0..r7
R16 = {3: "bx", 4: "bp", 5: "si", 6: "di"}
SEG = {0: "ds", 1: "es", 2: "fs", 3: "gs", 6: "cs", 7: "ss"}


def disp(d):
    return "" if d == 0 else (f"+{d}" if d > 0 else f"-{-d}")


def mem32(front, base, index, scale, d, seg=None):
    """zvasm text and (inner address, segment) of a 32-bit form; base/index logical or None."""
    zv = front + "("
    if base is not None:
        zv += f"r{base}"
    if index is not None:
        zv += ("," if base is not None else "") + f"r{index}" + (f"*{scale}" if scale > 1 else "")
    zv += ")" + (f"{{s{seg}}}" if seg is not None else "")
    if scale == 1 and index == 7:
        base, index = index, base
    inner = ""
    if base is not None:
        inner += R32[base]
    if index is not None:
        inner += ("+" if base is not None else "") + R32[index] + (f"*{scale}" if scale > 1 else "")
    inner += disp(d)
    if seg is None and base in (4, 7):
        seg = 0  # zvasm asks for DS unless told otherwise; EBP and ESP would default to SS
    return zv, inner, seg, False


def mem16(front, base, index, d, seg=None):
    zv = front + f"(r{base}.w" + (f",r{index}.w" if index is not None else "") + ")"
    zv += f"{{s{seg}}}" if seg is not None else ""
    inner = R16[base] + ("+" + R16[index] if index is not None else "") + disp(d)
    if seg is None and base == 4:
        seg = 0
    return zv, inner, seg, True


def absolute(zv, addr, addr16, seg=None):
    return zv + (f"{{s{seg}}}" if seg is not None else ""), f"0x{addr:x}", seg, addr16


def memory_forms(mode):
    f = [absolute("$1234", 0x1234, mode == 16), absolute("$12345678", 0x12345678, False)]
    for r in range(8):
        f.append(mem32("", r, None, 1, 0))
        f.append(mem32("-5.b", r, None, 1, -5))
        f.append(mem32("$1234", r, None, 1, 0x1234))
    f += [mem32("127.b", 5, None, 1, 127), mem32("-$100.l", 3, None, 1, -0x100)]
    for b, i in [(3, 5), (0, 1), (4, 3), (7, 2), (6, 4), (1, 7)]:
        f.append(mem32("", b, i, 1, 0))
        f.append(mem32("5.b", b, i, 1, 5))
        f.append(mem32("$1000", b, i, 1, 0x1000))
    for s in (2, 4, 8):
        f.append(mem32("", 3, 5, s, 0))
        f.append(mem32("-2.b", 7, 1, s, -2))
        f.append(mem32("$10000", 4, 6, s, 0x10000))
        f.append(mem32("$20", None, 2, s, 0x20))
    f.append(mem32("8", 4, None, 1, 8))
    for r in (3, 5, 6):
        f.append(mem16("", r, None, 0))
    f += [mem16("-5.b", 4, None, -5), mem16("$1234", 6, None, 0x1234)]
    for b, i in [(3, 5), (4, 6)]:
        f.append(mem16("", b, i, 0))
        f.append(mem16("7.b", b, i, 7))
        f.append(mem16("$1234", b, i, 0x1234))
    for s in (1, 2, 3):
        f.append(mem32("", 3, None, 1, 0, s))
        f.append(mem32("$1234", 6, 5, 4, 0x1234, s))
        f.append(absolute("$12345678", 0x12345678, False, s))
        f.append(mem16("", 5, None, 0, s))
    return f


# ---- spelling ----------------------------------------------------------------------------

# GNU mnemonics and prefixes whose spelling differs between the peers (or that need an explicit
# operand-size or address-size prefix word): the rows holding them are left out.
SKIP_WORDS = {"data16", "data32", "addr16", "addr32", "retw", "retd", "retfw", "retfd", "iretw", "iretd",
              "leavew", "leaved", "enterw", "enterd", "popaw", "ins", "outs", "pushfd", "popfd",
              "lodsw", "lodsd", "stosb", "stosd", "movsb", "movsw", "cmpsb", "scasw", "xlatb", "pusha",
              "popa", "pushad", "pushf", "iret", "retf"}
# Rows whose meaning differs between the peers for a reason of their own (found by assembling).
SKIP_RE = re.compile(r"\btr[3-7]\b")


def rows(mode):
    out = []
    for name in sorted(os.listdir(DIFF)):
        if not name.endswith(".tsv") or name == "memory_forms.tsv":
            continue
        for line in open(os.path.join(DIFF, name)):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            m, zv, gnu = line.split("\t")
            if int(m) != mode:
                continue
            words = set(re.findall(r"[a-z0-9]+", gnu.split(",")[0]))
            if words & SKIP_WORDS or SKIP_RE.search(gnu) or "fword" in gnu and not gnu.startswith(("jmp", "call")):
                continue
            if gnu.startswith("lea "):  # a segment means nothing to lea; GNU as warns about it
                gnu = re.sub(r"ds:(0x[0-9a-f]+|\d+)", r"[\1]", gnu)
            out.append((zv, gnu))
    return out


def render(text, form, syntax):
    """Puts a memory form into a GNU-spelled statement for the given syntax."""
    _, inner, seg, _ = form
    s = SEG[seg] + ":" if seg is not None else ""
    addr = f"{s}[{inner}]" if syntax == "gnu" else f"[{s}{inner}]"
    for ph, size in (("{MB}", "byte"), ("{MW}", "word"), ("{MD}", "dword"), ("{M}", "")):
        if syntax == "gnu":
            text = text.replace(ph, (size + " ptr " if size else "") + addr)
        else:
            text = text.replace(ph, (size + " " if size else "") + addr)
    return text


# Statements whose memory operand has no size of its own in NASM and fasm.
SIZELESS = {"bound", "invlpg", "lgdt", "lidt", "sgdt", "sidt", "lds", "les", "lfs", "lgs", "lss",
            "prefetchnta", "prefetcht0", "prefetcht1", "prefetcht2", "lea"}


def peer_spelling(gnu, syntax):
    """NASM or fasm spelling of a statement already in GNU intel form (memory rendered)."""
    t = re.sub(r"(?<!\[)\b(ds|es|fs|gs|cs|ss):(0x[0-9a-f]+|\d+)", r"[\1:\2]", gnu)
    if t.startswith("lea "):
        t = t.replace("[ds:", "[")
    if syntax == "nasm":
        t = t.replace("fword ptr ", "far ")
    else:
        t = t.replace("fword ptr ", "pword ")
        # fasm takes the selector of lar and lsl as a 16-bit register only
        t = re.sub(r"^(lar|lsl) (\w+), ?e([a-z]{2})$", r"\1 \2,\3", t)
        # and a segment register moves to and from a 16-bit register only
        t = re.sub(r"^mov ([cdefgs]s), ?e([a-z]{2})$", r"mov \1,\2", t)
        t = re.sub(r"^mov e([a-z]{2}), ?([cdefgs]s)$", r"mov \1,\2", t)
    if t.split()[0] in SIZELESS or t.startswith("lock ") and t.split()[1] in SIZELESS:
        return re.sub(r"\b(byte|word|dword|qword|pword) (ptr )?", "", t)
    return re.sub(r"\b(byte|word|dword) ptr ", r"\1 ", t)


def instruction_pool(mode):
    forms = memory_forms(mode)
    pool = []
    k = 0
    for zv, gnu in rows(mode):
        if "{M" not in zv:
            pool.append((zv, gnu, peer_spelling(gnu, "nasm"), peer_spelling(gnu, "fasm")))
            continue
        for _ in range(6):  # each memory row with six forms, rotating through all of them
            form = forms[k % len(forms)]
            k += 1
            if form[3] != (mode == 16) and form[1].startswith("0x"):
                continue  # an absolute address of the other size needs a prefix word in the peers
            z = zv
            for ph in ("{MB}", "{MW}", "{MD}", "{M}"):
                z = z.replace(ph, form[0])
            g = render(gnu, form, "gnu")
            pool.append((z, g, peer_spelling(render(gnu, form, "nasm"), "nasm"),
                         peer_spelling(render(gnu, form, "fasm"), "fasm")))
    return pool


# ---- the program ------------------------------------------------------------------------

class Out:
    """The four texts, written statement by statement."""

    def __init__(self):
        self.zv, self.nasm, self.fasm, self.gnu = [], [], [], []

    def add(self, zv, nasm, fasm, gnu):
        self.zv.append(zv)
        self.nasm.append(nasm)
        self.fasm.append(fasm)
        self.gnu.append(gnu)

    def insn(self, item):
        zv, gnu, nasm, fasm = item
        self.add(" " + zv, " " + nasm, " " + fasm, " " + gnu)


def branch(out, cc, size, zv_target, nasm_target, fasm_target, gnu_target):
    """zvasm b<cc> with an explicit size; NASM and fasm with the same size, GNU relaxes."""
    zv_cc = {"ne": "bne", "eq": "beq", "mp": "br", "call": "bsr", "b": "blo"}[cc]
    x86 = {"ne": "jne", "eq": "je", "mp": "jmp", "call": "call", "b": "jb"}[cc]
    kw = "" if cc == "call" else ("short " if size == "b" else "near ")
    out.add(f" {zv_cc}.{size} {zv_target}", f" {x86} {kw}{nasm_target}", f" {x86} {kw}{fasm_target}",
            f" {x86} {gnu_target}")


def block(out, k, n_insns, pool32, pool16, pos):
    """One label block of about n_insns instructions; returns the new pool positions."""
    p32, p16 = pos
    g = f"z{k}_"
    out.add(" label_block", f"; block {k}", f"; block {k}", f"# block {k}")
    out.add("top: seg32", f"{g}top:", f"{g}top:", f"{g}top:")
    branch(out, "ne", "l", "fwd", f"{g}fwd", f"{g}fwd", f"{g}fwd")
    branch(out, "eq", "l", "mid", f"{g}mid", f"{g}mid", f"{g}mid")
    n16 = n_insns // 6
    n32 = n_insns - n16
    local = 0
    for i in range(n32):
        if i == n32 // 2:
            out.add("mid: dc.l top,fwd,$12345678", f"{g}mid: dd {g}top,{g}fwd,0x12345678",
                    f"{g}mid: dd {g}top,{g}fwd,0x12345678", f"{g}mid: .long {g}top,{g}fwd,0x12345678")
            out.add(" dc.b 1,2,3,$7f,-1", " db 1,2,3,0x7f,-1", " db 1,2,3,0x7f,-1", " .byte 1,2,3,0x7f,-1")
            out.add(" dc.w $1234,7*3", " dw 0x1234,7*3", " dw 0x1234,7*3", " .word 0x1234,7*3")
            cond = "cfg" if k % 2 else "cfg-1"
            out.add(f" if {cond}", f"%if {cond}", f"if {cond} <> 0", f".if {cond}")
            out.add(" move.l top(r3,r5*4),r0", f" mov eax,[ebx+esi*4+{g}top]", f" mov eax,[ebx+esi*4+{g}top]",
                    f" mov eax,dword ptr [ebx+esi*4+{g}top]")
            out.add(" else", "%else", "else", ".else")
            out.add(" lea.l fwd(r1),r2", f" lea ecx,[edx+{g}fwd]", f" lea ecx,[edx+{g}fwd]", f" lea ecx,[edx+{g}fwd]")
            out.add(" endif", "%endif", "end if", ".endif")
            out.add(" even4", " align 4", " align 4", " .balign 4")
        kind = (i // LOOP_EVERY) % 3
        if i % LOOP_EVERY == 0:
            out.add("@l: addq.l #1,r0", "..@l%d_%d: add eax,1" % (k, i), "@@: add eax,1", "1: add eax,1")
            self_loop = i
        elif i % LOOP_EVERY == (LOOP_EVERY - 1 if kind == 2 else 4):
            if kind == 0:
                branch(out, "ne", "b", "@l", "..@l%d_%d" % (k, self_loop), "@b", "1b")
            elif kind == 1:
                out.add(" dbf.l r2,@l", " loop ..@l%d_%d" % (k, self_loop), " loop @b", " loop 1b")
            else:
                branch(out, "b", "l", "@l", "..@l%d_%d" % (k, self_loop), "@b", "1b")
        if i % SHORT_EVERY == 5 and local < 2:
            local += 1
            branch(out, "eq", "b", f"_s{local}", f".s{local}", f".s{local}", f"{g}s{local}")
            out.insn(pool32[p32 % len(pool32)])
            p32 += 1
            out.insn(pool32[p32 % len(pool32)])
            p32 += 1
            out.add(f"_s{local}:", f".s{local}:", f".s{local}:", f"{g}s{local}:")
        item = pool32[p32 % len(pool32)]
        p32 += 1
        out.insn(item)
    branch(out, "call", "l", "top", f"{g}top", f"{g}top", f"{g}top")
    branch(out, "mp", "l", "fwd", f"{g}fwd", f"{g}fwd", f"{g}fwd")
    out.add(" seg16", "bits 16", "use16", ".code16")
    # straight code: past 64 KiB fasm refuses 16-bit branch targets
    out.add(" inc.w r0", " inc ax", " inc ax", " inc ax")
    for i in range(n16):
        out.insn(pool16[p16 % len(pool16)])
        p16 += 1
    out.add("fwd: seg32", f"{g}fwd:", f"{g}fwd:", f"{g}fwd:")
    out.add("", "bits 32", "use32", ".code32")
    branch(out, "ne", "l", "top", f"{g}top", f"{g}top", f"{g}top")
    return p32, p16


def program(lines):
    pool32 = instruction_pool(32)
    pool16 = instruction_pool(16)
    out = Out()
    out.add("; generated by bench/peers/gen_peers.py", "; generated by bench/peers/gen_peers.py",
            "; generated by bench/peers/gen_peers.py", "# generated by bench/peers/gen_peers.py")
    out.add(" seg32", "bits 32", "use32", ".intel_syntax noprefix\n.code32\n.text")
    out.add("cfg == 1", "%assign cfg 1", "cfg = 1", ".set cfg,1")
    per_block_extra = 30  # labels, branches, data and conditional lines around the instructions
    n_blocks = max(1, min(MAX_BLOCKS, lines // 1500))
    insns = max(40, (lines - 3) // n_blocks - per_block_extra)
    insns = int(insns / (1 + 1 / LOOP_EVERY))  # the loop heads and tails are extra lines
    pos = (0, 0)
    k = 0
    while len(out.zv) < lines:
        pos = block(out, k, insns, pool32, pool16, pos)
        k += 1
    out.add(" rts.l", " ret", " ret", " ret")
    return out


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    lines, d = int(sys.argv[1]), sys.argv[2]
    out = program(lines)
    for name, text in (("peers.mac", out.zv), ("peers.asm", out.nasm), ("peersf.asm", out.fasm),
                       ("peers.s", out.gnu)):
        with open(os.path.join(d, name), "w") as f:
            f.write("\n".join(text) + "\n")
    print(f"{len(out.zv)} lines")


if __name__ == "__main__":
    main()
