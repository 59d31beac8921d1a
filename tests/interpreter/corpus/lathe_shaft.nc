(turning a stepped shaft, radius values)
G18 G21
G0 X20 Z2
G1 X10 Z0 F0.2
G1 Z-15
G1 X14
G1 Z-30
G1 X20
G0 Z2
M30
