// TTreemapView: the main window's fourth chart kind. A folder's whole subtree down to its files
// as nested rectangles (LayoutTreemap), the files coloured by kind, the folders outlined, each
// rectangle shaded as a cushion so that the nesting shows; while a comparison is shown, by how
// each grew or shrank instead. Laying out and drawing a million entries takes a moment, so both
// run on a thread of the view's own, into an image; the GUI thread only hands over requests and
// takes finished pictures. A newer request (another folder, a resize) stops the one under way.
//
// The view reads the scan's tree from its thread: before a tree changes or goes, Halt.
#pragma once
#include <QImage>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "chart/treemap.h"
#include "scan/dirnode.h"

namespace ostrel {

class TTreemapView : public QWidget {
  Q_OBJECT

 public:
  // How a node changed since the earlier scan, while a comparison is shown.
  enum TChange : uint8_t { ChangeNone, ChangeSame, ChangeGrew, ChangeShrank, ChangeNew };
  // ScanSettings.charttype's number for the treemap, after TChartView's three kinds.
  static constexpr int ChartKind = 3;
  // Files narrower or lower than this many pixels are merged into their folder's area.
  static constexpr int MinSide = 3;

  explicit TTreemapView(QWidget* parent = nullptr);
  // Stops the thread and waits for it.
  ~TTreemapView() override;

  // Shows the subtree of `folder` (null: nothing) in `measure`. With `compared`, every node is
  // coloured by its change since the earlier scan, `oldFolder` being the folder then (null: it
  // is new). The picture shown stays, scaled to the view, until the new one is drawn. Asking
  // again for what was asked last changes nothing.
  void ShowFolder(const DirNode* folder, TMeasure measure, bool compared = false, const DirNode* oldFolder = nullptr);
  // Stops the drawing under way and waits for it (it stops at its next check, within a few
  // milliseconds), then forgets the layout: once this returns the trees may change or go. The
  // picture stays, without hovering or clicks, until ShowFolder lays it out again.
  void Halt();

  // The folder asked for last; null for none.
  const DirNode* Folder() const { return Want.Folder; }
  // True when the picture shown is the layout of what was asked last, at the view's size.
  bool Ready() const;
  // The layout of the picture shown, in the picture's pixels; empty while there is none.
  const std::vector<TTreemapRect>& Rects() const { return Shown.Rects; }
  // The deepest node drawn at `pos` (the view's coordinates); null where none is.
  const DirNode* NodeAt(QPoint pos) const;
  // Where `node` is drawn, in the view's coordinates; empty when it is not.
  QRect RectOf(const DirNode* node) const;
  // How `node` changed (ChangeNone while no comparison is drawn, or for a node not drawn), and
  // its size then in `then` (0 when new).
  TChange ChangeOf(const DirNode* node, uint64_t* then = nullptr) const;

  // The rectangle outlined: under the pointer, or chosen by the arrow keys; null for none.
  const DirNode* Highlighted() const { return Highlight; }
  void SetHighlighted(const DirNode* node);

 signals:
  // The pointer or the arrow keys moved the outline onto `node`, or off every rectangle (null).
  void NodeHovered(const DirNode* node);
  // A click on `node`'s rectangle, or Enter while it is outlined.
  void NodeClicked(const DirNode* node);
  // Backspace.
  void UpRequested();
  // The context menu was asked for over `node`, which is outlined now.
  void MenuRequested(const DirNode* node, QPoint globalPos);
  // A new picture is shown.
  void PictureShown();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  struct TRequest {
    const DirNode* Folder = nullptr;
    TMeasure Measure = TMeasure::DiskUsage;
    bool Compared = false;
    const DirNode* OldFolder = nullptr;
    QSize Size;  // in device pixels
    qreal Ratio = 1;
    bool operator==(const TRequest&) const = default;
  };
  struct TPicture {
    uint64_t Generation = 0;
    QImage Image;
    std::vector<TTreemapRect> Rects;
    std::unordered_map<const DirNode*, uint32_t> Index;  // node to its rectangle
    std::vector<uint8_t> Changes;  // per rectangle, while compared
    std::vector<uint64_t> Then;    // per rectangle, while compared
  };

  QSize DeviceSize() const;
  void Post();
  void Run();
  bool Draw(const TRequest& request, TPicture& picture) const;
  void TakePicture();
  int IndexOf(const DirNode* node) const;
  QRectF ToView(const TTreemapRect& r) const;
  void MoveHighlight(int dx, int dy);

  TRequest Want;       // what was asked last
  bool Valid = false;  // Want has been posted since the last Halt
  uint64_t Posted = 0;  // the generation of Want's post
  TPicture Shown;
  const DirNode* Highlight = nullptr;

  // Shared with the thread, under Lock.
  std::mutex Lock;
  std::condition_variable Wake, Idle;
  std::optional<TRequest> Pending;
  uint64_t Generation = 0;  // of the newest request; a picture of another is dropped
  std::optional<TPicture> Result;
  bool Busy = false, Quit = false;
  std::atomic<bool> Stop{false};  // the drawing under way is no longer wanted
  std::thread Worker;
};

}  // namespace ostrel
