// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_form.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <span>
#include <utility>

#include "app/appearance.h"
#include "app/dialog_loop.h"
#include "app/list_store.h"
#include "app/resources.h"
#include "app/version_check.h"
#include "net/nm_http.h"
#include "platform/hot_keys.h"
#include "platform/screen_saver_guard.h"
#include "toolkit/exceptions.h"
#include "toolkit/files.h"
#include "toolkit/messages.h"
#include "toolkit/registry.h"
#include "tray/image_list.h"
#include "tray/tray_icon.h"

namespace lumora {

namespace {

template <class Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height) {
  control->setObjectName(QString::fromLatin1(name));
  control->setGeometry(left, top, width, height);
  return control;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                        int height, int tag = 0) {
  auto* button = Place(new QPushButton(QString::fromUtf8(caption), parent), name, left, top, width, height);
  button->setCursor(Qt::PointingHandCursor);
  button->setAutoDefault(false);
  SetTag(button, tag);
  return button;
}

// Labels size themselves to their caption, as the window's labels always have.
QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int left, int top) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->adjustSize();
  label->move(left, top);
  return label;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                     int height, const QColor& colour) {
  auto* group = Place(new QGroupBox(QString::fromUtf8(caption), parent), name, left, top, width, height);
  PaintBackground(group, colour);
  return group;
}

template <class Check>
Check* MakeCheck(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                 int height, int tag = 0) {
  auto* check = Place(new Check(QString::fromUtf8(caption), parent), name, left, top, width, height);
  SetTag(check, tag);
  return check;
}

QLabel* MakeImage(QWidget* parent, const char* name, const QString& picture, int left, int top, int width,
                  int height) {
  auto* image = Place(new QLabel(parent), name, left, top, width, height);
  image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  if (!picture.isEmpty()) image->setPixmap(QPixmap(picture));
  return image;
}

void Exclusive(QObject* owner, std::initializer_list<QRadioButton*> buttons) {
  auto* group = new QButtonGroup(owner);
  group->setExclusive(true);
  for (QRadioButton* button : buttons) group->addButton(button);
}

QFileDialog* MakeFileDialog(QWidget* owner, const char* name, const char* title, const QStringList& filters) {
  auto* dialog = new QFileDialog(owner);
  dialog->setObjectName(QString::fromLatin1(name));
  if (title != nullptr) dialog->setWindowTitle(QString::fromUtf8(title));
  dialog->setNameFilters(filters);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setSizeGripEnabled(true);
  // It blocks the main window only: the tray icon's menu stays usable, "退出" included.
  dialog->setWindowModality(Qt::WindowModal);
  return dialog;
}

}  // namespace

TForm1::TForm1(QWidget* parent, std::unique_ptr<platform::DesktopWallpaper> desktop,
               const HotKeysFactory& hotKeys)
    : QWidget(parent), desktop_(std::move(desktop)), wallpaper_(*desktop_) {
  InitResources();
  // 1. The window with all its controls and components; the tray icon shows at once.
  BuildLayout();
  BuildComponents();
  WireHandlers();
  // 2. and 3. The fixed files live in the directory the program was started in.
  NoticeAccepted = false;
  DragX = 0;
  DragY = 0;
  AppDir = GetCurrentDir();
  // Without its directory the program would put its files somewhere the user never chose.
  if (AppDir.empty()) {
    MessageBox("无法确定Lumora的当前目录(它可能已被删除),Lumora无法启动!", "错误提示");
    throw EAbort();
  }
  BmpFile = AppDir + kPathDelimiter + "zodeveda.bmp";
  JpgFile = AppDir + kPathDelimiter + "zodeveda.jpg";
  // 4. to 6. What the user's settings and the last run left behind. Every exit leaves the list file, so a
  // directory without one is new to the program (or its list was deleted, which starts it afresh): its
  // first start lists its own img/, whatever other directories the user ran the program in before.
  ReadDisplayStyle();
  ReadFirstRunMark();
  if (FirstRunMark.empty() || !PathExists(AppDir + kPathDelimiter + kAutoSavedList)) {
    FirstRunFill();
  } else {
    ReadAutoSavedList();
  }
  // 7. Longer paths can be scrolled into view up to 400 pixels.
  ListBox1->SetHorizontalExtent(400);

  screenSaverGuard_ = platform::CreateScreenSaverGuard([this] { return WMSysCommand(kScScreenSave); });
  // Screen savers that never ask first are held off for as long as the box stays checked.
  screenSaverGuard_->SetInhibited(CheckBox4->isChecked());
  connect(CheckBox4, &QCheckBox::toggled, this, [this](bool checked) {
    handlers_.Run(CheckBox4, [this, checked] { screenSaverGuard_->SetInhibited(checked); });
  });
  // A press while the step's message is still open does nothing, so presses never pile up boxes.
  hotKeys_ = hotKeys([this](int id) { handlers_.Run(hotKeys_.get(), [this, id] { WMHotKey(id); }); });
}

