// Line-centre finder: reduces the line mask to the mean column of the marked pixels on the
// middle row.
#pragma once

// The centre column of the marked pixels (green byte 250) on row height / 2 of `mask`
// (width x height pixels, 4 bytes each), in truncating integer division; 0 when that row has
// no marked pixel, when width < 1 and when height < 1 (the mask is then not read).
int find_line_center(const unsigned char* mask, int width, int height);
