(inch: rings of growing radius in a WHILE loop)
G20 G17 G90
#2=0.25
G0 X0 Y0 Z0.1
WHILE [#2 LE 1] DO2
G0 X[-#2] Y0
G1 Z-0.02 F5
G2 X[-#2] Y0 I#2 J0 F20
G0 Z0.1
#2=#2+0.25
END2
M30
