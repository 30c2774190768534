// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/handler_runs.h"
#include "app/shown_picture.h"
#include "app/wallpaper_setter.h"
#include "platform/desktop_wallpaper.h"
#include "platform/hot_keys.h"
#include "toolkit/bitmap.h"

namespace lumora {

struct CommandLine;
struct CommandReply;
class TNMHTTP;
class TTrayIcon;
namespace platform {
class ScreenSaverGuard;
}  // namespace platform

// The program's only working window: the wallpaper list, the rotation controls and the shared state.
class TForm1 : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kHotKeyId = 2000;
  static constexpr unsigned kScClose = 61536;       // SC_CLOSE
  static constexpr unsigned kScScreenSave = 61760;  // SC_SCREENSAVE

  using HotKeysFactory =
      std::function<std::unique_ptr<platform::GlobalHotKeys>(platform::GlobalHotKeys::PressHandler)>;

  // The desktop shows the wallpapers and the hot keys come from the session; by default those of this one.
  explicit TForm1(QWidget* parent = nullptr,
                  std::unique_ptr<platform::DesktopWallpaper> desktop = platform::CreateDesktopWallpaper(),
                  const HotKeysFactory& hotKeys = platform::CreateGlobalHotKeys);
  ~TForm1() override;

  // Enables or disables the controls that a running rotation locks: the Tag-1 children of the list group
  // and of the order group.
  void SetLockedControlsEnabled(bool enabled);

  // Fills BmpFile from a list entry whose file exists: a JPEG picture is decoded into it, a bitmap copied
  // over it. False, with a message, for a file of any other kind; BmpFile then keeps what it held. Decoding
  // and copying errors are raised, and BmpFile then keeps what it held too.
  bool PrepareBmpFile(const std::string& path);
  // Decodes the JPEG file source and writes its picture to target as a BMP file, replacing it in one step.
  bool JpgToBmp(const std::string& source, const std::string& target);
  // Hands BmpFile to the desktop as the wallpaper, in the style now set.
  void ApplyBmpFile();

  // One rotation step on a position (TimerIndex for the timer, HotKeyIndex for the hot key): the item
  // there becomes the wallpaper and is highlighted, and the position moves on by the order chosen now.
  void RotationStep(std::int32_t& position);
  // The hot-key message: one step for each press of the combination registered under kHotKeyId.
  void WMHotKey(int id);

  // The system-command handler. Returns true when the command was handled here and must go no further.
  bool WMSysCommand(unsigned command);

  // A request of the command line (--next, --set, --show, --quit), run as the window's own control would
  // run it. What it would have said in boxes goes to answer instead, which is called once it is done:
  // for --quit, once the window has closed with the list saved.
  void RunCommand(const CommandLine& command, const std::function<void(const CommandReply&)>& answer);

  // The session is ending (log-out, a termination signal): leave the way "退出" does, list saved.
  void EndSession();
  // Writes the list to the auto-saved list file, an empty list as an empty file. A file that cannot be
  // written is not reported: the previous one then stays as it was.
  void SaveAutoSavedList();

  // Controls, by their layout names.
  QGroupBox* GroupBox5;
  TListBox* ListBox1;
  QPushButton *Button2, *Button3, *Button10, *Button11, *Button5, *Button6, *Button4, *Button7, *Button12;
  QGroupBox* RadioGroup2;
  QRadioButton *RadioButton4, *RadioButton5;
  QCheckBox* CheckBox4;
  TScrollBox* ScrollBox1;
  TImage* Image2;
  QGroupBox* RadioGroup1;
  QRadioButton *RadioButton1, *RadioButton2, *RadioButton3;
  QGroupBox* GroupBox1;
  QLabel *Label1, *Label2;
  QLineEdit* Edit2;
  QPushButton *Button8, *Button9, *Button15;
  QGroupBox* GroupBox2;
  QLabel* Label4;
  QCheckBox *CheckBox1, *CheckBox2, *CheckBox3;
  QComboBox* ComboBox1;
  QPushButton *Button16, *Button17;
  QGroupBox* GroupBox3;
  QLabel* Label3;
  QComboBox* ComboBox2;
  QLabel *Image3, *Image1, *Image4;
  QPushButton *Button1, *Button13, *Button14, *Button18, *BitBtn3;

  QFileDialog* OpenPictureDialog1;
  QFileDialog* SaveDialog1;
  QFileDialog* OpenDialog1;
  QTimer *Timer1, *Timer2, *Timer3, *Timer4;
  TTrayIcon* TrayIcon1;
  QMenu* PopupMenu1;
  // The HTTP client of the version check; shared with the check, which may outlive the window at exit.
  std::shared_ptr<TNMHTTP> NMHTTP1;
  QAction *N1, *N2, *N3;