TForm1::~TForm1() {
  TMyThread::WindowGone(*this);
}

void TForm1::BuildLayout() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromUtf8(kApplicationTitle));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(kClientWidth, kClientHeight);
  // The window opens in the middle of the screen's free area (without panels and docks).
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
  }
  setFont(WindowFont());
  setWindowIcon(QIcon(QStringLiteral(":/lumora/icon32.png")));
  ApplyWindowPalette(this);

  // The wallpaper list group.
  GroupBox5 = MakeGroup(this, "GroupBox5", "墙纸列表", 0, 0, 609, 313, kSkyBlue);
  ListBox1 = Place(new TListBox(GroupBox5), "ListBox1", 8, 16, 313, 161);
  PaintBackground(ListBox1->viewport(), Qt::white);
  ListBox1->SetItemHeight(13);
  Button2 = MakeButton(GroupBox5, "Button2", "添加", 8, 184, 75, 25, 1);
  Button3 = MakeButton(GroupBox5, "Button3", "编辑", 88, 184, 75, 25, 1);
  Button10 = MakeButton(GroupBox5, "Button10", "上移", 168, 184, 75, 25, 1);
  Button11 = MakeButton(GroupBox5, "Button11", "下移", 248, 184, 75, 25, 1);
  Button5 = MakeButton(GroupBox5, "Button5", "打开", 8, 216, 75, 25, 1);
  Button6 = MakeButton(GroupBox5, "Button6", "保存", 88, 216, 75, 25);
  Button4 = MakeButton(GroupBox5, "Button4", "删除", 168, 216, 75, 25, 1);
  Button7 = MakeButton(GroupBox5, "Button7", "清空", 248, 216, 75, 25, 1);
  Button12 = MakeButton(GroupBox5, "Button12", "设为墙纸", 8, 250, 73, 25, 1);
  RadioGroup2 = MakeGroup(GroupBox5, "RadioGroup2", "更换方式", 88, 248, 233, 57, kSkyBlue);
  RadioButton4 = MakeCheck<QRadioButton>(GroupBox5, "RadioButton4", "自动更换墙纸", 96, 272, 113, 17, 1);
  RadioButton5 = MakeCheck<QRadioButton>(GroupBox5, "RadioButton5", "热键更换墙纸", 208, 272, 105, 17, 1);
  // Qt's automatic exclusivity would also reach the window's own radio buttons: group them explicitly.
  Exclusive(this, {RadioButton4, RadioButton5});
  RadioButton4->setChecked(true);
  CheckBox4 = MakeCheck<QCheckBox>(GroupBox5, "CheckBox4", "禁用屏保", 8, 285, 81, 17);
  CheckBox4->setChecked(true);
  ScrollBox1 = Place(new TScrollBox(GroupBox5), "ScrollBox1", 328, 16, 273, 289);
  Image2 = new TImage;
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setGeometry(0, 0, 257, 281);
  Image2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ScrollBox1->SetContent(Image2);

  // The display style: a frame with three exclusive buttons that belong to the window itself.
  RadioGroup1 = MakeGroup(this, "RadioGroup1", "墙纸显示方式", 0, 312, 89, 121, kSkyBlue);
  RadioButton1 = MakeCheck<QRadioButton>(this, "RadioButton1", "居中", 16, 336, 57, 17);
  RadioButton2 = MakeCheck<QRadioButton>(this, "RadioButton2", "拉伸", 16, 368, 57, 17);
  RadioButton3 = MakeCheck<QRadioButton>(this, "RadioButton3", "平铺", 16, 400, 57, 17);
  for (QRadioButton* button : {RadioButton1, RadioButton2, RadioButton3}) PaintBackground(button, kSkyBlue);
  Exclusive(this, {RadioButton1, RadioButton2, RadioButton3});
  RadioButton1->setChecked(true);
  styleButton_ = RadioButton1;

  // Timed rotation.
  GroupBox1 = MakeGroup(this, "GroupBox1", "自动更换墙纸", 89, 312, 185, 121, kSkyBlue);
  Label1 = MakeLabel(GroupBox1, "Label1", "设置更换的时间间隔:", 8, 22);
  Edit2 = Place(new QLineEdit(QStringLiteral("60"), GroupBox1), "Edit2", 8, 48, 57, 21);
  Label2 = MakeLabel(GroupBox1, "Label2", "秒", 72, 50);
  Button8 = MakeButton(GroupBox1, "Button8", "确定", 96, 48, 75, 25);
  Button9 = MakeButton(GroupBox1, "Button9", "开始", 8, 88, 75, 25);
  Button15 = MakeButton(GroupBox1, "Button15", "停止", 96, 88, 75, 25);
  Button9->setEnabled(false);
  Button15->setEnabled(false);

  // Hot-key rotation: the whole group starts disabled.
  GroupBox2 = MakeGroup(this, "GroupBox2", "热键更换墙纸", 272, 312, 217, 121, kSilver);
  Label4 = MakeLabel(GroupBox2, "Label4", "设置更换的热键:", 8, 30);
  CheckBox1 = MakeCheck<QCheckBox>(GroupBox2, "CheckBox1", "Ctrl +", 8, 56, 49, 17);
  CheckBox2 = MakeCheck<QCheckBox>(GroupBox2, "CheckBox2", "Alt +", 56, 56, 49, 17);
  CheckBox3 = MakeCheck<QCheckBox>(GroupBox2, "CheckBox3", "Shift +", 104, 56, 49, 17);
  CheckBox1->setChecked(true);
  ComboBox1 = Place(new QComboBox(GroupBox2), "ComboBox1", 160, 56, 49, 21);
  for (char letter = 'A'; letter <= 'Z'; ++letter) ComboBox1->addItem(QString(QChar::fromLatin1(letter)));
  ComboBox1->setCurrentIndex(16);
  Button16 = MakeButton(GroupBox2, "Button16", "启用", 24, 88, 75, 25);
  Button17 = MakeButton(GroupBox2, "Button17", "停用", 120, 88, 75, 25);
  Button16->setEnabled(false);
  Button17->setEnabled(false);
  GroupBox2->setEnabled(false);

  // The rotation order.
  GroupBox3 = MakeGroup(this, "GroupBox3", "设置墙纸更换顺序", 488, 312, 122, 121, kSkyBlue);
  Label3 = MakeLabel(GroupBox3, "Label3", "请选择顺序:", 16, 40);
  ComboBox2 = Place(new QComboBox(GroupBox3), "ComboBox2", 16, 68, 89, 21);
  ComboBox2->addItems(
      {QString::fromUtf8("从上到下"), QString::fromUtf8("从下到上"), QString::fromUtf8("随机")});
  ComboBox2->setCurrentIndex(0);
  SetTag(ComboBox2, 1);

  // The bottom row: pictures, with the buttons lying over the right-hand one.
  Image3 = MakeImage(this, "Image3", QStringLiteral(":/lumora/decor_left.jpg"), 0, 432, 225, 137);
  Image1 = MakeImage(this, "Image1", QStringLiteral(":/lumora/logo.jpg"), 224, 432, 161, 137);
  Image4 = MakeImage(this, "Image4", QStringLiteral(":/lumora/decor_right.jpg"), 384, 432, 225, 137);
  Button1 = MakeButton(this, "Button1", "最小化到托盘", 448, 448, 105, 25);
  Button13 = MakeButton(this, "Button13", "访问软件主页", 400, 488, 105, 25);
  Button14 = MakeButton(this, "Button14", "使用说明", 522, 488, 75, 25);
  Button18 = MakeButton(this, "Button18", "访问Tavrin", 400, 528, 105, 25);
  // Tagged like the locked controls, but it lies outside their groups and is never locked.
  BitBtn3 = MakeButton(this, "BitBtn3", "退出", 522, 528, 75, 25, 1);
}

