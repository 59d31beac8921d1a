(a turned contour whose U and W origin moves halfway)
G0 X20 Z5
G1 X10 Z0 F0.2
G1 U4 W-3
G50 U5 W-2
G1 X30 Z-10
G2 X40 Z-20 R10
G0 X50 Z10
M30
