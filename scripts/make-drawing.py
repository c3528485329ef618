#!/usr/bin/env python3
"""Writes a large vekhost drawing and a session script over all its figures.

    scripts/make-drawing.py ELEMENTS DRAWING.json SCRIPT.vks

The drawing has ELEMENTS figures in segments of eight, every other segment
with hole data, so that a figure apply meets every kind of segment. The
script starts the command, picks the source figure and selects the whole
drawing, as an operator does, so that one apply changes every figure.
"""
import sys

PER_SEGMENT = 8


def write_drawing(out, elements):
    segments = (elements + PER_SEGMENT - 1) // PER_SEGMENT
    out.write('{"format": "vekhost-drawing", "version": 1, "title": "%d elements",\n' % elements)
    out.write(' "layers": [{"id": 1, "name": "outline", "colour": "#000000"},'
              ' {"id": 2, "name": "centre", "colour": "#ff0000"}],\n')
    out.write(' "segments": [\n')
    out.write('  {"id": 1, "layer": 1}')
    for s in range(segments):
        hole = ', "companion": 7, "hole": [{"layer": 2}, {"layer": 2}]' if s % 2 else ''
        out.write(',\n  {"id": %d, "layer": 2%s}' % (100 + s, hole))
    out.write('\n ],\n "elements": [\n')
    out.write('  {"id": 1, "type": 1, "segment": 1, "line": {"colour": 5, "type": 3},'
              ' "shape": {"kind": "line", "points": [[0, 0], [100, 0]]}}')
    element = 1000
    for s in range(segments):
        for e in range(PER_SEGMENT):
            if element - 1000 >= elements:
                break
            out.write(',\n  {"id": %d, "type": %d, "segment": %d, "line": {"colour": 1, "type": 1},'
                      ' "shape": {"kind": "line", "points": [[%d, %d], [%d, %d.5]]}}'
                      % (element, e, 100 + s, s % 1000, e, s % 1000 + 1, e))
            element += 1
    out.write('\n ]\n}\n')


def write_script(out):
    out.write('run\npick 1\nselect all\n')


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    elements = int(sys.argv[1])
    with open(sys.argv[2], 'w', encoding='utf-8') as drawing:
        write_drawing(drawing, elements)
    with open(sys.argv[3], 'w', encoding='utf-8') as script:
        write_script(script)


if __name__ == '__main__':
    main()
