#!/usr/bin/env python3
"""Writes a large, valid adventure for kiln's benchmark.

    python3 bench/gen_adventure.py OUT [--scale S] [--seed N]

The adventure lands in OUT/Bench/ (so AdventuresPath=OUT), with its pdbs.cfg.
At scale 1 it holds a palette, 2,000 8-bit 64x64 brushes (a quarter masked
with pure red, a quarter flat so that they compress, one in ten with colours
off the palette) and 300 8-bit 128x128 tiles, a 10,000-string text table,
20,000 objects, 255 spells, 255 monsters, 200 characters and the closing
entry, the class, monster and AC tables, a font of 200 glyphs, 300 walls of
10 views and 60 maps of 128x128 cells with specials. The scale multiplies
every count, each held within its format's limit (255 spells, 10,000 strings
of at most 65,535 bytes, 1,024 glyph words, ...). The same scale and seed
always give the same files.

The databases are split as an adventure's are: the game tables, palette and
font in a TADV database, the tiles in TILE, the brushes and walls in WALL,
and the maps in a second TADV database.
"""

import argparse
import math
import os
import random
import struct

CUBE = (0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00)
GRAYS = (0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE)
EXTRAS = ((0xC0, 0xC0, 0xC0), (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00))
PURE_RED = (0xFF, 0x00, 0x00)

# Format limits the counts are held within.
MAX_STRINGS = 10000
MAX_STRING_BLOCK = 65535
MAX_SPELLS = 255
MAX_MONSTERS = 255
MAX_HEROES = 255  # plus the closing entry: 256 in all
MAX_MONSTER_TABLE = 128
MAX_AC_ROWS = 255
MAX_GLYPH_WORDS = 1024
MAX_OBJECTS = 65535
MAX_RECORDS = 65535 - 1  # the AU record is the first of every database
MAX_WALL_ENTRIES = 255

ATTRIBUTES = ("strength", "dexterity", "intelligence", "stamina", "hitpoints", "spellpoints", "armorclass",
              "resist_fire", "resist_magic", "experience")
BONUS = ATTRIBUTES + ("light",)
JEWEL_ATTRIBUTES = ATTRIBUTES[:-1]
FRUIT_ATTRIBUTES = ATTRIBUTES + ("cure_poison", "cure_insanity")
DEVICES = ("helmet", "shield", "armor", "gauntlet", "bracers", "boots")
EFFECTS = ("heal", "heal_all", "cure", "defend", "armor_all", "strength", "dexterity", "summon", "attack",
           "move_group", "attack_group", "confuse", "show_map", "compass", "see_traps", "trap_zap", "special",
           "disbelieve", "portal", "poison", "daze", "insane", "resist_fire", "resist_magic", "mana_drain",
           "levitation", "stealth", "saving_throw", "vampire_HP_1", "two_attack", "light", "alchemy")
VERBS = ("casts", "shoots", "throws", "hurls", "swings", "breathes")
SYLLABLES = ("ar", "bel", "cor", "dun", "el", "fal", "gor", "hal", "ith", "kar", "lum", "mor", "nar", "or",
             "pel", "quin", "ros", "sil", "tor", "ul", "vor", "wyn", "yth", "zan")


def scaled(base, scale, limit):
    return max(1, min(limit, int(round(base * scale))))


