// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as laid out: every control in its place, with its caption, tag and state.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

#include "app/controls.h"
#include "unit/app/form_fixture.h"

namespace lumora::test {
namespace {

struct Expected {
  const char* name;
  const char* parent;
  const char* kind;
  const char* caption;           // nullptr: no caption to check
  int left, top, width, height;  // width < 0: sized by its caption
  int tag;
  bool enabled;
};

const Expected kControls[] = {
    {"GroupBox5", "Form1", "QGroupBox", "墙纸列表", 0, 0, 609, 313, 0, true},
    {"ListBox1", "GroupBox5", "lumora::TListBox", nullptr, 8, 16, 313, 161, 0, true},
    {"Button2", "GroupBox5", "QPushButton", "添加", 8, 184, 75, 25, 1, true},
    {"Button3", "GroupBox5", "QPushButton", "编辑", 88, 184, 75, 25, 1, true},
    {"Button10", "GroupBox5", "QPushButton", "上移", 168, 184, 75, 25, 1, true},
    {"Button11", "GroupBox5", "QPushButton", "下移", 248, 184, 75, 25, 1, true},
    {"Button5", "GroupBox5", "QPushButton", "打开", 8, 216, 75, 25, 1, true},
    {"Button6", "GroupBox5", "QPushButton", "保存", 88, 216, 75, 25, 0, true},
    {"Button4", "GroupBox5", "QPushButton", "删除", 168, 216, 75, 25, 1, true},
    {"Button7", "GroupBox5", "QPushButton", "清空", 248, 216, 75, 25, 1, true},
    {"Button12", "GroupBox5", "QPushButton", "设为墙纸", 8, 250, 73, 25, 1, true},
    {"RadioGroup2", "GroupBox5", "QGroupBox", "更换方式", 88, 248, 233, 57, 0, true},
    {"RadioButton4", "GroupBox5", "QRadioButton", "自动更换墙纸", 96, 272, 113, 17, 1, true},
    {"RadioButton5", "GroupBox5", "QRadioButton", "热键更换墙纸", 208, 272, 105, 17, 1, true},
    {"CheckBox4", "GroupBox5", "QCheckBox", "禁用屏保", 8, 285, 81, 17, 0, true},
    {"ScrollBox1", "GroupBox5", "lumora::TScrollBox", nullptr, 328, 16, 273, 289, 0, true},
    {"RadioGroup1", "Form1", "QGroupBox", "墙纸显示方式", 0, 312, 89, 121, 0, true},
    {"RadioButton1", "Form1", "QRadioButton", "居中", 16, 336, 57, 17, 0, true},
    {"RadioButton2", "Form1", "QRadioButton", "拉伸", 16, 368, 57, 17, 0, true},
    {"RadioButton3", "Form1", "QRadioButton", "平铺", 16, 400, 57, 17, 0, true},
    {"GroupBox1", "Form1", "QGroupBox", "自动更换墙纸", 89, 312, 185, 121, 0, true},
    {"Label1", "GroupBox1", "QLabel", "设置更换的时间间隔:", 8, 22, -1, -1, 0, true},
    {"Edit2", "GroupBox1", "QLineEdit", "60", 8, 48, 57, 21, 0, true},
    {"Label2", "GroupBox1", "QLabel", "秒", 72, 50, -1, -1, 0, true},
    {"Button8", "GroupBox1", "QPushButton", "确定", 96, 48, 75, 25, 0, true},
    {"Button9", "GroupBox1", "QPushButton", "开始", 8, 88, 75, 25, 0, false},
    {"Button15", "GroupBox1", "QPushButton", "停止", 96, 88, 75, 25, 0, false},
    {"GroupBox2", "Form1", "QGroupBox", "热键更换墙纸", 272, 312, 217, 121, 0, false},
    {"Label4", "GroupBox2", "QLabel", "设置更换的热键:", 8, 30, -1, -1, 0, false},
    {"CheckBox1", "GroupBox2", "QCheckBox", "Ctrl +", 8, 56, 49, 17, 0, false},
    {"CheckBox2", "GroupBox2", "QCheckBox", "Alt +", 56, 56, 49, 17, 0, false},
    {"CheckBox3", "GroupBox2", "QCheckBox", "Shift +", 104, 56, 49, 17, 0, false},
    {"ComboBox1", "GroupBox2", "QComboBox", "Q", 160, 56, 49, 21, 0, false},
    {"Button16", "GroupBox2", "QPushButton", "启用", 24, 88, 75, 25, 0, false},
    {"Button17", "GroupBox2", "QPushButton", "停用", 120, 88, 75, 25, 0, false},
    {"GroupBox3", "Form1", "QGroupBox", "设置墙纸更换顺序", 488, 312, 122, 121, 0, true},
    {"Label3", "GroupBox3", "QLabel", "请选择顺序:", 16, 40, -1, -1, 0, true},
    {"ComboBox2", "GroupBox3", "QComboBox", "从上到下", 16, 68, 89, 21, 1, true},
    {"Image3", "Form1", "QLabel", nullptr, 0, 432, 225, 137, 0, true},
    {"Image1", "Form1", "QLabel", nullptr, 224, 432, 161, 137, 0, true},
    {"Image4", "Form1", "QLabel", nullptr, 384, 432, 225, 137, 0, true},
    {"Button1", "Form1", "QPushButton", "最小化到托盘", 448, 448, 105, 25, 0, true},
    {"Button13", "Form1", "QPushButton", "访问软件主页", 400, 488, 105, 25, 0, true},
    {"Button14", "Form1", "QPushButton", "使用说明", 522, 488, 75, 25, 0, true},
    {"Button18", "Form1", "QPushButton", "访问Tavrin", 400, 528, 105, 25, 0, true},
    {"BitBtn3", "Form1", "QPushButton", "退出", 522, 528, 75, 25, 1, true},
};

QString CaptionOf(const QWidget* w) {
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
  if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
  if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText();
  return {};
}

using MainFormLayout = FormTest;

TEST_F(MainFormLayout, EveryControlHasItsPlaceCaptionTagAndState) {
  TForm1& form = Form();
  for (const Expected& e : kControls) {
    SCOPED_TRACE(e.name);
    auto* w = form.findChild<QWidget*>(QString::fromLatin1(e.name));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->parentWidget()->objectName().toStdString(), e.parent);
    EXPECT_STREQ(w->metaObject()->className(), e.kind);
    if (e.caption != nullptr) {
      EXPECT_EQ(CaptionOf(w).toStdString(), e.caption);
    }
    EXPECT_EQ(w->x(), e.left);
    EXPECT_EQ(w->y(), e.top);
    if (e.width >= 0) {
      EXPECT_EQ(w->width(), e.width);
      EXPECT_EQ(w->height(), e.height);
    } else {
      // A label is as wide as its caption needs: the whole text must show.
      EXPECT_GE(w->width(), w->sizeHint().width());
    }
    EXPECT_EQ(Tag(w), e.tag);
    EXPECT_EQ(w->isEnabled(), e.enabled);
    if (qobject_cast<QPushButton*>(w)) {
      EXPECT_EQ(w->cursor().shape(), Qt::PointingHandCursor);
    }
    // Every caption shows whole in the place it was laid out for: check marks with their text, button
    // texts inside their bevels, group titles within their frames.
    const QFontMetrics metrics = w->fontMetrics();
    if (auto* check = qobject_cast<QAbstractButton*>(w); check != nullptr && check->isCheckable()) {
      QStyleOptionButton option;
      option.initFrom(check);
      option.text = check->text();
      const bool radio = qobject_cast<QRadioButton*>(w) != nullptr;
      const QRect text = w->style()->subElementRect(
          radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option, w);
      // The ink, not the advance: a trailing "+" ends before its spacing does.
      EXPECT_LE(metrics.tightBoundingRect(check->text()).right() + 1, text.width());
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
      EXPECT_LE(metrics.horizontalAdvance(button->text()) + 8, w->width());
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
      EXPECT_LE(metrics.horizontalAdvance(group->title()) + 16, w->width());
    }
  }
}

TEST_F(MainFormLayout, WindowIsFixedSkyBlueAndTitled) {
  TForm1& form = Form();
  EXPECT_EQ(form.windowTitle().toStdString(), "Lumora v3.1");
  EXPECT_EQ(form.minimumSize(), QSize(608, 565));
  EXPECT_EQ(form.maximumSize(), QSize(608, 565));
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(form.palette().color(QPalette::Window), QColor(166, 202, 240));
  EXPECT_EQ(form.GroupBox2->palette().color(QPalette::Window), QColor(192, 192, 192));
  EXPECT_EQ(form.font().pixelSize(), 11);
  EXPECT_FALSE(form.windowIcon().isNull());
  // The pictures are really there, not empty frames.
  for (QLabel* image : {form.Image1, form.Image3, form.Image4}) {
    ASSERT_FALSE(image->pixmap().isNull()) << image->objectName().toStdString();
  }
  EXPECT_EQ(form.Image1->pixmap().size(), QSize(162, 137));
  EXPECT_EQ(form.Image3->pixmap().size(), QSize(225, 160));
  EXPECT_EQ(form.Image4->pixmap().size(), QSize(225, 137));
}

TEST_F(MainFormLayout, InitialSelectionsAndChoices) {
  TForm1& form = Form();
  EXPECT_TRUE(form.RadioButton4->isChecked());
  EXPECT_FALSE(form.RadioButton5->isChecked());
  EXPECT_TRUE(form.RadioButton1->isChecked());
  EXPECT_TRUE(form.CheckBox4->isChecked());
  EXPECT_TRUE(form.CheckBox1->isChecked());
  EXPECT_FALSE(form.CheckBox2->isChecked());
  EXPECT_FALSE(form.CheckBox3->isChecked());
  ASSERT_EQ(form.ComboBox1->count(), 26);
  EXPECT_EQ(form.ComboBox1->itemText(0), "A");
  EXPECT_EQ(form.ComboBox1->itemText(25), "Z");
  EXPECT_EQ(form.ComboBox1->currentIndex(), 16);
  ASSERT_EQ(form.ComboBox2->count(), 3);
  EXPECT_EQ(form.ComboBox2->itemText(1).toStdString(), "从下到上");
  EXPECT_EQ(form.ComboBox2->itemText(2).toStdString(), "随机");
  EXPECT_EQ(form.ListBox1->count(), 0);
  EXPECT_EQ(form.ListBox1->ItemHeight(), 13);
  EXPECT_EQ(form.ListBox1->HorizontalExtent(), 400);
  // Sideways scrolling reaches exactly 400 pixels, however long or short the entries are.
  form.show();
  for (const QString& entry : {QString(300, 'x'), QStringLiteral("/short.jpg")}) {
    form.ListBox1->clear();
    form.ListBox1->addItem(entry);
    QApplication::processEvents();
    EXPECT_EQ(form.ListBox1->horizontalScrollBar()->maximum() + form.ListBox1->viewport()->width(), 400);
  }
  form.ListBox1->clear();
  // The preview image lives inside the scrolling panel.
  EXPECT_TRUE(form.ScrollBox1->isAncestorOf(form.Image2));
  EXPECT_EQ(form.Image2->geometry(), QRect(0, 0, 257, 281));
  // Radio buttons 1–3 form one exclusive set; 4 and 5 another.
  form.RadioButton3->setChecked(true);
  EXPECT_FALSE(form.RadioButton1->isChecked());
  EXPECT_TRUE(form.RadioButton4->isChecked());
}

TEST_F(MainFormLayout, DialogsTimersAndTrayMenu) {
  TForm1& form = Form();
  EXPECT_EQ(form.OpenPictureDialog1->nameFilters(),
            QStringList({"JPEG Image File (*.jpg)", "Bitmaps (*.bmp)"}));
  EXPECT_EQ(form.OpenPictureDialog1->fileMode(), QFileDialog::ExistingFiles);
  EXPECT_EQ(form.SaveDialog1->windowTitle().toStdString(), "将当前墙纸列表保存为Lumora墙纸列表文件");
  EXPECT_EQ(form.SaveDialog1->nameFilters(), QStringList({QString::fromUtf8("Lumora墙纸列表文件(*.orl)")}));
  EXPECT_EQ(form.SaveDialog1->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_FALSE(form.SaveDialog1->testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_TRUE(form.SaveDialog1->defaultSuffix().isEmpty());
  ASSERT_EQ(form.SaveDialog1->selectedFiles().size(), 1);
  EXPECT_TRUE(form.SaveDialog1->selectedFiles()[0].endsWith("/dudideze.orl"));
  EXPECT_EQ(form.OpenDialog1->windowTitle().toStdString(), "打开已有的Lumora墙纸列表文件");
  EXPECT_EQ(form.OpenDialog1->nameFilters(), form.SaveDialog1->nameFilters());

  const std::tuple<QTimer*, int, bool> timers[] = {{form.Timer1, 1000, false},
                                                   {form.Timer2, 5000, true},
                                                   {form.Timer3, 1000, true},
                                                   {form.Timer4, 5000, false}};
  for (const auto& [timer, interval, active] : timers) {
    SCOPED_TRACE(timer->objectName().toStdString());
    EXPECT_EQ(timer->interval(), interval);
    EXPECT_EQ(timer->isActive(), active);
  }

  const QList<QAction*> items = form.PopupMenu1->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text().toStdString(), "显示主窗口");
  EXPECT_EQ(items[1]->text().toStdString(), "访问软件主页");
  EXPECT_EQ(items[2]->text().toStdString(), "退出");
}

}  // namespace
}  // namespace lumora::test
