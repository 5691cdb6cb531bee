4
  1   B 1.500E+000 1.000E-001     Unused     Unused   Beta
  2   B 5.000E-001 6.000E-001     Unused     Unused   Beta
  3   E-2.000E+000-2.000E+000     Unused     Unused   Exponential
  4   N 1.000E+000 5.000E-001     Unused     Unused   Gaussian or Normal