class Writer:
    def __init__(self, root):
        self.root = root
        self.names = []  # every file written, relative to root
        self.bytes = 0

    def write(self, name, data):
        path = os.path.join(self.root, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if isinstance(data, str):
            data = data.encode("ascii")
        with open(path, "wb") as f:
            f.write(data)
        self.names.append(name)
        self.bytes += len(data)


# --- graphics ---------------------------------------------------------------

def palette_colours(rng):
    """The device colours plus 25 of the adventure's own, in a shuffled order
    so that the palette compiler has its rearranging to do."""
    table = [(0, 0, 0)]
    table += [(v, v, v) for v in GRAYS]
    table += list(EXTRAS)
    own = set(table)
    cube = [(r, g, b) for r in CUBE for g in CUBE for b in CUBE if r or g or b]
    own.update(cube)
    extra = []
    while len(extra) < 25:
        c = (rng.randrange(256), rng.randrange(256), rng.randrange(256))
        if c not in own:
            own.add(c)
            extra.append(c)
    table += extra + cube
    assert len(table) == 256 and len(set(table)) == 256
    rng.shuffle(table)
    return table


def bmp8(width, height, table, pixels):
    """An uncompressed bottom-up 8-bit BMP; pixels are given top row first."""
    assert width % 4 == 0 and len(pixels) == width * height
    rows = [pixels[y * width:(y + 1) * width] for y in range(height)]
    data = b"".join(reversed(rows))
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in table)
    offset = 14 + 40 + len(colours)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    return header + info + colours + data


def index_table(indexes):
    """A bytes.translate table that spreads random bytes over the given indexes."""
    return bytes(indexes[i % len(indexes)] for i in range(256))


def picture(rng, size, opaque, kind, red):
    """size x size pixels, top row first, of one of the kinds below."""
    n = size * size
    if kind == "flat":
        # Broad bands of one colour: the run-length compressor's best case.
        out = bytearray()
        bands = rng.randrange(1, 5)
        for band in range(bands):
            rows = size // bands if band < bands - 1 else size - (size // bands) * (bands - 1)
            out += bytes([rng.choice(opaque)]) * (rows * size)
        return bytes(out)
    # A texture: noise over a handful of colours, with short runs in it.
    colours = [rng.choice(opaque) for _ in range(rng.randrange(4, 17))]
    noise = rng.randbytes(n).translate(index_table(colours))
    if kind == "masked":
        # Pure red outside a disc: transparent pixels the mask plane carries.
        px = bytearray(noise)
        c = (size - 1) / 2
        radius2 = (size * rng.uniform(0.3, 0.5)) ** 2
        for y in range(size):
            row = y * size
            for x in range(size):
                if (x - c) ** 2 + (y - c) ** 2 > radius2:
                    px[row + x] = red
        return bytes(px)
    return noise


def off_palette(rng, table):
    """The table with a dozen colours moved a little off the palette (never
    onto pure red, which would turn them transparent)."""
    moved = list(table)
    for _ in range(12):
        i = rng.randrange(256)
        r, g, b = moved[i]
        if (r, g, b) == PURE_RED:
            continue
        moved[i] = (r ^ 3, g, b ^ 5)
    return moved


def write_bitmaps(w, rng, table, kind_name, folder, count, size, masked_share, flat_share, off_share):
    red = table.index(PURE_RED)
    opaque = [i for i in range(256) if i != red]
    lines = ["# %s: number, BMP file, and 0 where compression is not allowed\n" % kind_name]
    for i in range(count):
        roll = rng.random()
        if roll < masked_share:
            kind = "masked"
        elif roll < masked_share + flat_share:
            kind = "flat"
        else:
            kind = "texture"
        colours = off_palette(rng, table) if rng.random() < off_share else table
        name = "%s\\%s%05d.bmp" % (folder, folder[0], i)
        w.write(name.replace("\\", "/"), bmp8(size, size, colours, picture(rng, size, opaque, kind, red)))
        flag = " 0" if i % 50 == 49 else ""
        lines.append("%d %s%s\n" % (i, name, flag))
    w.write(folder + ".txt", "".join(lines))


# --- game tables -------------------------------------------------------------

def word(rng, syllables=(1, 3)):
    return "".join(rng.choice(SYLLABLES) for _ in range(rng.randint(*syllables)))


def name(rng, limit):
    text = (word(rng).capitalize() + " " + word(rng).capitalize())[:limit]
    return text.strip()


