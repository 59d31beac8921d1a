(counterbores with dwell, back to the initial level)
G21 G17 G90
G0 X0 Y0 Z20
G98 G82 X20 Y20 Z-4 R3 P500 F80
X60
Y60
X20
G80
G0 X0 Y0
M30
