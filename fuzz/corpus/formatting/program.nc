N10 G1 X5 (comment)
N20 GOTO10

  g0 y1  
N30 IF[#1LT3]GOTO20
M30