def texts(rng, count, first, prefix):
    """A text table whose string block stays within its 16-bit offsets."""
    lines = ["# Texts: number, the name the game's source uses, the text.\n"]
    block = 0
    budget = MAX_STRING_BLOCK - 2 * count
    for i in range(count):
        remaining = count - i
        room = (budget - block) // remaining - 1  # characters this string may take on average
        length = max(0, min(rng.randint(0, 9), room))
        letters = "".join(rng.choice("abcdefghijklmnopqrstuvwxyz    ") for _ in range(length)).strip() or "x"
        if rng.random() < 0.02 and len(letters) >= 2:
            letters = letters[:-2] + "\\n"  # an escaped line feed: one character stored
        stored = len(letters) - letters.count("\\n")
        block += stored + 1
        lines.append('%d %s_%05d "%s"\n' % (i + first, prefix, i, letters))
    assert block <= MAX_STRING_BLOCK
    return "".join(lines)


def objects(rng, count):
    lines = ["# Objects: number, name, columns 2 to 12, attribute and value, bonus and value, type, type columns\n"]
    types = ("HandWeapon", "SpellWeapon", "Protection", "Jewelry", "Fruit", "Potion", "Torch", "Misc")
    n = lambda hi: str(rng.randint(0, hi))
    for i in range(count):
        kind = types[i % len(types)]
        head = ['%d "%s"' % (i, name(rng, 20))]
        head += [n(3), n(9), n(1), n(1), n(8), n(5000), n(50), n(20), n(20), n(12), n(4)]
        head += [rng.choice(ATTRIBUTES), str(rng.randint(-3, 5)), rng.choice(BONUS), str(rng.randint(-2, 5)), kind]
        if kind == "HandWeapon":
            tail = [n(3), n(12), n(1), n(1), n(2)]
        elif kind == "SpellWeapon":
            tail = [n(20), n(8), n(2)]
        elif kind == "Protection":
            tail = [rng.choice(DEVICES), n(6), n(1), n(1), n(1)]
        elif kind == "Jewelry":
            tail = [rng.choice(("ring", "necklace")), rng.choice(JEWEL_ATTRIBUTES), n(10), n(1)]
        elif kind == "Fruit":
            tail = [rng.choice(FRUIT_ATTRIBUTES), n(20), n(1)]
        elif kind == "Potion":
            tail = [rng.choice(ATTRIBUTES), n(50), n(1)]
        elif kind == "Torch":
            tail = [n(300), n(5), n(1)]
        else:
            tail = [n(9), n(1)]
        lines.append(" ".join(head + tail) + "\n")
    return "".join(lines)


