(bolt circle macro: G65 with centre, radius, count and start angle)
G21 G17 G90
G0 X0 Y0 Z10
G65 P9100 X50 Y40 R20 H6 A15
G65 P9100 X120 Y40 R10 H4 A0
G0 Z20
M30
O9100 (bolt circle: #24 #25 centre, #18 radius, #11 holes, #1 start angle)
#30=0
WHILE [#30 LT #11] DO1
#31=#1+#30*360/#11
G0 X[#24+#18*COS[#31]] Y[#25+#18*SIN[#31]]
G1 Z-3 F100
G0 Z2
#30=#30+1
END1
M99
