3
  1   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
  2   N 1.000E+000 0.000E+000     Unused     Unused   Gaussian or Normal
  3   T 0.000E+000 1.000E+000     Unused 1.000E+000   Uniform - bounded