void TForm1::BuildComponents() {
  OpenPictureDialog1 =
      MakeFileDialog(this, "OpenPictureDialog1", nullptr,
                     {QStringLiteral("JPEG Image File (*.jpg)"), QStringLiteral("Bitmaps (*.bmp)")});
  OpenPictureDialog1->setFileMode(QFileDialog::ExistingFiles);

  SaveDialog1 = MakeFileDialog(this, "SaveDialog1", "将当前墙纸列表保存为Lumora墙纸列表文件",
                               {QString::fromUtf8("Lumora墙纸列表文件(*.orl)")});
  SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog1->selectFile(QStringLiteral("dudideze.orl"));

  OpenDialog1 = MakeFileDialog(this, "OpenDialog1", "打开已有的Lumora墙纸列表文件",
                               {QString::fromUtf8("Lumora墙纸列表文件(*.orl)")});
  OpenDialog1->setFileMode(QFileDialog::ExistingFile);

  auto makeTimer = [this](const char* name, int interval, bool enabled,
                          Qt::TimerType type = Qt::CoarseTimer) {
    auto* timer = new QTimer(this);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(interval);
    timer->setTimerType(type);
    if (enabled) timer->start();
    return timer;
  };
  Timer1 = makeTimer("Timer1", 1000, false);
  // The logo's tick and the exit poll both fall on whole seconds, so they come together and a program idle
  // in the tray wakes once a second rather than at two rhythms of its own.
  Timer2 = makeTimer("Timer2", 5000, true, Qt::VeryCoarseTimer);
  Timer3 = makeTimer("Timer3", 1000, true, Qt::VeryCoarseTimer);
  Timer4 = makeTimer("Timer4", 5000, false);
  // About one frame of a 60 Hz screen (and a little more), so that every step of the logo is seen.
  logoSteps_ = new QTimer(this);
  logoSteps_->setInterval(12);
  connect(logoSteps_, &QTimer::timeout, this, [this] { handlers_.Run(logoSteps_, [this] { LogoStep(); }); });

  NMHTTP1 = std::make_shared<TNMHTTP>();
  // Waits on the user-interface thread keep the window alive. The pump serves only this thread: the version
  // check's waits, on a thread of their own, run none, so they never reach into the application's events.
  NMHTTP1->SetEventPump([] { QCoreApplication::processEvents(); });

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  N1 = PopupMenu1->addAction(QString::fromUtf8("显示主窗口"));
  N2 = PopupMenu1->addAction(QString::fromUtf8("访问软件主页"));
  N3 = PopupMenu1->addAction(QString::fromUtf8("退出"));
  N1->setObjectName(QStringLiteral("N1"));
  N2->setObjectName(QStringLiteral("N2"));
  N3->setObjectName(QStringLiteral("N3"));

  auto* ImageList1 = new TImageList(this);
  ImageList1->setObjectName(QStringLiteral("ImageList1"));
  ImageList1->Add(QPixmap(QStringLiteral(":/lumora/icon16.png")));

  TrayIcon1 = new TTrayIcon(this, this);
  TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
  TrayIcon1->SetVisible(true);
  TrayIcon1->SetHint(QString::fromUtf8(kApplicationTitle));
  TrayIcon1->SetPopupMenu(PopupMenu1);
  TrayIcon1->SetRestoreOn(imLeftClickUp);
  TrayIcon1->SetPopupMenuOn(imRightClickUp);
  TrayIcon1->SetIcons(ImageList1);
  TrayIcon1->Loaded();
}

