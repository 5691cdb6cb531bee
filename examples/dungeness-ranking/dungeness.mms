     3 < Number of models ranked
 Model     -nln[L] #Prms        AICc       dAICc      AIC Wt                            Algorithm file                           Covariance file  Notes>
     1  9.5837E+02     4  1.9248E+03  0.0000E+00     0.55865                             linear_sd.alg                             linear_sd.cov  
     2  9.5759E+02     5  1.9253E+03  4.7137E-01     0.44135                           curved_mean.alg                           curved_mean.cov  
     3  1.0027E+03     3  2.0115E+03  8.6658E+01     0.00000                           constant_sd.alg                           constant_sd.cov  

Parameter estimates and their SEs resulting from averaging across all ranked models.
Each model contributes to the reported averages according to its AIC Weight.
SEs will report a value of -1 if any model is missing an estimate for SE.

Parameter_#  Parameter_Value     SEs_Grid_#1     SEs_Grid_#2     SEs_Grid_#3
          1       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
          2       2.5664E+01     -1.0000E+00      4.1499E+00      4.1341E+00
          3      -6.2000E-02     -1.0000E+00      6.6507E-02      6.6245E-02
          4      -1.7427E-04     -1.0000E+00      2.6654E-04      2.6547E-04
          5       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
          6       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
          7       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
          8       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
          9       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
         10       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
         11       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
         12      -1.6431E+00     -1.0000E+00      5.8048E-01      5.7969E-01
         13       2.3943E-01     -1.0000E+00      4.0892E-02      4.0838E-02
         14       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
         15       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
         16       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
         17       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
         18       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
         19       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
         20       0.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
         21       1.0000E+00     -1.0000E+00      0.0000E+00      0.0000E+00
