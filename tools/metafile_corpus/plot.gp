# A plot as statistics programs write them: axis titles, a rotated y title, a filled curve.
set terminal emf size 480,360
set xlabel "x axis"
set ylabel "y axis title"
plot sin(x) title "sin", cos(x) with filledcurves title "cos"
