// Helpers shared by the program's dialogs: the per-user settings key, dialog placement and the
// help-text panel.
#pragma once
#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QSettings>

#include <cstdint>
#include <memory>

class QLineEdit;
class QPushButton;
class QTextEdit;

namespace ostrel {

// ---- Settings key -------------------------------------------------------------------------
//
// The key "Software\Harwen\<name>" of the per-user store. "Software" is the root that QSettings'
// native user scope already stands for, "Harwen" is the organisation and <name> the application:
// the key is the whole store QSettings(NativeFormat, UserScope, "Harwen", <name>). Values lie
// directly in it. On Linux that is the file ~/.config/Harwen/<name>.conf (honouring
// XDG_CONFIG_HOME and QSettings::setPath), on Windows the key HKEY_CURRENT_USER\Software\Harwen\<name>.
// Only the user's own store is read: the system-wide and organisation-wide fallbacks are off.
//
// A key "exists" once its store holds at least one value; a missing or empty store counts as
// absent, and opening it "creates" it. A store that cannot be read is no creation and every
// read returns its default: a file without access stays as it is (writes fail quietly), while
// a file that is not valid settings text is rewritten by the next write, keeping what of it
// could be parsed. Failures are never reported and never throw.

struct SettingsKey {
  std::unique_ptr<QSettings> Key;  // null when closed
  bool Created = false;            // this opening found no key (reads then write their defaults)
};

// Opens the key "Software\Harwen\<name>" (the path is formatted into 256 bytes, so a longer
// name is cut). A null name counts as "". Any earlier key held by `key` is closed first.
void OpenSettingsKey(SettingsKey& key, const char* name);

// With a created key: stores `def` and returns it. Otherwise returns the stored value, or `def`
// when there is none, or when the stored value is no whole number that fits 32 bits.
int32_t ReadSettingInt(SettingsKey& key, const char* valueName, int32_t def);

// Stores `value` as an integer. Does nothing on a closed or unusable key.
void WriteSettingInt(SettingsKey& key, const char* valueName, int32_t value);

// Fills `destination` (`size` bytes) with a text value. `def` (null counts as "") is copied in
// first, unless it is `destination` itself; with a created key `def` is also stored. Otherwise
// a stored text replaces it; the text read is at most size-2 bytes plus its terminator, so the
// last byte of the buffer is never written by the read, and a longer stored text is cut (at a
// character boundary). A missing value, or one that is no text, keeps `def`. Nothing is written
// when `destination` is null or `size` is below 1.
void ReadSettingString(SettingsKey& key, const char* valueName, const char* def,
                       char* destination, int size);

// Stores `text` (null counts as ""). Bytes that are not text in the local encoding are kept
// exactly, as a byte array.
void WriteSettingString(SettingsKey& key, const char* valueName, const char* text);

// Writes pending changes out and closes the key; a closed key is left as it is.
void CloseSettingsKey(SettingsKey& key);

// ---- Text buffers ---------------------------------------------------------------------------

// Copies `text` into `destination` of `size` bytes, always terminated, cut when it does not
// fit; a cut never splits a UTF-8 sequence. Does nothing when `destination` is null or `size`
// is below 1.
void CopyToBuffer(char* destination, int size, const QByteArray& text);

// Paths in edits. QFile::decodeName turns bytes that are not valid UTF-8 into U+FFFD, so an
// edit remembers the bytes it was given: EditBytes returns them exactly while the edit still
// shows their decoded text, and the encoded text once the user has changed it.
void SetEditBytes(QLineEdit* edit, const QByteArray& bytes);
QByteArray EditBytes(const QLineEdit* edit);

// ---- Dialog placement -----------------------------------------------------------------------

// Where PlaceDialog puts a dialog of outer geometry `dialog` over an owner of outer geometry
// `owner` on a screen of `screen` size: centred over the owner, clamped to the top-left, shifted
// 15 pixels right/down when nearly the owner's width/height, and pulled back from the bottom
// (50 pixels margin) and the right edge. Only the position changes. Pure, for tests.
QPoint PlacedPosition(const QRect& owner, const QRect& dialog, const QSize& screen);

// Moves `dialog` to PlacedPosition of the owner's window frame, the dialog's frame and the
// primary screen's full size. Does nothing when either is null.
void PlaceDialog(QWidget* owner, QWidget* dialog);

// ---- Help panel -----------------------------------------------------------------------------

// Appends `title` on a line of its own in bold black, then `body` in black and in the character
// style the box had before the call, then an empty line. Never clears the box. Null texts count
// as "". Texts of any length are kept whole.
void AddHelpText(QTextEdit* richEdit, const char* title, const char* body);

// ---- Dialog frame ---------------------------------------------------------------------------

// Sets a control's geometry from its design values. A width or height below 0 means "as the
// caption needs" (an auto-sized label). The design assumed a narrow system font: a button, check
// box or single-line label whose caption would be clipped at the design width is widened to its
// size hint, and a label is made at least one line of its font high. Returns the width given.
int SetDesignGeometry(QWidget* control, int left, int top, int width, int height);

// Modal result codes of the program's dialogs.
inline constexpr int ModalOk = 1;
inline constexpr int ModalCancel = 2;

// Base of the program's dialogs: a fixed-size, modal dialog frame whose client area is
// `clientSize`. Closing the window ends it with ModalCancel. Escape clicks the cancel button
// set with SetCancelButton and does nothing when there is none.
class TDialogForm : public QDialog {
  Q_OBJECT
 public:
  TDialogForm(QWidget* owner, const QSize& clientSize);

  void SetCancelButton(QPushButton* button) { CancelButton = button; }

  // Ends the modal loop with ModalCancel.
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QPushButton* CancelButton = nullptr;
};

}  // namespace ostrel
