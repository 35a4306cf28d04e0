// What the scans of one JPEG file may cost, and a walk of the file's markers that tells before
// decoding whether its scans stay within that.
#pragma once

#include "afx.h"

// A real progressive file has about ten scans. The limit on blocks below mostly comes first;
// this one also bounds what each scan costs besides its blocks (its header and tables).
constexpr unsigned long long kMaxJpegScans = 500;

// Blocks the scans of one file may walk in all, as a multiple of the picture's own blocks. A
// scan of a few bytes still walks every block of its components, so the scan count alone lets
// a small file cost seconds. Honest progressive files walk their picture about 5 to 6 times
// (the common scan script: DC, two spectral bands and refinements per component); 12 leaves
// twice that for richer scan scripts.
constexpr unsigned long long kMaxJpegPicturePasses = 12;

// True once `scans` scans that walk `walkedBlocks` blocks in all cost more than a file of
// `pictureBlocks` blocks may. The callers keep each figure far below 2^64 (at most 255
// components of at most 8192 x 8192 blocks, and they stop at the first scan past the limit).
constexpr bool JpegScansPastLimit(unsigned long long scans, unsigned long long walkedBlocks,
                                  unsigned long long pictureBlocks) {
    return scans > kMaxJpegScans || walkedBlocks > kMaxJpegPicturePasses * pictureBlocks;
}

// Walks the markers from where the file stands to the end of the image, counting the scans
// and the blocks each walks, and puts the file back where it stood. False when the scans pass
// the limit, or when the file cannot be put back. A structure the walk cannot follow is left
// for the decoder to judge: the walk then decides on the scans it has seen.
bool JpegScansWithinLimit(CFile* pFile);

// Walks the markers from where the file stands and puts the file back: whether the data
// reaches the end-of-image marker, so that a file still being written tells itself apart from
// a finished one. A segment too short to hold its own length counts as reaching it: the decoder
// refuses such a file however long it grows.
bool JpegReachesEndOfImage(CFile* pFile);
