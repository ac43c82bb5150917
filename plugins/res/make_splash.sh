#!/bin/sh
# Draws the splash picture (480 x 300 JPEG) into $1 with ImageMagick;
# $2 is the version shown, $3 optionally the font file.
set -eu
out="$1"
version="$2"
font="${3:-/usr/share/fonts/truetype/wqy/wqy-microhei.ttc}"
if [ ! -f "$font" ]; then
    font="$(fc-match -f '%{file}' 'WenQuanYi Micro Hei')"
fi
wave() { # amplitude period phase centre
    awk -v a="$1" -v p="$2" -v ph="$3" -v c="$4" 'BEGIN {
        for (x = 0; x <= 480; x += 3)
            printf "%d,%d ", x, c + a * sin(x / p + ph) * sin(x / (p * 4.3) + 0.6) }'
}
convert -size 480x300 gradient:'#17384f'-'#0a141d' \
    -fill none -stroke '#1f4a63' -strokewidth 1 \
    -draw "line 0,240 480,240" -draw "line 0,170 480,170" \
    -stroke '#2ec4b6' -strokewidth 3 -draw "polyline $(wave 30 17 0 205)" \
    -stroke '#ff9f1c' -strokewidth 2 -draw "polyline $(wave 20 9 1 208)" \
    -stroke none -fill '#2ec4b6' -draw "roundrectangle 40,40 88,88 10,10" \
    -fill '#0a141d' -draw "ellipse 58,74 9,7 0,360" -draw "rectangle 64,50 69,74" \
    -draw "polygon 64,50 80,56 80,62 69,58" \
    -font "$font" -fill white -pointsize 50 -annotate +102+86 'Velmora' \
    -fill '#9fd8e0' -pointsize 17 -annotate +42+128 '音频批量转换 · Audio Batch Converter' \
    -fill '#8aa0b0' -pointsize 12 -annotate +42+150 'AMR  AAC  MP3  AC3  M4A  OGG  WAV' \
    -fill '#c8d3dc' -pointsize 13 -annotate +42+282 "Dravik Soft  ·  Version $version" \
    -fill '#c8d3dc' -pointsize 13 -annotate +372+282 '正在启动...' \
    -quality 92 "$out"
