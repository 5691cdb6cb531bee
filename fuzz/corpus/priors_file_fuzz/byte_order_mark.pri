21
  1   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
  2   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
  3   N-9.000E-002 1.000E-003     Unused     Unused   Gaussian or Normal
  4   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
  5   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
  6   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
  7   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
  8   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
  9   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
 10   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
 11   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
 12   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
 13   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
 14   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
 15   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
 16   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
 17   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
 18   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
 19   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
 20   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
 21   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
