// Line-centre finder: reduces the line mask to the mean column of the marked pixels on the
// middle row.
#pragma once

// The centre column of the marked pixels (green byte 250) on row height / 2 of `mask`
// (width x height pixels, 4 bytes each), in truncating integer division; 0 when that row has
// no marked pixel, when width < 1 and when height < 1 (the mask is then not read).
// The middle row's byte offset is formed in 32-bit int arithmetic, so the mask must satisfy
// 4 * (height / 2) * width < 2^31 (a 65535-pixel-wide mask, for example, may be at most 16385 rows
// high).
int find_line_center(const unsigned char* mask, int width, int height);
