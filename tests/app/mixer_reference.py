#!/usr/bin/env python3
"""Reference values of the mixer parameters, from the controls' table in
double precision: range = maximum - minimum; a linear parameter's value is
minimum + range * position, an exponential one's minimum + range *
((a + 1)^position - 1) / a with a = e^5; a fresh parameter's position is
(default - minimum) / range, through ln(a y + 1) / ln(a + 1) for an
exponential one.

Prints lines:
  half <value>                 a cutoff at position 0.5, in closed form
  fresh <index> <value> <position>
  set <index> <position> <value>"""

import math

A = math.exp(5.0)

# default, minimum, maximum, exponential
TABLE = [
    (0.9, 0.0, 2.0, False),
    (0.5, 0.0, 1.0, False),
    (1.0, 1.0, 3.0, False),
    (5.0, 5.0, 22000.0, True),
    (22000.0, 5.0, 22000.0, True),
    (1.0, 0.0, 1.0, False),
    (0.0, 0.0, 1.0, False),
    (1.0, 1.0, 3.0, False),
    (5.0, 5.0, 22000.0, True),
    (22000.0, 5.0, 22000.0, True),
    (1.0, 0.0, 1.0, False),
    (0.0, 0.0, 1.0, False),
]

print("half", repr(5.0 + 21995.0 * (math.sqrt(A + 1.0) - 1.0) / A))

for index, (default, low, high, exponential) in enumerate(TABLE):
    fraction = (default - low) / (high - low)
    position = math.log(A * fraction + 1.0) / math.log(A + 1.0) if exponential else fraction
    print("fresh", index, repr(default), repr(position))

for index, (default, low, high, exponential) in enumerate(TABLE):
    for position in (0.0, 0.1, 0.25, 0.5, 0.75, 0.9, 1.0):
        t = ((A + 1.0) ** position - 1.0) / A if exponential else position
        print("set", index, repr(position), repr(low + (high - low) * t))
