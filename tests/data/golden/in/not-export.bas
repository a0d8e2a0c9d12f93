'/*hello*/
10 PRINT "HI"
