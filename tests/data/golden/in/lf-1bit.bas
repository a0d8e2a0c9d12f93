'/*header 8~8~1*/
data 00080008
'/*palette data 8byte*/
data 8000FFFF
'/*image data 16byte*/
data 55AA55AA55AA55AA