void TForm1::WireHandlers() {
  auto wire = [this](auto* sender, auto signal, void (TForm1::*handler)()) {
    connect(sender, signal, this,
            [this, sender, handler] { handlers_.Run(sender, [this, handler] { (this->*handler)(); }); });
  };
  wire(ListBox1, &TListBox::UserSelected, &TForm1::ListBox1Click);
  connect(Image2, &TImage::MouseDown, this,
          [this](Qt::MouseButton button, Qt::MouseButtons held, int x, int y) {
            handlers_.Run(Image2, [&] { Image2MouseDown(button, held, x, y); });
          });
  connect(Image2, &TImage::MouseMove, this, [this](Qt::MouseButtons held, int x, int y) {
    handlers_.Run(Image2, [&] { Image2MouseMove(held, x, y); });
  });
  const std::pair<QPushButton*, void (TForm1::*)()> buttons[] = {
      {Button1, &TForm1::Button1Click},   {Button2, &TForm1::Button2Click},
      {Button3, &TForm1::Button3Click},   {Button4, &TForm1::Button4Click},
      {Button5, &TForm1::Button5Click},   {Button6, &TForm1::Button6Click},
      {Button7, &TForm1::Button7Click},   {Button8, &TForm1::Button8Click},
      {Button9, &TForm1::Button9Click},   {Button10, &TForm1::Button10Click},
      {Button11, &TForm1::Button11Click}, {Button12, &TForm1::Button12Click},
      {Button13, &TForm1::Button13Click}, {Button14, &TForm1::Button14Click},
      {Button15, &TForm1::Button15Click}, {Button16, &TForm1::Button16Click},
      {Button17, &TForm1::Button17Click}, {Button18, &TForm1::Button18Click},
      {BitBtn3, &TForm1::BitBtn3Click}};
  for (const auto& [button, handler] : buttons) wire(button, &QPushButton::clicked, handler);
  const std::pair<QRadioButton*, void (TForm1::*)()> radios[] = {{RadioButton1, &TForm1::RadioButton1Click},
                                                                 {RadioButton2, &TForm1::RadioButton2Click},
                                                                 {RadioButton3, &TForm1::RadioButton3Click},
                                                                 {RadioButton4, &TForm1::RadioButton4Click},
                                                                 {RadioButton5, &TForm1::RadioButton5Click}};
  // A radio button's handler runs on every change to checked, by the user or by the program. A style
  // button's handler also runs for a click on it while it is checked already: the desktop may show a style
  // that no button stands for (see ChangeDisplayStyle).
  for (const auto& radio : radios) {
    QRadioButton* button = radio.first;
    const auto handler = radio.second;
    connect(button, &QRadioButton::toggled, this, [this, button, handler](bool checked) {
      if (checked) handlers_.Run(button, [this, handler] { (this->*handler)(); });
    });
  }
  for (const auto& style : std::span(radios).first<3>()) {
    QRadioButton* button = style.first;
    const auto handler = style.second;
    connect(button, &QRadioButton::pressed, this,
            [this, button] { pressedCheckedStyleButton_ = button->isChecked(); });
    connect(button, &QRadioButton::clicked, this, [this, button, handler] {
      if (std::exchange(pressedCheckedStyleButton_, false))
        handlers_.Run(button, [this, handler] { (this->*handler)(); });
    });
  }
  wire(N1, &QAction::triggered, &TForm1::N1Click);
  wire(N2, &QAction::triggered, &TForm1::N2Click);
  wire(N3, &QAction::triggered, &TForm1::N3Click);
  wire(Timer1, &QTimer::timeout, &TForm1::Timer1Timer);
  wire(Timer2, &QTimer::timeout, &TForm1::Timer2Timer);
  wire(Timer3, &QTimer::timeout, &TForm1::Timer3Timer);
  wire(Timer4, &QTimer::timeout, &TForm1::Timer4Timer);
}

