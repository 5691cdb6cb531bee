3
  1   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
  2   s-2.500E+003 0.000E+000     Unused     Unused   Left-side cliff
  3   n 2.500E+000 5.000E-001     Unused     Unused   Gaussian or Normal
