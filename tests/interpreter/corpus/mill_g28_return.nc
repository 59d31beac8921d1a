(end of program: through the clearance point to machine zero)
G21 G17 G90
G10 L2 P1 X150 Y80 Z-50
G54
G0 X0 Y0 Z5
G1 Z-2 F100
G1 X50 F500
G0 Z5
G28 Z20
G28 X0 Y0
M30