void TForm1::SetLockedControlsEnabled(bool enabled) {
  for (QWidget* group : {static_cast<QWidget*>(GroupBox5), static_cast<QWidget*>(GroupBox3)}) {
    for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (Tag(child) == 1) child->setEnabled(enabled);
    }
  }
}

void TForm1::ReadFirstRunMark() {
  TRegistry registry;
  registry.RootKey = HKEY_LOCAL_MACHINE;
  registry.OpenKey("\\SOFTWARE\\VezeVuru\\ZodeVeda", true);
  FirstRunMark = registry.ReadString("sn");
  if (FirstRunMark.empty()) registry.WriteString("sn", "o");
  registry.CloseKey();
}

void TForm1::FormCreate() {
  TMyThread::Start(*this, NMHTTP1);
}

void TForm1::closeEvent(QCloseEvent* event) {
  bool canClose = true;
  RunHandler([&] { FormCloseQuery(canClose); });
  if (!canClose) {
    event->ignore();
    return;
  }
  RunHandler([this] { FormClose(); });
  event->accept();
  emit Closed();
}

void TForm1::FormCloseQuery(bool& canClose) {
  if (ExitAllowed) return;
  canClose = false;
  TrayIcon1->Minimize();
}

void TForm1::FormClose() {
  SaveAutoSavedList();
  hotKeys_->Unregister(kHotKeyId);
  screenSaverGuard_->SetInhibited(false);
  rotationRunning_ = false;
  Timer1->stop();
  Timer2->stop();
  logoSteps_->stop();
}