def heroes(rng, count):
    lines = ["# Characters: label, name, col2, pronoun, class, 5-10, slot, inn, 13-17, items\n"]
    elementals = max(1, count // 20)
    n = lambda lo, hi: str(rng.randint(lo, hi))
    for i in range(count):
        elemental = i >= count - elementals
        cls = "elemental" if elemental else "class%d" % rng.randrange(32)
        slot = "1" if i < 5 and not elemental else "-"
        inn = "-" if slot == "1" or rng.random() < 0.3 else n(0, 20)
        items = [n(0, 19999) for _ in range(rng.randint(0, 10))]
        cols = ["H%d" % i, '"%s"' % name(rng, 9), n(0, 255), rng.choice(("him", "her", "it")), cls,
                n(8, 40), n(0, 30), n(3, 9), n(8, 18), n(8, 18), n(1, 6), slot, inn,
                n(8, 18), n(8, 18), n(8, 18), n(8, 18), n(0, 100000), str(len(items))] + items
        lines.append(" ".join(cols) + "\n")
    lines.append('END "End" 0 it endoflist 0 0 0 0 0 0 - - 0 0 0 0 0 0\n')
    return "".join(lines)


def spells(rng, count):
    lines = ["# Spells: label, name, effect, value, 4-8, verb, combat, no_combat, classes 0-31 (ends with a blank)\n"]
    for i in range(count):
        classes = [str(rng.randint(0, 12)) if rng.random() < 0.3 else "-" for _ in range(32)]
        cols = ["S%d" % i, '"%s"' % name(rng, 20), rng.choice(EFFECTS), str(rng.randint(-6, 40))]
        cols += [str(rng.randint(0, 20)) for _ in range(5)]
        cols += [rng.choice(VERBS), rng.choice(("combat", "-")), rng.choice(("no_combat", "-"))] + classes
        lines.append(" ".join(cols) + " \n")
    return "".join(lines)


def monsters(rng, count):
    lines = ["# Monsters: label, name, 2-6, 7, 8-10, 11-15, min, max, 18-24, flags\n"]
    n = lambda lo, hi: str(rng.randint(lo, hi))
    opt = lambda: n(1, 30) if rng.random() < 0.5 else "-"
    for i in range(count):
        low = rng.randint(1, 6)
        cols = ["M%d" % i, '"%s"' % name(rng, 22), n(1, 12), n(1, 80), n(0, 9), n(1, 3), n(2, 12), opt(),
                opt(), opt(), opt(), n(5, 15), n(1, 3000), n(1, 12), n(0, 5), n(0, 5), str(low),
                str(low + rng.randint(0, 8)), n(1, 12), n(0, 5), n(0, 5), n(0, 3), n(0, 3), n(1, 5000),
                n(1, 2000), "".join(rng.choice("0001") for _ in range(32))]
        lines.append(" ".join(cols) + "\n")
    return "".join(lines)


def number_rows(rng, label, count, hi):
    return "".join("%s%d %s\n" % (label, r, " ".join(str(rng.randint(0, hi)) for _ in range(32)))
                   for r in range(count))


def monster_table(rng, count):
    return "".join("area%d %d %d\n" % (i // 3, rng.randrange(256), rng.randint(1, 100)) for i in range(count))


def font(rng, glyphs):
    out = []
    for g in range(glyphs):
        planes = 2 if g % 8 == 7 else 1
        for p in range(planes):
            for _ in range(5):
                out.append("".join(rng.choice("#-") for _ in range(6)) + "\n")
            out.append(("@" if p == 0 and planes == 2 else " ") + " %d\n" % g)
    return "".join(out)


# --- world -------------------------------------------------------------------

def wall(rng, number, brushes):
    attrs = [rng.randint(0, 1), rng.randint(0, 1), rng.randint(0, 1), rng.randint(0, 1), rng.randint(0, 1),
             rng.randint(0, 15), rng.randint(0, 1), rng.randint(0, 3)]
    attrs = [str(a) for a in attrs] + [rng.choice("SDGW"), str(rng.randint(0, 60)), str(rng.randint(0, 4)),
                                       str(rng.randint(0, 3)), "0"]
    lines = ['# Wall %d\n' % number, '"Wall %d %s"\n' % (number, word(rng)), " ".join(attrs) + "\n"]
    for view in range(10):
        lines.append("# view %d\n" % view)
        count = rng.randint(1, 4)
        lines.append("%d\n" % count)
        for _ in range(count):
            values = [rng.randrange(brushes), rng.randint(0, 80), rng.randint(0, 60), rng.randint(8, 64),
                      rng.randint(8, 72), 0, 0, rng.randint(0, 1), rng.randint(0, 1)]
            lines.append(" ".join(str(v) for v in values) + "\n")
    return "".join(lines)


def map_file(rng, number, walls, size=128):
    specials = rng.randint(20, 120)
    code = rng.randbytes(rng.randint(200, 3000))
    out = struct.pack("<i", 2)
    out += bytes([size, size, rng.randint(0, 3), rng.randint(0, 3), rng.randrange(size), rng.randrange(size),
                  specials, 0])
    out += struct.pack("<H", len(code))
    out += ("Level %d" % number).encode("ascii").ljust(30, b"\0")
    for _ in range(specials):
        out += struct.pack("<BBHH", rng.randrange(size), rng.randrange(size), rng.randrange(len(code)),
                           rng.randrange(65536))
    out += code
    # Walls layer: mostly open floor with walls; floor layer: a few kinds.
    out += rng.randbytes(size * size).translate(bytes(0 if i < 160 else 1 + i % min(walls, 254) for i in range(256)))
    out += rng.randbytes(size * size).translate(bytes(1 + i % 4 for i in range(256)))
    return out


# --- the adventure -----------------------------------------------------------

CONFIG = """# Benchmark adventure, scale {scale}, seed {seed}.
!NAME:Bench

!TADV:BenchData:Bench.BNCH:Benchmark adventure:1.0
RW Bench 1.0
RT Brindlewood 1.2
RE 1.5
TG gtexts.txt
TX texts.txt
OB objects.txt
HE heroes.txt
SP spells.txt
PA palette.bmp
FN font.txt
CL classes.txt
AC actable.txt
MO monsters.txt
MT montable.txt

!TILE:BenchTiles:Bench Tiles:Tiles of the benchmark:1.0
T8 tiles.txt

!WALL:BenchWalls:Bench Walls:Walls of the benchmark:1.0
B8 brushes.txt
WA walls.txt

!TADV:BenchMaps:BenchMaps.BNCH:Maps of the benchmark:1.0
MP maps.txt
"""


def generate(out, scale, seed):
    root = os.path.join(out, "Bench")
    w = Writer(root)
    rng = random.Random(seed)
    table = palette_colours(rng)
    w.write("palette.bmp", bmp8(16, 16, table, bytes(range(256))))

    brushes = scaled(2000, scale, MAX_RECORDS - scaled(300, scale, 65535))
    tiles = scaled(300, scale, MAX_RECORDS)
    write_bitmaps(w, random.Random(seed + 1), table, "Brushes", "brushes", brushes, 64, 0.25, 0.25, 0.1)
    write_bitmaps(w, random.Random(seed + 2), table, "Tiles", "tiles", tiles, 128, 0.0, 0.3, 0.1)

    rng = random.Random(seed + 3)
    w.write("texts.txt", texts(rng, scaled(10000, scale, MAX_STRINGS), 1, "TXT"))
    w.write("gtexts.txt", texts(rng, scaled(100, scale, MAX_STRINGS), 0, "GTX"))
    w.write("objects.txt", objects(rng, scaled(20000, scale, MAX_OBJECTS)))
    w.write("heroes.txt", heroes(rng, scaled(200, scale, MAX_HEROES)))
    w.write("spells.txt", spells(rng, scaled(255, scale, MAX_SPELLS)))
    w.write("monsters.txt", monsters(rng, scaled(255, scale, MAX_MONSTERS)))
    w.write("classes.txt", number_rows(rng, "level", 25, 255))
    w.write("actable.txt", number_rows(rng, "ac", scaled(13, scale, MAX_AC_ROWS), 20))
    w.write("montable.txt", monster_table(rng, scaled(100, scale, MAX_MONSTER_TABLE)))
    glyphs = scaled(200, scale, MAX_GLYPH_WORDS * 8 // 9)
    w.write("font.txt", font(rng, glyphs))

    walls = scaled(300, scale, MAX_RECORDS)
    rng = random.Random(seed + 4)
    lines = ["# Walls: number, wall file\n"]
    for i in range(walls):
        w.write("walls/w%05d.txt" % i, wall(rng, i, brushes))
        lines.append("%d walls\\w%05d.txt\n" % (i, i))
    w.write("walls.txt", "".join(lines))

    maps = scaled(60, scale, MAX_RECORDS)
    rng = random.Random(seed + 5)
    lines = ["# Maps: number, map file\n"]
    for i in range(maps):
        w.write("maps/m%04d.map" % i, map_file(rng, i, walls))
        lines.append("%d maps\\m%04d.map\n" % (i, i))
    w.write("maps.txt", "".join(lines))

    w.write("pdbs.cfg", CONFIG.format(scale=scale, seed=seed))
    return root, w.names, w.bytes


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("out", help="adventures folder to write into (the adventure is OUT/Bench)")
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--seed", type=int, default=9)
    args = parser.parse_args()
    root, names, size = generate(args.out, args.scale, args.seed)
    print("%s: %d files, %.1f MB" % (root, len(names), size / 1e6))


if __name__ == "__main__":
    main()
