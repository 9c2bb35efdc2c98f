#!/usr/bin/python3
"""Makes the benchmarks' ~400 MB of mixed add-on data in the folder given: large text, random and structured
files, plus 10,000 small files in 100 folders (deterministic apart from the random files)."""
import os, random, sys
root = sys.argv[1]
rng = random.Random(1)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 9))) for _ in range(3000)]
text = ' '.join(rng.choice(words) for _ in range(200000)).encode()
for d in range(100):
    folder = os.path.join(root, 'AddOns', 'AddOn%03d' % d, 'Data')
    os.makedirs(folder)
    for f in range(100):
        n = rng.randint(200, 4000)
        start = rng.randint(0, len(text) - n)
        with open(os.path.join(folder, 'file%03d.lua' % f), 'wb') as out:
            out.write(text[start:start + n])
for sub in ('docs', 'media'):
    os.makedirs(os.path.join(root, sub))
total, i = 0, 0
while total < 400 << 20:
    size = rng.randint(2 << 20, 12 << 20)
    if i % 3 == 0:
        data = (text * (size // len(text) + 1))[:size]
        name = os.path.join(root, 'docs', 'doc%03d.txt' % i)
    elif i % 3 == 1:
        data = os.urandom(size)
        name = os.path.join(root, 'media', 'clip%03d.ogg' % i)
    else:
        block = bytes(rng.randint(0, 15) for _ in range(1 << 16))
        data = (block * (size // len(block) + 1))[:size]
        name = os.path.join(root, 'media', 'model%03d.m2' % i)
    with open(name, 'wb') as out:
        out.write(data)
    total += size
    i += 1
