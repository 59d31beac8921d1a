(unit changes, a shifted origin, rotary and secondary axes, signed zeros)
G21 G90 G0 X1 Y2 Z3
G1 X-0 Y0.1 F100
G2 X10 Y0 I5 J0
G20
G1 X1 A30 B-0 C5
G1 U2 V3 W4
G1 X2 U-0.5
G92 X0 Y0 Z0 A0
G3 X0 Y1 R2 Z-1
G2 X0 Y1 I0.5 J0 Z-2 L3
G21
G1 X5 A45 V-0
G0 Z50
M30
