#include "mainwin/comparedialog.h"

#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "chart/breakdown.h"
#include "controls/named.h"
#include "dialogs/formutil.h"
#include "docs/desktop.h"
#include "mainwin/fmain.h"

namespace ostrel {

QString KeptScanText(const TKeptScan& kept) {
  const QDateTime when = QDateTime::fromMSecsSinceEpoch(kept.Time / 1000, Qt::UTC).toLocalTime();
  // A scan kept before totals were recorded would have to be read whole to tell.
  const QString size =
      kept.HasTotals
          ? QString::fromStdString(FormatSize(ShownMeasure() == TMeasure::Apparent ? kept.TotalApparent : kept.TotalDisk))
          : QStringLiteral("size not recorded");
  return when.toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QStringLiteral("   ") + size + QStringLiteral("   ") +
         (kept.Complete ? QStringLiteral("complete") : QStringLiteral("incomplete"));
}

TFormCompare::TFormCompare(QWidget* owner, std::vector<TKeptScan> kept, TDesktop& desktop)
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
  for (const TKeptScan& scan : Kept) ListScans->addItem(KeptScanText(scan));
  if (!Kept.empty()) ListScans->setCurrentRow(0);
  layout->addWidget(ListScans);
  auto* buttons = new QHBoxLayout;
  ButtonOtherFile = new QPushButton(QStringLiteral("&Another scan file..."), this);
  Named(ButtonOtherFile, "ButtonOtherFile");
  ButtonOk = new QPushButton(QStringLiteral("OK"), this);
  Named(ButtonOk, "ButtonOk");
  ButtonOk->setDefault(true);
  ButtonOk->setEnabled(!Kept.empty());
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

std::optional<std::string> AskScanToCompare(QWidget* owner, std::vector<TKeptScan> kept, TDesktop& desktop) {
  TFormCompare dialog(owner, std::move(kept), desktop);
  if (desktop.RunModal(dialog) != ModalOk || dialog.Chosen.empty()) return std::nullopt;
  return dialog.Chosen;
}

}  // namespace ostrel
