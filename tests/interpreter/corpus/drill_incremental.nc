(a row of holes stepped incrementally)
G21 G17 G90
G0 X0 Y0 Z10
G91 G99 G81 X10 Y0 Z-7 R-8 F100
X10
X10
G90 G80
G0 Z20
M30
