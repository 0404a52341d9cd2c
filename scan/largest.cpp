#include "scan/largest.h"

#include <algorithm>
#include <cstring>

#include "scan/textcase.h"

namespace ostrel {

namespace {

size_t LevelsAbove(const DirNode* node) {
  size_t levels = 0;
  for (; node->Parent; node = node->Parent) ++levels;
  return levels;
}

// Byte `i` of `name` followed by a separator when the path goes on below it; -1 past the end.
int PathByte(const char* name, size_t length, size_t i, bool goesOn) {
  if (i < length) return static_cast<unsigned char>(name[i]);
  return i == length && goesOn ? '/' : -1;
}

}  // namespace

bool FullPathBefore(const DirNode& a, const DirNode& b) {
  // Names in one folder, the common case, by their bytes alone (strcmp compares unsigned).
  if (a.Parent == b.Parent && a.Parent) return std::strcmp(a.Name, b.Name) < 0;
  // Climb to where the two paths part: `x` and `y` are then distinct children of one folder,
  // everything above them is the same text, and the names (with a separator after a name the
  // path goes on past) decide. The Depth field stops at its limit; counting the levels does not.
  const DirNode* x = &a;
  const DirNode* y = &b;
  size_t levelsX = LevelsAbove(x);
  size_t levelsY = LevelsAbove(y);
  bool belowX = false;  // whether a's path goes on past x's name
  bool belowY = false;
  for (; levelsX > levelsY; --levelsX) x = x->Parent, belowX = true;
  for (; levelsY > levelsX; --levelsY) y = y->Parent, belowY = true;
  if (x == y) return belowY;  // one is the other's folder: the shorter path first
  while (x->Parent != y->Parent) x = x->Parent, y = y->Parent, belowX = belowY = true;
  const size_t lengthX = std::strlen(x->Name);
  const size_t lengthY = std::strlen(y->Name);
  for (size_t i = 0;; ++i) {
    const int byteX = PathByte(x->Name, lengthX, i, belowX);
    const int byteY = PathByte(y->Name, lengthY, i, belowY);
    if (byteX != byteY) return byteX < byteY;
    if (byteX == -1 || byteX == '/') return false;  // the same name: no order between them here
  }
}

std::vector<const DirNode*> LargestFilesBelow(const DirNode& folder, size_t count, TMeasure measure,
                                              std::string_view nameContains) {
  // Larger first, then by path. The heap keeps the `count` best so far with the worst on top,
  // so a file that does not beat it costs one comparison.
  const auto better = [measure](const DirNode* a, const DirNode* b) {
    const uint64_t sizeA = SizeOf(*a, measure);
    const uint64_t sizeB = SizeOf(*b, measure);
    return sizeA != sizeB ? sizeA > sizeB : FullPathBefore(*a, *b);
  };
  std::vector<const DirNode*> heap;
  if (count == 0) return heap;
  heap.reserve(std::min<size_t>(count, 4096));
  // Depth first along the links: down to a first child, else on to the next sibling, else up
  // until a folder has one; `folder` itself is where the climb stops.
  const DirNode* node = folder.FirstChild;
  while (node) {
    if (node->Kind == NodeFile && SizeOf(*node, measure) > 0 &&
        (nameContains.empty() || ContainsNoCase(node->Name, nameContains))) {
      if (heap.size() < count) {
        heap.push_back(node);
        std::push_heap(heap.begin(), heap.end(), better);
      } else if (better(node, heap.front())) {
        std::pop_heap(heap.begin(), heap.end(), better);
        heap.back() = node;
        std::push_heap(heap.begin(), heap.end(), better);
      }
    }
    if (node->FirstChild) {
      node = node->FirstChild;
      continue;
    }
    while (node != &folder && !node->NextSibling) node = node->Parent;
    node = node == &folder ? nullptr : node->NextSibling;
  }
  std::sort_heap(heap.begin(), heap.end(), better);
  return heap;
}

}  // namespace ostrel