  // Fields shared with the rest of the program.
  bool NoticeAccepted = false;
  std::string AppDir;
  std::string BmpFile;
  std::string JpgFile;
  std::string FirstRunMark;
  std::string NoticeText;
  std::int32_t TimerIndex = 0;
  std::int32_t LastIndex = 0;
  std::int32_t DragX = 0;
  std::int32_t DragY = 0;
  std::int32_t HotKeyIndex = 0;
  bool ExitAllowed = false;

 public slots:
  void FormCreate();
  void FormCloseQuery(bool& canClose);
  void FormClose();
  void BitBtn3Click();
  void N3Click();
  void Timer3Timer();
  void Button1Click();
  void N1Click();
  // The wallpaper list and its preview.
  void ListBox1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();
  void Button10Click();
  void Button11Click();
  void Image2MouseDown(Qt::MouseButton Button, Qt::MouseButtons Shift, int X, int Y);
  void Image2MouseMove(Qt::MouseButtons Shift, int X, int Y);
  // The wallpaper and its display style.
  void Button12Click();
  void RadioButton1Click();
  void RadioButton2Click();
  void RadioButton3Click();
  // Timed and hot-key rotation.
  void RadioButton4Click();
  void RadioButton5Click();
  void Button8Click();
  void Button9Click();
  void Button15Click();
  void Button16Click();
  void Button17Click();
  void Timer1Timer();
  // The background, the logo and the links.
  void Button13Click();
  void N2Click();
  void Button18Click();
  void Button14Click();
  void Timer2Timer();
  void FormPaint();
  void FormResize();
  // The new-version notice.
  void Timer4Timer();

 signals:
  // The window has closed for real: the program ends.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildLayout();
  void BuildComponents();
  void WireHandlers();
  void ReadDisplayStyle();
  void ReadFirstRunMark();
  void FirstRunFill();
  void ReadAutoSavedList();
  // Runs a file dialog; false when the user cancelled it.
  static bool Execute(QFileDialog* dialog);
  // The file names the dialog returned, as the file system's bytes.
  static std::vector<std::string> ChosenFiles(const QFileDialog* dialog);
  // Shows the picture of a list entry in the preview; raises the loader's error, and the preview then
  // keeps its picture. A folder, pipe or device of that name is said to be no picture.
  void PreviewEntry(const std::string& entry);
  void ShowScreenSaverRefusal();
  // The window closes for good, which ends the program. Boxes and dialogs still open are answered as
  // cancelled, and the close comes once every handler that waited on them has returned, so that none of
  // them goes on after it.
  void CloseForGood();

  void ChangeDisplayStyle(QRadioButton* button, const platform::DisplayStylePair& pair);
  void CheckStyleButtonAgain();
  // "设为墙纸" of a file, with the style the command line asked for, if any. True when the desktop took it.
  bool SetWallpaperFromCommandLine(const CommandLine& command);
  // One step of the hot key's rotation for the command line.
  void StepFromCommandLine();
  // Sets the position and LastIndex for a rotation about to run, by the order chosen now; a random order
  // seeds the generator instead of setting the position.
  void ArmRotation(std::int32_t& position);
  void ShowRotationMode(bool timed);
  unsigned HotKeyModifier() const;
  // The box for a session that binds keys only in its own settings: what to bind there, and where.
  void TellHowToBindByHand(const platform::ManualHotKey& manual);
  // One step of the logo animation: the logo at width logoWidth_, centred in logoStart_.
  void LogoStep();
  // The window was shown, hidden, minimised or restored: a sequence under way pauses or goes on.
  void LogoSeenChanged();

  HandlerRuns handlers_;
  std::unique_ptr<platform::DesktopWallpaper> desktop_;
  WallpaperSetter wallpaper_;
  // The preview's pixels, for "设为墙纸" of the picture just looked at.
  ShownPicture shownPicture_;
  // The style button that stands for the style last written or read at start: checked again when a change
  // fails. pressedCheckedStyleButton_: whether the style button being clicked was checked already when the
  // click began, since the click checks it before it reports itself.
  QRadioButton* styleButton_ = nullptr;
  bool pressedCheckedStyleButton_ = false;
  // The logo animation under way: where the logo stood when it began, the width of the next step, and the
  // frame timer that paces the steps.
  QRect logoStart_;
  int logoWidth_ = 0;
  QTimer* logoSteps_ = nullptr;
  // A sequence stopped half-way because the window went out of sight.
  bool logoPaused_ = false;
  // Between start and stop of the timed rotation: a step's message then holds Timer1 rather than ending it.
  bool rotationRunning_ = false;
  std::unique_ptr<platform::GlobalHotKeys> hotKeys_;
  // Between "启用" and "停用".
  bool hotKeyOn_ = false;
  // The list's length when the command line last armed the hot key's rotation; -1 before it did.
  int commandLineArmedCount_ = -1;
  std::unique_ptr<platform::ScreenSaverGuard> screenSaverGuard_;
};

}  // namespace lumora
