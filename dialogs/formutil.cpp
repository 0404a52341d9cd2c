#include "dialogs/formutil.h"

#include <QAbstractButton>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace ostrel {

// ---- Settings key -------------------------------------------------------------------------

namespace {

QSettings* UsableForReading(SettingsKey& key) {
  // A malformed line spoils only itself: the values that could be parsed are still read.
  if (!key.Key || key.Key->status() == QSettings::AccessError) return nullptr;
  return key.Key.get();
}

QString ValueName(const char* valueName) { return QString::fromLocal8Bit(valueName ? valueName : ""); }

// Length of a text that may be the caller's own buffer of `size` bytes.
qsizetype BoundedLength(const char* text, int size) {
  return static_cast<qsizetype>(strnlen(text, size > 0 ? static_cast<size_t>(size) : 0));
}

}  // namespace

void OpenSettingsKey(SettingsKey& key, const char* name) {
  CloseSettingsKey(key);
  static constexpr char Prefix[] = "Software\\Harwen\\";
  char path[256];
  std::snprintf(path, sizeof path, "Software\\Harwen\\%s", name ? name : "");
  QString application = QString::fromLocal8Bit(path + sizeof Prefix - 1).replace(QLatin1Char('\\'), QLatin1Char('/'));

  auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                              QStringLiteral("Harwen"), application);
  settings->setFallbacksEnabled(false);
  key.Created = settings->status() == QSettings::NoError && settings->allKeys().isEmpty();
  key.Key = std::move(settings);
}

int32_t ReadSettingInt(SettingsKey& key, const char* valueName, int32_t def) {
  if (key.Created) {
    WriteSettingInt(key, valueName, def);
    return def;
  }
  QSettings* settings = UsableForReading(key);
  if (!settings) return def;
  QVariant value = settings->value(ValueName(valueName));
  bool ok = false;
  qlonglong number = value.toLongLong(&ok);
  // A stored 32-bit word may come back signed or unsigned; anything wider does not fit the slot.
  if (!ok || number < INT32_MIN || number > static_cast<qlonglong>(UINT32_MAX)) return def;
  return static_cast<int32_t>(static_cast<uint32_t>(number));
}

void WriteSettingInt(SettingsKey& key, const char* valueName, int32_t value) {
  if (!key.Key) return;
  key.Key->setValue(ValueName(valueName), value);
}

void ReadSettingString(SettingsKey& key, const char* valueName, const char* def,
                       char* destination, int size) {
  if (!destination || size < 1) return;
  if (!def) def = "";
  if (key.Created) {
    QByteArray text = def == destination ? QByteArray(def, BoundedLength(def, size)) : QByteArray(def);
    WriteSettingString(key, valueName, text.constData());
    if (def != destination) CopyToBuffer(destination, size, text);
    return;
  }
  if (def != destination) CopyToBuffer(destination, size, QByteArray(def));
  QSettings* settings = UsableForReading(key);
  if (!settings || size < 2) return;
  QVariant value = settings->value(ValueName(valueName));
  QByteArray text;
  if (value.typeId() == QMetaType::QString)
    text = value.toString().toLocal8Bit();
  else if (value.typeId() == QMetaType::QByteArray)
    text = value.toByteArray();
  else
    return;
  CopyToBuffer(destination, size - 1, text);
}

void WriteSettingString(SettingsKey& key, const char* valueName, const char* text) {
  if (!key.Key) return;
  QByteArray bytes(text ? text : "");
  QString decoded = QString::fromLocal8Bit(bytes);
  if (decoded.toLocal8Bit() == bytes)
    key.Key->setValue(ValueName(valueName), decoded);
  else
    key.Key->setValue(ValueName(valueName), bytes);
}

void CloseSettingsKey(SettingsKey& key) {
  if (key.Key) {
    key.Key->sync();
    key.Key.reset();
  }
  key.Created = false;
}

// ---- Text buffers ---------------------------------------------------------------------------

