(five parallel slots, counted by a WHILE loop)
G21 G17 G90
#1=0
G0 X0 Y0 Z5
WHILE [#1 LT 5] DO1
G0 X[#1*12] Y0
G1 Z-2 F100
G1 Y40 F400
G0 Z5
#1=#1+1
END1
G0 X0 Y0
M30
