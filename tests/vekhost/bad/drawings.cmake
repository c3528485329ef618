# The bad drawings: each is base.json with one fault put in, written into
# the build tree by make_bad_drawings.cmake. A change to the base's format
# is made in base.json alone; an edit that no longer finds its text stops
# the build and names the drawing.
#
#   bad_drawing(NAME [AFTER anchor] REPLACE text replacement ...)
#
# REPLACE puts the replacement in place of the text, which occurs exactly
# once in the drawing; after AFTER, the first occurrence of the text behind
# the anchor (itself found exactly once) instead. The edits are made in turn.
# Each drawing's message is bad/drawing-NAME.err.
bad_drawing(unknown-type REPLACE [["type": 2,]] [["type": 40,]])
bad_drawing(duplicate-element REPLACE [["id": 302,]] [["id": 201,]])
bad_drawing(missing-segment AFTER [["id": 301,]] REPLACE [["segment": 30,]] [["segment": 99,]])
bad_drawing(decimal-places-range REPLACE [["decimalPlaces": 1,]] [["decimalPlaces": 12,]])
bad_drawing(unknown-key REPLACE [["colour": 7,]] [["color": 7,]])
bad_drawing(undeclared-layer AFTER [["id": 30,]] REPLACE [["layer": 2]] [["layer": 5]])
bad_drawing(hole-layer AFTER [=["hole": []=] REPLACE [[}]] [[}, {"layer": 9}]])
bad_drawing(figure-without-line REPLACE [[
      "line": {
        "colour": 7,
        "type": 1
      },
]] "")
bad_drawing(id-not-integer REPLACE [["id": 10,]] [["id": "10",]])
bad_drawing(colour-fraction REPLACE [["colour": 1,]] [["colour": 1.5,]])
bad_drawing(wrong-format REPLACE [["format": "vekhost-drawing",]] [["format": "dxf",]])
bad_drawing(negative-radius REPLACE [["radius": 2]] [["radius": -2]])
bad_drawing(shape-kind REPLACE [["kind": "line",]] [["kind": "spline",]])
bad_drawing(duplicate-segment AFTER [["id": 30,]] REPLACE [[}]] [[}, {"id": 20, "layer": 2}]])
# The comma missing after the title is the first fault the reader meets; the
# segment left open after it is never reached.
bad_drawing(malformed
  REPLACE [["title": "Bad drawings start from this one",]] [["title": "Bad drawings start from this one"]]
  AFTER [["id": 30,]] REPLACE [[}]] "")
bad_drawing(duplicate-key REPLACE [["colour": 7,]] [["colour": 7, "colour": 8,]])
