three
  1   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded
