(CAM post style: tabs between words and numbers, ";" ends the words of a block)
G21	G17	G90
G0	X0	Y0	Z5
G1	Z-1	F200 ; plunge
G1	X	10.5	Y	0 ; X and its number apart
G1 X10.5 Y8 ; Z-9 would plunge if it were read
G2	X0.5	Y8	I-5	J0
G1 X0.5 Y0 (a;b) Z-2
G0 Z5 ; (a comment after the end)
M30
