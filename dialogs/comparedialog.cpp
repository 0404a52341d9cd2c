#include "dialogs/comparedialog.h"

#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "chart/breakdown.h"
#include "controls/named.h"
#include "dialogs/formutil.h"
#include "docs/desktop.h"
#include "scan/scansettings.h"

namespace ostrel {

QStringList KeptScanTexts(const std::vector<TKeptScan>& kept) {
  // 0: to the second, 1: the millisecond, 2: the microsecond.
  std::vector<int> precision(kept.size(), 0);
  auto line = [&](size_t i) {
    const TKeptScan& scan = kept[i];
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(scan.Time / 1000, Qt::UTC).toLocalTime();
    QString time = when.toString(precision[i] == 0 ? QStringLiteral("yyyy-MM-dd HH:mm:ss")
                                                   : QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (precision[i] == 2) time += QStringLiteral("%1").arg(((scan.Time % 1000) + 1000) % 1000, 3, 10, QLatin1Char('0'));
    // A scan kept before totals were recorded would have to be read whole to tell.
    const QString size =
        scan.HasTotals
            ? QString::fromStdString(FormatSize(ShownMeasure() == TMeasure::Apparent ? scan.TotalApparent : scan.TotalDisk))
            : QStringLiteral("size not recorded");
    return time + QStringLiteral("   ") + size + QStringLiteral("   ") +
           (scan.Complete ? QStringLiteral("complete") : QStringLiteral("incomplete"));
  };
  QStringList lines;
  for (size_t i = 0; i < kept.size(); ++i) lines << line(i);
  for (bool alike = true; alike;) {
    alike = false;
    std::vector<int> finer = precision;
    for (size_t i = 0; i < kept.size(); ++i)
      for (size_t j = i + 1; j < kept.size(); ++j)
        if (const int next = std::max(precision[i], precision[j]) + 1;
            next <= 2 && lines[static_cast<qsizetype>(i)] == lines[static_cast<qsizetype>(j)]) {
          finer[i] = std::max(finer[i], next);
          finer[j] = std::max(finer[j], next);
          alike = true;
        }
    precision = std::move(finer);
    for (size_t i = 0; alike && i < kept.size(); ++i) lines[static_cast<qsizetype>(i)] = line(i);
  }
  return lines;
}

TFormCompare::TFormCompare(QWidget* owner, std::vector<TKeptScan> kept, int selected, TDesktop& desktop)
    : QDialog(owner), Kept(std::move(kept)), Desktop(desktop) {
  Named(this, "FormCompare");
  setWindowTitle(QStringLiteral("Compare with Earlier Scan"));
  auto* layout = new QVBoxLayout(this);
  auto* caption = new QLabel(Kept.empty() ? QStringLiteral("No earlier scan of this folder is kept.")
                                          : QStringLiteral("Earlier scans of this folder:"),
                             this);
  layout->addWidget(caption);
  ListScans = new QListWidget(this);
  Named(ListScans, "ListScans");
  ListScans->addItems(KeptScanTexts(Kept));
  if (selected >= 0 && selected < ListScans->count()) ListScans->setCurrentRow(selected);
  layout->addWidget(ListScans);
  auto* buttons = new QHBoxLayout;
  ButtonOtherFile = new QPushButton(QStringLiteral("&Another scan file..."), this);
  Named(ButtonOtherFile, "ButtonOtherFile");
  ButtonOk = new QPushButton(QStringLiteral("OK"), this);
  Named(ButtonOk, "ButtonOk");
  ButtonOk->setDefault(true);
  ButtonOk->setEnabled(ListScans->currentRow() >= 0);
  ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
  Named(ButtonCancel, "ButtonCancel");
  buttons->addWidget(ButtonOtherFile);
  buttons->addStretch();
  buttons->addWidget(ButtonOk);
  buttons->addWidget(ButtonCancel);
  layout->addLayout(buttons);
  resize(420, 240);

  connect(ButtonOk, &QPushButton::clicked, this, &TFormCompare::ButtonOkClick);
  connect(ButtonCancel, &QPushButton::clicked, this, [this] { done(ModalCancel); });
  connect(ButtonOtherFile, &QPushButton::clicked, this, &TFormCompare::ButtonOtherFileClick);
  connect(ListScans, &QListWidget::itemDoubleClicked, this, &TFormCompare::ButtonOkClick);
  connect(ListScans, &QListWidget::currentRowChanged, this, [this](int row) { ButtonOk->setEnabled(row >= 0); });
}

void TFormCompare::ButtonOkClick() {
  const int row = ListScans->currentRow();
  if (row < 0 || row >= static_cast<int>(Kept.size())) return;
  Chosen = Kept[static_cast<size_t>(row)].Path;
  done(ModalOk);
}

void TFormCompare::ButtonOtherFileClick() {
  const QString name = Desktop.AskOpenFileName(this, QStringLiteral("Compare with Scan File"),
                                               QStringLiteral("Scan files (*.json *.json.gz *.gz);;All files (*)"));
  if (name.isEmpty()) return;
  Chosen = QFile::encodeName(name).toStdString();
  done(ModalOk);
}

std::optional<std::string> AskScanToCompare(QWidget* owner, std::vector<TKeptScan> kept, int selected,
                                            TDesktop& desktop) {
  TFormCompare dialog(owner, std::move(kept), selected, desktop);
  if (desktop.RunModal(dialog) != ModalOk || dialog.Chosen.empty()) return std::nullopt;
  return dialog.Chosen;
}

}  // namespace ostrel
