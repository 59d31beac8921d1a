(passes written in P: M98 P31200 runs O1200 three times)
G21 G17 G90
G0 X0 Y0 Z2
G1 Z-1 F100
M98 P31200
G0 Z10
M30
O1200 (one tooth of a comb)
G91 G1 X5 Y10 F300
G1 X5 Y-10
G90
M99
