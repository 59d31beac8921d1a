(arcs longer than a half circle with a negative R)
G17 G21 G90 F300
G0 X0 Y0 Z2
G1 Z-1
G2 X20 Y0 R-15
G3 X40 Y0 R-12
G2 X40 Y20 R10
G3 X20 Y20 R-10.5
G0 Z10
M30
