# The ratio chart of docs/performance.md: ours / peer per benchmark (median of the pairs),
# with each benchmark's goal. Usage: gnuplot -e "data='ratios.dat'; out='ratios.png'" ratios.gp
set terminal pngcairo size 820,420 font "Sans,10"
set output out
set title "Our programs / the peer, median of alternating pairs (lower is better)"
set style data histograms
set style fill solid 0.8 border -1
set boxwidth 0.6
set yrange [0:*]
set offsets 0, 0, 0.15, 0
set ylabel "ratio"
set grid ytics
set key outside bottom center horizontal
set xtics nomirror
plot data using 2:xtic(1) title "ratio" linecolor rgb "#4a78b0", \
     '' using 0:3 with points pointtype 7 pointsize 1.4 linecolor rgb "#c03030" title "goal (at most)", \
     '' using 0:2:(sprintf("%.2fx", $2)) with labels offset 0,0.8 notitle
