3
  1   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
  2   Q 1.000E+000 2.000E-001     Unused     Unused   Gaussian or Normal
  3   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
