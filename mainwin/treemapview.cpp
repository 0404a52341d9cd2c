#include "mainwin/treemapview.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

namespace ostrel {
namespace {

// The kinds of files a user tells apart by colour, and a few extensions of each.
struct TKind {
  QRgb Colour;
  const char* Extensions;  // space-separated, lower case
};
const TKind Kinds[] = {
    {qRgb(214, 62, 62), "mp4 mkv avi mov wmv flv webm m4v mpg mpeg ts vob 3gp ogv"},                    // video
    {qRgb(232, 142, 44), "mp3 flac wav ogg oga opus m4a aac wma aiff aif ape mid midi"},                 // audio
    {qRgb(74, 168, 74), "jpg jpeg png gif bmp tif tiff webp svg heic heif raw cr2 nef dng psd xcf ico"},  // images
    {qRgb(150, 92, 200), "zip tar gz tgz bz2 xz zst 7z rar lz lzma cab iso img dmg deb rpm qcow2 vdi vmdk vhd squashfs"},
    {qRgb(62, 120, 214), "pdf doc docx odt ods odp xls xlsx ppt pptx txt md rtf epub tex csv html htm log"},  // documents
    {qRgb(40, 176, 176), "c h cc cpp cxx hpp py js java rs go rb php sh pl lua cs swift kt json xml yml yaml toml ini css sql"},
    {qRgb(204, 182, 48), "exe dll so a o lib bin elf run appimage msi sys ko dylib jar class pyc wasm apk"},  // programs
};
const QRgb OtherColour = qRgb(150, 150, 150);
const QRgb FolderColour = qRgb(196, 186, 164);
// While compared: grown and new warm, shrunk cold, the same grey.
const QRgb GrewColour = qRgb(236, 128, 40);
const QRgb NewColour = qRgb(222, 52, 40);
const QRgb ShrankColour = qRgb(58, 120, 222);
const QRgb SameColour = qRgb(168, 168, 168);

const std::unordered_map<std::string_view, QRgb>& KindTable() {
  static const std::unordered_map<std::string_view, QRgb> table = [] {
    std::unordered_map<std::string_view, QRgb> t;
    for (const TKind& kind : Kinds) {
      std::string_view list(kind.Extensions);
      while (!list.empty()) {
        const size_t end = std::min(list.find(' '), list.size());
        t.emplace(list.substr(0, end), kind.Colour);
        list.remove_prefix(std::min(end + 1, list.size()));
      }
    }
    return t;
  }();
  return table;
}

// The cushion over a rectangle: z = X2 x² + X1 x + Y2 y² + Y1 y, a ridge added per level.
struct TSurface {
  float X1 = 0, X2 = 0, Y1 = 0, Y2 = 0;
};

void AddRidge(float& s1, float& s2, double lo, double hi, double height) {
  if (hi <= lo) return;
  s1 += static_cast<float>(4 * height * (hi + lo) / (hi - lo));
  s2 -= static_cast<float>(4 * height / (hi - lo));
}

QRgb Scaled(QRgb colour, float by) {
  auto part = [by](int v) { return std::clamp(static_cast<int>(static_cast<float>(v) * by), 0, 255); };
  return qRgb(part(qRed(colour)), part(qGreen(colour)), part(qBlue(colour)));
}

// The colour of a file of this name, by its extension's kind.
QRgb KindColour(const char* name) {
  const char* dot = name ? std::strrchr(name, '.') : nullptr;
  if (!dot || dot == name) return OtherColour;
  // A library's versioned name, libz.so.1.2, is still a library.
  if (std::strstr(name, ".so.")) return KindTable().at("so");
  char ext[12];
  size_t n = 0;
  for (const char* c = dot + 1; *c; ++c) {
    if (n + 1 >= sizeof ext) return OtherColour;
    ext[n++] = static_cast<char>(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
  }
  const auto found = KindTable().find(std::string_view(ext, n));
  return found != KindTable().end() ? found->second : OtherColour;
}

}  // namespace

TTreemapView::TTreemapView(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TTreemapView::~TTreemapView() {
  {
    std::lock_guard<std::mutex> guard(Lock);
    Quit = true;
    Stop = true;
  }
  Wake.notify_all();
  if (Worker.joinable()) Worker.join();
}

QSize TTreemapView::DeviceSize() const {
  const qreal ratio = devicePixelRatioF();
  return QSize(static_cast<int>(std::lround(width() * ratio)), static_cast<int>(std::lround(height() * ratio)));
}

void TTreemapView::ShowFolder(const DirNode* folder, TMeasure measure, bool compared, const DirNode* oldFolder) {
  TRequest request{folder, measure, compared, compared ? oldFolder : nullptr, DeviceSize(), devicePixelRatioF()};
  if (Valid && request == Want) return;
  Want = request;
  Valid = true;
  Post();
}

void TTreemapView::Post() {
  {
    std::lock_guard<std::mutex> guard(Lock);
    Posted = ++Generation;
    Result.reset();
    Stop = true;
    if (Want.Folder && !Want.Size.isEmpty())
      Pending = Want;
    else
      Pending.reset();
    if (Pending && !Worker.joinable()) Worker = std::thread([this] { Run(); });
  }
  Wake.notify_all();
  if (!Want.Folder) {
    // Nothing to show: the old picture would only mislead.
    Shown = TPicture();
    Highlight = nullptr;
    update();
  }
}

void TTreemapView::Halt() {
  {
    std::unique_lock<std::mutex> lock(Lock);
    ++Generation;
    Pending.reset();
    Result.reset();
    Stop = true;
    Idle.wait(lock, [this] { return !Busy; });
  }
  Valid = false;
  Shown.Rects.clear();
  Shown.Index.clear();
  Shown.Changes.clear();
  Shown.Then.clear();
  if (Highlight) {
    Highlight = nullptr;
    update();
  }
}

bool TTreemapView::Ready() const {
  return Valid && Want.Folder && Shown.Generation == Posted && Shown.Image.size() == DeviceSize();
}

void TTreemapView::Run() {
  std::unique_lock<std::mutex> lock(Lock);
  for (;;) {
    Wake.wait(lock, [this] { return Quit || Pending; });
    if (Quit) return;
    const TRequest request = *Pending;
    const uint64_t generation = Generation;
    Pending.reset();
    Stop = false;
    Busy = true;
    lock.unlock();
    TPicture picture;
    const bool drawn = Draw(request, picture);
    lock.lock();
    Busy = false;
    if (drawn && generation == Generation) {
      picture.Generation = generation;
      Result = std::move(picture);
      QMetaObject::invokeMethod(this, &TTreemapView::TakePicture, Qt::QueuedConnection);
    }
    Idle.notify_all();
  }
}

bool TTreemapView::Draw(const TRequest& request, TPicture& picture) const {
  const DirNode& top = *request.Folder;
  picture.Rects = LayoutTreemap(top, request.Measure, 0, 0, request.Size.width(), request.Size.height(), MinSide, &Stop);
  if (Stop.load(std::memory_order_relaxed)) return false;
  const std::vector<TTreemapRect>& rects = picture.Rects;
  picture.Index.reserve(rects.size());
  for (size_t i = 0; i < rects.size(); ++i) picture.Index.emplace(rects[i].Node, static_cast<uint32_t>(i));
  auto parentOf = [&](size_t i) -> int {
    if (i == 0 || !rects[i].Node->Parent) return -1;
    const auto found = picture.Index.find(rects[i].Node->Parent);
    return found != picture.Index.end() ? static_cast<int>(found->second) : -1;
  };

  // The earlier scan's node of every rectangle, found by name in the earlier folder.
  if (request.Compared) {
    std::vector<const DirNode*> old(rects.size(), nullptr);
    std::unordered_map<const DirNode*, std::unordered_map<std::string_view, const DirNode*>> names;
    picture.Changes.assign(rects.size(), ChangeNone);
    picture.Then.assign(rects.size(), 0);
    for (size_t i = 0; i < rects.size(); ++i) {
      if ((i & 1023) == 0 && Stop.load(std::memory_order_relaxed)) return false;
      if (i == 0) {
        old[i] = request.OldFolder;
      } else if (const int parent = parentOf(i); parent >= 0 && old[static_cast<size_t>(parent)]) {
        const DirNode* oldParent = old[static_cast<size_t>(parent)];
        auto [entry, made] = names.try_emplace(oldParent);
        if (made)
          for (const DirNode* c = oldParent->FirstChild; c; c = c->NextSibling) entry->second.emplace(c->Name, c);
        const auto found = entry->second.find(rects[i].Node->Name);
        if (found != entry->second.end()) old[i] = found->second;
      }
      const uint64_t now = SizeOf(*rects[i].Node, request.Measure);
      const uint64_t then = old[i] ? SizeOf(*old[i], request.Measure) : 0;
      picture.Then[i] = then;
      picture.Changes[i] = !old[i] ? ChangeNew : now > then ? ChangeGrew : now < then ? ChangeShrank : ChangeSame;
    }
  }

  QImage image(request.Size, QImage::Format_RGB32);
  image.fill(FolderColour);
  std::vector<TSurface> surfaces(rects.size());
  // Light from the upper left, as on the desktop's buttons.
  const float lx = -0.09759f, ly = -0.19518f, lz = 0.9759f;
  const int stride = static_cast<int>(image.bytesPerLine() / 4);
  auto* bits = reinterpret_cast<QRgb*>(image.bits());
  for (size_t i = 0; i < rects.size(); ++i) {
    if ((i & 1023) == 0 && Stop.load(std::memory_order_relaxed)) return false;
    const TTreemapRect& r = rects[i];
    const bool folder = r.Node->Kind == NodeFolder;
    const int parent = parentOf(i);
    TSurface s = parent >= 0 ? surfaces[static_cast<size_t>(parent)] : TSurface();
    const double height = 0.5 * std::pow(0.75, r.Node->Depth - top.Depth);
    AddRidge(s.X1, s.X2, r.X, r.X + r.W, height);
    AddRidge(s.Y1, s.Y2, r.Y, r.Y + r.H, height);
    surfaces[i] = s;
    QRgb colour = folder ? FolderColour : KindColour(r.Node->Name);
    if (request.Compared) {
      switch (picture.Changes[i]) {
        case ChangeGrew: colour = GrewColour; break;
        case ChangeNew: colour = NewColour; break;
        case ChangeShrank: colour = ShrankColour; break;
        default: colour = SameColour; break;
      }
      // A folder's own part is lighter than its files, so that its outline stands out.
      if (folder) colour = Scaled(colour, 1.15f);
    }
    const QRgb outline = Scaled(colour, 0.45f);
    for (int y = r.Y; y < r.Y + r.H; ++y) {
      QRgb* row = bits + static_cast<ptrdiff_t>(y) * stride;
      const float ny = -(2 * s.Y2 * (static_cast<float>(y) + 0.5f) + s.Y1);
      const bool edgeRow = folder && (y == r.Y || y == r.Y + r.H - 1);
      for (int x = r.X; x < r.X + r.W; ++x) {
        if (folder && (edgeRow || x == r.X || x == r.X + r.W - 1)) {
          row[x] = outline;
          continue;
        }
        const float nx = -(2 * s.X2 * (static_cast<float>(x) + 0.5f) + s.X1);
        const float cosa = (nx * lx + ny * ly + lz) / std::sqrt(nx * nx + ny * ny + 1);
        row[x] = Scaled(colour, 0.4f + 0.75f * std::max(0.0f, cosa));
      }
    }
  }
  image.setDevicePixelRatio(request.Ratio);
  picture.Image = std::move(image);
  return true;
}

void TTreemapView::TakePicture() {
  {
    std::lock_guard<std::mutex> guard(Lock);
    if (!Result || Result->Generation != Generation) return;
    Shown = std::move(*Result);
    Result.reset();
  }
  if (Highlight && IndexOf(Highlight) < 0) {
    Highlight = nullptr;
    emit NodeHovered(nullptr);
  }
  update();
  emit PictureShown();
}

int TTreemapView::IndexOf(const DirNode* node) const {
  const auto found = node ? Shown.Index.find(node) : Shown.Index.end();
  return found != Shown.Index.end() ? static_cast<int>(found->second) : -1;
}

QRectF TTreemapView::ToView(const TTreemapRect& r) const {
  const QSize size = Shown.Image.size();
  if (size.isEmpty()) return {};
  const double sx = width() / static_cast<double>(size.width()), sy = height() / static_cast<double>(size.height());
  return QRectF(r.X * sx, r.Y * sy, r.W * sx, r.H * sy);
}

const DirNode* TTreemapView::NodeAt(QPoint pos) const {
  const QSize size = Shown.Image.size();
  if (Shown.Rects.empty() || width() <= 0 || height() <= 0) return nullptr;
  const int x = static_cast<int>(std::floor(pos.x() * size.width() / static_cast<double>(width())));
  const int y = static_cast<int>(std::floor(pos.y() * size.height() / static_cast<double>(height())));
  const TTreemapRect* r = TreemapRectAt(Shown.Rects, x, y);
  return r ? r->Node : nullptr;
}

QRect TTreemapView::RectOf(const DirNode* node) const {
  const int i = IndexOf(node);
  return i < 0 ? QRect() : ToView(Shown.Rects[static_cast<size_t>(i)]).toAlignedRect();
}

TTreemapView::TChange TTreemapView::ChangeOf(const DirNode* node, uint64_t* then) const {
  const int i = IndexOf(node);
  if (then) *then = 0;
  if (i < 0 || Shown.Changes.empty()) return ChangeNone;
  if (then) *then = Shown.Then[static_cast<size_t>(i)];
  return static_cast<TChange>(Shown.Changes[static_cast<size_t>(i)]);
}

void TTreemapView::SetHighlighted(const DirNode* node) {
  if (IndexOf(node) < 0) node = nullptr;
  if (node == Highlight) return;
  Highlight = node;
  update();
}

void TTreemapView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (Shown.Image.isNull()) {
    painter.fillRect(rect(), palette().color(QPalette::Base));
  } else if (Shown.Image.size() == DeviceSize()) {
    painter.drawImage(QPoint(0, 0), Shown.Image);
  } else {
    // A picture of another size (a resize under way) is stretched until its successor comes.
    painter.drawImage(QRectF(rect()), Shown.Image);
  }
  if (const int i = IndexOf(Highlight); i >= 0) {
    const QRectF r = ToView(Shown.Rects[static_cast<size_t>(i)]).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(r);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(r.adjusted(1, 1, -1, -1));
  }
  if (hasFocus()) {
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
  }
}

void TTreemapView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (Valid && Want.Folder && Want.Size != DeviceSize()) {
    Want.Size = DeviceSize();
    Want.Ratio = devicePixelRatioF();
    Post();
  }
}

void TTreemapView::mouseMoveEvent(QMouseEvent* event) {
  const DirNode* node = NodeAt(event->position().toPoint());
  if (node == Highlight) return;
  SetHighlighted(node);
  emit NodeHovered(node);
}

void TTreemapView::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  if (!Highlight) return;
  SetHighlighted(nullptr);
  emit NodeHovered(nullptr);
}