void CopyToBuffer(char* destination, int size, const QByteArray& text) {
  if (!destination || size < 1) return;
  qsizetype n = std::min<qsizetype>(text.size(), size - 1);
  if (n < text.size()) {
    qsizetype cut = n;
    while (cut > 0 && n - cut < 3 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    if ((static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80) n = cut;
  }
  std::memcpy(destination, text.constData(), static_cast<size_t>(n));
  destination[n] = '\0';
}

namespace {
constexpr char EditBytesProperty[] = "ostrelEditBytes";
}  // namespace

void SetEditBytes(QLineEdit* edit, const QByteArray& bytes) {
  if (!edit) return;
  edit->setText(QFile::decodeName(bytes));
  edit->setProperty(EditBytesProperty, bytes);
}

QByteArray EditBytes(const QLineEdit* edit) {
  if (!edit) return {};
  const QVariant shown = edit->property(EditBytesProperty);
  if (shown.isValid() && QFile::decodeName(shown.toByteArray()) == edit->text()) return shown.toByteArray();
  return QFile::encodeName(edit->text());
}

// ---- Dialog placement -----------------------------------------------------------------------

QPoint PlacedPosition(const QRect& owner, const QRect& dialog, const QSize& screen) {
  const int width = dialog.width();
  const int height = dialog.height();
  int top = owner.top() + (owner.height() - height) / 2;
  int left = owner.left() + (owner.width() - width) / 2;
  if (top < 0) top = 0;
  if (left < 0) left = 0;
  if (std::abs(owner.width() - width) < 10) left += 15;
  if (std::abs(owner.height() - height) < 10) top += 15;
  if (top + height >= screen.height() - 50) top = screen.height() - height - 50;
  if (left + width >= screen.width()) left = screen.width() - width;
  return {left, top};
}

void PlaceDialog(QWidget* owner, QWidget* dialog) {
  if (!owner || !dialog) return;
  QSize screen(INT_MAX / 4, INT_MAX / 4);
  if (QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->geometry().size();
  dialog->move(PlacedPosition(owner->window()->frameGeometry(), dialog->frameGeometry(), screen));
}

// ---- Help panel -----------------------------------------------------------------------------

void AddHelpText(QTextEdit* richEdit, const char* title, const char* body) {
  if (!richEdit) return;
  const QString titleLine = QString::fromLocal8Bit(title ? title : "") + QLatin1Char('\n');
  const QString bodyText = QString::fromLocal8Bit(body ? body : "") + QStringLiteral("\n\n");
  const QTextCharFormat saved = richEdit->currentCharFormat();

  // The box's current format carries its font; only weight and colour change for the title.
  QTextCursor cursor(richEdit->document());
  cursor.movePosition(QTextCursor::End);
  QTextCharFormat titleFormat = saved;
  titleFormat.setFontWeight(QFont::Bold);
  titleFormat.setForeground(Qt::black);
  cursor.insertText(titleLine, titleFormat);

  cursor.movePosition(QTextCursor::End);
  QTextCharFormat bodyFormat = saved;
  bodyFormat.setForeground(Qt::black);
  cursor.insertText(bodyText, bodyFormat);
  richEdit->setTextCursor(cursor);
}

// ---- Dialog frame ---------------------------------------------------------------------------

int SetDesignGeometry(QWidget* control, int left, int top, int width, int height) {
  if (!control) return 0;
  const QSize hint = control->sizeHint();
  auto* label = qobject_cast<QLabel*>(control);
  const bool caption = qobject_cast<QAbstractButton*>(control) || (label && !label->wordWrap());
  if (width < 0 || (caption && hint.width() > width)) width = hint.width();
  if (height < 0) height = hint.height();
  if (label) height = std::max(height, control->fontMetrics().height());
  control->setGeometry(left, top, width, height);
  return width;
}

TDialogForm::TDialogForm(QWidget* owner, const QSize& clientSize)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setModal(true);
  setFixedSize(clientSize);
}

void TDialogForm::reject() { done(ModalCancel); }

void TDialogForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (CancelButton && CancelButton->isEnabled()) CancelButton->click();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace ostrel
