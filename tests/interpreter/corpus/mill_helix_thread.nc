(thread milling: incremental helix, every turn one pitch)
G17 G21 G90
G0 X30 Y20 Z5
G1 X36 Z-12 F300
G91 G2 X0 Y0 I-6 J0 Z1.5 L4
G90 G1 X30
G0 Z10
M30