void TTreemapView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  if (const DirNode* node = NodeAt(event->position().toPoint())) emit NodeClicked(node);
}

void TTreemapView::contextMenuEvent(QContextMenuEvent* event) {
  const DirNode* node = event->reason() == QContextMenuEvent::Mouse ? NodeAt(event->pos()) : Highlight;
  if (!node) return;
  SetHighlighted(node);
  emit MenuRequested(node, event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                                      : mapToGlobal(RectOf(node).center()));
}

void TTreemapView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left: return MoveHighlight(-1, 0);
    case Qt::Key_Right: return MoveHighlight(1, 0);
    case Qt::Key_Up: return MoveHighlight(0, -1);
    case Qt::Key_Down: return MoveHighlight(0, 1);
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (Highlight) emit NodeClicked(Highlight);
      return;
    case Qt::Key_Backspace:
      emit UpRequested();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void TTreemapView::MoveHighlight(int dx, int dy) {
  const std::vector<TTreemapRect>& rects = Shown.Rects;
  const int at = IndexOf(Highlight);
  int next = -1;
  if (at <= 0) {
    // From nothing, or from the folder shown, to its largest child.
    for (size_t i = 1; i < rects.size() && next < 0; ++i)
      if (rects[i].Node->Parent == rects[0].Node) next = static_cast<int>(i);
  } else {
    // The nearest sibling that way, its centre's distance across the way counting double.
    const TTreemapRect& from = rects[static_cast<size_t>(at)];
    const double fx = from.X + from.W / 2.0, fy = from.Y + from.H / 2.0;
    double best = 0;
    for (size_t i = 1; i < rects.size(); ++i) {
      const TTreemapRect& r = rects[i];
      if (static_cast<int>(i) == at || r.Node->Parent != from.Node->Parent) continue;
      const double cx = r.X + r.W / 2.0 - fx, cy = r.Y + r.H / 2.0 - fy;
      const double along = cx * dx + cy * dy, across = std::abs(cx * dy) + std::abs(cy * dx);
      if (along <= 0) continue;
      const double score = along + 2 * across;
      if (next < 0 || score < best) next = static_cast<int>(i), best = score;
    }
  }
  if (next < 0) return;
  SetHighlighted(rects[static_cast<size_t>(next)].Node);
  emit NodeHovered(Highlight);
}

void TTreemapView::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void TTreemapView::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

}  // namespace ostrel
