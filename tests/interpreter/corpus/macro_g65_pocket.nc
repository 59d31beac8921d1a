(rectangular frame macro with arguments for corner, size and depth)
G21 G17 G90
G0 X0 Y0 Z5
G65 P8000 X10 Y10 I30 J20 Z-2
G65 P8000 X60 Y10 I15 J15 Z-4
G0 Z30
M30
O8000
G0 X#24 Y#25
G1 Z#26 F100
G1 X[#24+#4] F300
G1 Y[#25+#5]
G1 X#24
G1 Y#25
G0 Z5
M99
