(machine coordinate moves to a tool change position)
G21 G17 G90
G10 L2 P1 X200 Y100 Z-80
G54
G0 X0 Y0 Z5
G1 Z-1 F100
G1 X40 Y20 F400
G53 G0 Z0
G53 G0 X10 Y10
G0 X0 Y0 Z5
M30
