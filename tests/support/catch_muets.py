#!/usr/bin/python3
"""Lists the catch blocks of the sources that do nothing and say nothing: each failure a block
swallows must have its reason written beside it. Exits 1 when one is found."""
import os
import re
import sys


def corps(texte, debut):
    """The text between the braces that follow the catch's parentheses."""
    i, prof = debut, 1
    while prof:
        prof += {'(': 1, ')': -1}.get(texte[i], 0)
        i += 1
    j = texte.index('{', i)
    k, prof = j + 1, 1
    while prof:
        prof += {'{': 1, '}': -1}.get(texte[k], 0)
        k += 1
    return texte[j + 1:k - 1]


muets = []
for dossier, _, fichiers in os.walk(sys.argv[1]):
    for nom in sorted(fichiers):
        if not nom.endswith(('.cpp', '.h')):
            continue
        chemin = os.path.join(dossier, nom)
        texte = open(chemin, encoding='utf-8').read()
        for m in re.finditer(r'\bcatch\s*\(', texte):
            c = corps(texte, m.end())
            sans = re.sub(r'/\*.*?\*/', '', re.sub(r'//[^\n]*', '', c), flags=re.S)
            if not sans.strip() and '//' not in c and '/*' not in c:
                muets.append('%s:%d' % (chemin, texte.count('\n', 0, m.start()) + 1))
for m in muets:
    print('catch vide sans raison:', m)
sys.exit(1 if muets else 0)
