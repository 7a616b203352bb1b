#!/usr/bin/env python3
# Generates the test tree of the measurement benchmarks:
#   gen_tree.py ROOT FILES FOLDERS
# Prints what it made (two lines).
# Same seed, same tree: names, depths, sizes and contents repeat run after run.
import math, os, random, sys

root, nfiles, nfolders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rnd = random.Random(20261207)
MAXDEPTH = 12

ascii_chars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.+"
wide_chars = "äöüÄÖÜßéèêçñøåæœÆŒΩπλжЯщ日本語中文字한글ÿ€🙂📁"
extensions = [".txt", ".so", ".h", ".py", ".png", ".html", ".gz", ".json", ".mo", ".c", ".1", ""]

def name_length():
    r = rnd.random()
    if r < 0.04:
        return rnd.randint(1, 2)
    if r < 0.08:
        return rnd.randint(45, 60)
    return min(60, max(1, int(rnd.lognormvariate(2.3, 0.55))))

def make_name(is_file):
    n = name_length()
    kind = rnd.random()
    if kind < 0.08:      # a few non-ASCII characters among ASCII ones
        chars = [rnd.choice(wide_chars) if rnd.random() < 0.35 else rnd.choice(ascii_chars) for _ in range(n)]
    else:
        chars = [rnd.choice(ascii_chars) for _ in range(n)]
    if kind > 0.90 and n >= 3:  # spaces inside, never at the ends
        for _ in range(rnd.randint(1, max(1, n // 6))):
            chars[rnd.randint(1, n - 2)] = " "
    name = "".join(chars)
    if is_file and n < 55 and rnd.random() < 0.6:
        name += rnd.choice(extensions)
    return name

taken = {}  # folder index -> names used in it (files and folders share them)

def unique_name(parent, is_file):
    used = taken.setdefault(parent, set())
    while True:
        name = make_name(is_file)
        if name in (".", "..") or name in used:
            continue
        used.add(name)
        return name

paths = [root]
depth = [0]
by_depth = [[0]] + [[] for _ in range(MAXDEPTH)]
os.makedirs(root)

def add_folder(parent):
    d = depth[parent] + 1
    path = os.path.join(paths[parent], unique_name(parent, False))
    os.mkdir(path)
    paths.append(path)
    depth.append(d)
    by_depth[d].append(len(paths) - 1)

top = max(8, nfolders // 1500)
for _ in range(top):
    add_folder(0)
# Most folders a few levels down, a tail reaching MAXDEPTH.
levels = list(range(2, MAXDEPTH + 1))
level_weights = [14, 16, 16, 14, 11, 8, 6, 5, 4, 3, 3]
while len(paths) - 1 < nfolders:
    d = rnd.choices(levels, level_weights)[0]
    while not by_depth[d - 1]:
        d -= 1
    add_folder(rnd.choice(by_depth[d - 1]))

# Files gather unevenly: many folders hold a handful, a few hold hundreds,
# about one in ten holds none.
weights = [0.0 if rnd.random() < 0.10 else min(400.0, rnd.paretovariate(1.1)) for _ in paths]
weights[0] = 1.0
targets = rnd.choices(range(len(paths)), weights, k=nfiles)

def file_size():
    r = rnd.random()
    if r < 0.08:
        return 0
    if r < 0.10:
        return 4096 * rnd.randint(1, 4)        # exactly whole clusters
    if r < 0.11:
        return 4096 * rnd.randint(1, 3) + 1    # one byte into the next
    return min(16384, int(math.exp(rnd.uniform(0, math.log(16384)))))

content = rnd.randbytes(1 << 16)
total = 0
for parent in targets:
    size = file_size()
    path = os.path.join(paths[parent], unique_name(parent, True))
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    if size:
        start = rnd.randrange(0, len(content) - size)
        os.write(fd, content[start:start + size])
    os.close(fd)
    total += size

# A few large files with no data blocks: apparent size far above occupied.
sparse = 0
for i in range(5):
    size = rnd.randint(1, 4) * (1 << 30) + rnd.randrange(1 << 20)
    parent = rnd.randrange(len(paths))
    path = os.path.join(paths[parent], "sparse image %d.img" % i)
    with open(path, "wb") as f:
        f.truncate(size)
    sparse += size

hist = [len(by_depth[d]) for d in range(1, MAXDEPTH + 1)]
print("files %d (+5 sparse), folders %d (+ the top), written bytes %d, sparse bytes %d"
      % (nfiles, len(paths) - 1, total, sparse))
print("folders per depth 1..%d: %s" % (MAXDEPTH, " ".join(map(str, hist))))