void TForm1::BitBtn3Click() {
  CloseForGood();
}

void TForm1::CloseForGood() {
  ExitAllowed = true;
  DismissOpenDialogs();
  handlers_.AfterAll([this] { close(); });
}

void TForm1::EndSession() {
  // The session asks whether it may end, then ends: the tray icon leaves the notification area on the
  // second, as it does when Windows shuts down, and the window closes for good, saving the list.
  for (const unsigned message : {TTrayIcon::kWmQueryEndSession, TTrayIcon::kWmEndSession}) {
    TTrayIcon::TMessage notification{message, 1, 0, 0};
    TrayIcon1->DoMessage(notification);
  }
  BitBtn3Click();
}

void TForm1::N3Click() {
  BitBtn3Click();
}

void TForm1::Timer3Timer() {
  if (NoticeAccepted) CloseForGood();
}

void TForm1::Button1Click() {
  TrayIcon1->Minimize();
}

void TForm1::N1Click() {
  TrayIcon1->Restore();
}

bool TForm1::WMSysCommand(unsigned command) {
  if (!CheckBox4->isChecked() || command != kScScreenSave) return false;
  // The box is shown once the system's notification has been answered, so the refusal takes effect at once.
  // While it is open, further refusals are silent: a user away for the night finds one box, not one for
  // each time the screen saver would have started.
  QMetaObject::invokeMethod(
      this, [this] { handlers_.Run(screenSaverGuard_.get(), [this] { ShowScreenSaverRefusal(); }); },
      Qt::QueuedConnection);
  return true;
}

void TForm1::ShowScreenSaverRefusal() {
  OwnedMessageBox("系统将启动屏幕保护程序,但被阻止", "信息提示");
}

}  // namespace lumora
