#!/usr/bin/env bash
# Writes the seed inputs of the fuzz targets into fuzzing/seeds/<target>/: small BMPs of every
# layout the reader takes and small JPEGs of every coding process libjpeg decodes (for `read`),
# the same BMPs cut down to the layout of the SetDIBits target (for `setdibits`), and a few
# fixed byte strings for `draw`. Needs ImageMagick's convert and libjpeg-turbo's cjpeg.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
read_dir=seeds/read
dibits_dir=seeds/setdibits
draw_dir=seeds/draw
mkdir -p "$read_dir" "$dibits_dir" "$draw_dir"

# Little-endian fields and raw bytes for the hand-made files.
byte() { printf "\\x$(printf %02x $(($1 & 255)))"; }
le16() { byte "$1"; byte $(($1 >> 8)); }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
hex() { local b; for b in "$@"; do byte $((16#$b)); done; }

# bmp NAME WIDTH HEIGHT BITS COMPRESSION TABLE_ENTRIES PIXEL_FILE [MASK_FILE]: a BMP with a
# 40-byte header; the table is a grey ramp.
bmp() {
    local name=$1 w=$2 h=$3 bits=$4 comp=$5 entries=$6 pixels=$7 masks=${8:-}
    local extra=$((entries * 4)) size
    [ -n "$masks" ] && extra=12
    size=$(stat -c %s "$pixels")
    {
        printf 'BM'
        le32 $((54 + extra + size)); le16 0; le16 0; le32 $((54 + extra))
        le32 40; le32 "$w"; le32 "$h"; le16 1; le16 "$bits"; le32 "$comp"; le32 "$size"
        le32 2835; le32 2835; le32 "$entries"; le32 0
        if [ -n "$masks" ]; then cat "$masks"; fi
        local i
        for ((i = 0; i < entries; i++)); do
            local v=$((i * 255 / (entries > 1 ? entries - 1 : 1)))
            byte $v; byte $((255 - v)); byte $((v / 2)); byte 0
        done
        cat "$pixels"
    } >"$read_dir/$name.bmp"
}

# Layouts ImageMagick writes with a 40-byte header.
picture="-size 13x7 -seed 7 plasma:"
convert $picture -monochrome BMP3:"$read_dir/bits1.bmp"
convert $picture -colors 12 -type Palette BMP3:"$read_dir/bits4.bmp"
convert $picture -colors 200 -type Palette -compress None BMP3:"$read_dir/bits8.bmp"
convert $picture -colors 200 -type Palette -compress RLE BMP3:"$read_dir/rle8.bmp"
convert $picture -type TrueColor BMP3:"$read_dir/bits24.bmp"

# Layouts it does not write, made by hand.
hex 04 12 00 05 34 56 70 00 00 00 00 02 01 00 00 03 ab c0 00 00 00 00 00 01 >"$work/rle4"
bmp rle4 8 4 4 2 16 "$work/rle4"
hex 1f 00 e0 03 00 7c 00 00 ff 7f 00 00 10 42 00 00 >"$work/p16"
bmp bits16 3 2 16 0 0 "$work/p16"
hex 00 f8 00 00 e0 07 00 00 1f 00 00 00 >"$work/m565"
bmp bitfields16 3 2 16 3 0 "$work/p16" "$work/m565"
hex 10 20 30 00 ff 00 00 00 00 ff 00 00 00 00 ff 00 80 80 80 00 01 02 03 00 >"$work/p32"
bmp bits32 3 2 32 0 0 "$work/p32"
hex 00 00 f0 3f 00 fc 0f 00 ff 03 00 00 >"$work/m1010"
bmp bitfields32 3 2 32 3 0 "$work/p32" "$work/m1010"

# JPEGs: baseline, progressive, greyscale, restart markers, arithmetic coding, 4:4:4, an odd
# size, and one cut off in its scan data.
convert -size 16x16 -seed 11 plasma: "$work/p.ppm"
convert -size 13x7 -seed 11 plasma: "$work/odd.ppm"
cjpeg -quality 75 "$work/p.ppm" >"$read_dir/baseline.jpg"
cjpeg -progressive "$work/p.ppm" >"$read_dir/progressive.jpg"
cjpeg -grayscale "$work/p.ppm" >"$read_dir/grey.jpg"
cjpeg -restart 1B "$work/p.ppm" >"$read_dir/restart.jpg"
cjpeg -arithmetic "$work/p.ppm" >"$read_dir/arithmetic.jpg"
cjpeg -sample 1x1 -optimize "$work/p.ppm" >"$read_dir/sample444.jpg"
cjpeg -progressive -arithmetic "$work/odd.ppm" >"$read_dir/odd-progressive-arith.jpg"
head -c 640 "$read_dir/baseline.jpg" >"$read_dir/truncated.jpg"

# Tiny files announcing huge pictures, which the reader must refuse from their headers for
# holding far fewer bytes than their pixels need: each JPEG above with its frame header saying
# 16000 x 16000 (the progressive one 9400 x 9400), and an RLE8 BMP of a few skip codes.
announce() {
    local from=$1 side=$2 to=$3 at
    at=$(LC_ALL=C grep -obUaP '\xFF[\xC0-\xC2\xC9\xCA]' "$from" | head -n 1 | cut -d: -f1)
    cp "$from" "$to"
    { byte $((side >> 8)); byte "$side"; byte $((side >> 8)); byte "$side"; } |
        dd of="$to" bs=1 seek=$((at + 5)) conv=notrunc status=none
}
for name in baseline grey restart arithmetic; do
    announce "$read_dir/$name.jpg" 16000 "$read_dir/huge-$name.jpg"
done
announce "$read_dir/progressive.jpg" 9400 "$read_dir/huge-progressive.jpg"
hex 00 02 ff ff 00 02 ff ff 00 00 00 01 >"$work/skips"
bmp rle8-huge-skips 16000 16000 8 1 256 "$work/skips"

# SetDIBits inputs: destination width - 1, height - 1, table seed, fill and steering byte, then
# the BMP without its 14-byte file header (info header, table or masks, pixels).
for file in "$read_dir"/*.bmp; do
    name=$(basename "$file" .bmp)
    w=$(od -An -tu4 -j18 -N4 "$file" | tr -d ' ')
    h=$(od -An -tu4 -j22 -N4 "$file" | tr -d ' ')
    { byte $((w - 1)); byte $((h - 1)); byte 0; byte 9; byte 0; tail -c +15 "$file"; } \
        >"$dibits_dir/$name"
    case $name in rle*) continue ;; esac
    { byte 4; byte 2; byte 200; byte 9; byte 16; tail -c +15 "$file"; } >"$dibits_dir/$name-rows"
done

# Drawing inputs: a palette, two bitmaps and operations; any bytes make a case.
for seed in 1 2 3 4; do
    head -c $((64 * seed)) "$read_dir/baseline.jpg" | tail -c 64 >"$draw_dir/bytes$seed"
done
hex 10 07 00 00 00 0c 00 00 00 08 00 00 00 00 00 00 00 01 00 00 00 09 00 00 00 05 00 00 00 \
    00 00 00 00 02 00 00 00 01 00 00 00 00 00 00 00 00 02 00 00 00 03 00 00 00 03 00 00 00 \
    04 00 00 00 >"$draw_dir/stretch"

ls -l "$read_dir" "$dibits_dir" "$draw_dir" | awk '$5 > 4096 { print "large seed: " $0 }'
