// A folder's treemap without drawing it: every file and folder below it that has room, as a
// rectangle of pixels whose area is its share of the folder's size. Squarified (rows of
// children along the shorter side, a row growing while its worst aspect ratio improves), the
// largest child first. Each folder's rectangle is its outline: its children are laid out one
// pixel inside it, so that the outline stays visible around them, the top folder's included.
#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "scan/dirnode.h"

namespace ostrel {

// One laid-out node. A tree of a million files may give as many rectangles, so the record is
// 16 bytes: coordinates fit in 16 bits (a layout is clipped to 32767 pixels), and the node
// itself tells its depth (Depth) and its folder (Parent), so neither is kept here.
struct TTreemapRect {
  int16_t X, Y, W, H;
  const DirNode* Node;
};
static_assert(sizeof(TTreemapRect) == 16, "a layout may hold a rectangle per file");

// The layout of `folder` in the rectangle (x, y, width, height), measured by `measure`. The
// folder comes first, then breadth first (a folder's children together, after every node of
// the depth above): a rectangle always follows the folder that holds it. A folder's own size
// (its listing's blocks) takes its share of the folder's inside but gets no rectangle, so
// areas stay proportional across folders. Children of size 0 get nothing. A file whose
// rectangle would be less than `minSide` pixels across (at least 1) is left out, its area
// showing as its folder's; a folder that small gets its rectangle but none for its children.
// Without recursion: any depth costs no stack. With `stop`, the layout gives up as soon as it
// sees *stop set (between folders, and every few thousand children of a large one) and
// returns an empty layout: a caller on another thread ends it early by setting the flag.
std::vector<TTreemapRect> LayoutTreemap(const DirNode& folder, TMeasure measure, int x, int y, int width,
                                        int height, int minSide, const std::atomic<bool>* stop = nullptr);

// The deepest rectangle of `rects` (as LayoutTreemap gives them) that holds the pixel (x, y),
// or null for a pixel outside them all. A look through the whole layout at worst.
const TTreemapRect* TreemapRectAt(const std::vector<TTreemapRect>& rects, int x, int y);

}  // namespace ostrel
