# Sourced by the tests of record: what a player makes of its files, read back
# by ffprobe and ffmpeg. Needs $tmp, fail, region (zorvi-settings region) and
# $frame (the picker's frame colour).
# near RRGGBB RRGGBB: the same colour give or take the encoder's rounding.
near() {
    local i d
    [[ $1$2 =~ ^[0-9a-f]{12}$ ]] || return 1
    for i in 0 2 4; do
        d=$((16#${1:i:2} - 16#${2:i:2}))
        ((d * d <= 24 * 24)) || return 1
    done
}
probe() { ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=width,height,nb_read_frames -of csv=p=0 "$1"; }
colours() { convert "$1" -crop "$2" +repage -depth 8 rgb:- | od -An -v -tx1 -w3 | tr -d ' ' | sort -u; }
# frame FILE SECONDS-FROM-THE-END NAME: that frame as $tmp/NAME.ppm.
frame() {
    ffmpeg -v error -y -sseof "$2" -i "$1" -frames:v 1 -vcodec ppm -f image2 "$tmp/$3.ppm" ||
        fail "no frame $2 s from the end of $1"
}
# shows FILE first|last W H RRGGBB: that frame has the colour in its centre, and
# nothing of the picker's frame on its edges.
shows() {
    local c image=$tmp/$2.ppm
    if [ "$2" = last ]; then frame "$1" -0.3 last; else
        ffmpeg -v error -y -i "$1" -frames:v 1 -vcodec ppm -f image2 "$image" || fail "no first frame"
    fi
    c=$(colours "$image" "1x1+$(($3 / 2))+$(($4 / 2))")
    near "$c" "$5" || fail "$2 frame: $c in the centre, wanted about $5"
    for c in $(colours "$image" "${3}x1+0+0") $(colours "$image" "${3}x1+0+$(($4 - 1))") \
        $(colours "$image" "1x$4+0+0") $(colours "$image" "1x$4+$(($3 - 1))+0"); do
        ! near "$c" $frame || { fail "$2 frame: the frame's $c on an edge"; break; }
    done
}
# The inside of the frame as record takes it: WIDTH,HEIGHT, each even.
even_inner() { read -r w h < <(region --inner --format '%w %h') && echo "$((w & ~1)),$((h & ~1))"; }
