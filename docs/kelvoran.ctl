* GrADS data descriptor of a kelvoran output file: 114 records of 11094
* big-endian 4-byte reals, the six fields one after another, each as its
* levels. Put it next to the output file and name that file in dset
* (^ means "in the directory of this descriptor").
*
* kelvoran gives a level no structure beyond the order of its values, so
* x below is just the point number 1 ... 11094. If you know the model grid,
* declare it instead; the product of the x and y sizes must stay 11094.
* For a regular 129 x 86 longitude-latitude grid stored row by row, from
* the southernmost row:
*   xdef 129 linear 0 2.790697674
*   ydef 86 linear -88.953488372 2.093023256
* Levels are numbered from 1 (zdef below); the time is a placeholder.
dset ^out.dat
title kelvoran output
options big_endian
undef -9.99e33
xdef 11094 linear 1 1
ydef 1 linear 1 1
zdef 28 linear 1 1
tdef 1 linear 00z01jan2000 1dy
vars 6
gz 0 99 output record 1
q 0 99 output record 2
te 28 99 output records 3-30
uu 28 99 output records 31-58
vv 28 99 output records 59-86
rq 28 99 output records 87-114
endvars
