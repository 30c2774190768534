// SPDX-License-Identifier: GPL-3.0-or-later
// The wallpaper list as a user edits it: the buttons, the preview and its dragging, list files, the
// list kept between runs and the first run's pictures.
#include <sys/stat.h>

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "jpeg/jpeg_image.h"
#include "toolkit/bitmap.h"
#include "unit/app/form_fixture.h"

namespace lumora::test {
namespace {

namespace fs = std::filesystem;
constexpr const char* kMarkerKey = "\\SOFTWARE\\VezeVuru\\ZodeVeda";
const std::string kGbkName = "/p/\xD6\xD0\xCE\xC4.jpg";  // "中文" in GBK: not UTF-8

class WallpaperList : public FormTest {
 protected:
  // A form that is not on its first run, with the given entries in its list.
  TForm1& FormWith(const std::vector<std::string>& entries) {
    WriteRegistry(HKEY_LOCAL_MACHINE, kMarkerKey, "sn", "o");
    Form().ListBox1->AddEntries(entries);
    return *form_;
  }
  // A solid picture; ".bmp" names (in any letter case) are written as bitmaps, anything else as JPEG.
  std::string Picture(const std::string& name, int width, int height) {
    TBitmap bitmap;
    bitmap.SetSize(width, height);
    for (int y = 0; y < height; ++y) std::fill_n(bitmap.ScanLine(y), width * 3, std::uint8_t{200});
    const std::string path = dir_ / name;
    if (QString::fromStdString(name).endsWith(".bmp", Qt::CaseInsensitive)) {
      bitmap.SaveToFile(path);
    } else {
      TJPEGImage jpeg;
      jpeg.Assign(bitmap);
      jpeg.SaveToFile(path);
    }
    return path;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (int i = 0; i < form_->ListBox1->count(); ++i)
      texts.push_back(form_->ListBox1->item(i)->text().toStdString());
    return texts;
  }
  std::vector<std::string> Shown() {
    std::vector<std::string> texts;
    for (const MessageRequest& m : messages_.Requests()) texts.push_back(m.text);
    messages_.Clear();
    return texts;
  }
};

TEST_F(WallpaperList, EditingButtonsKeepTheSelectionWhereTheUserExpectsIt) {
  TForm1& form = FormWith({"a", "b", "c", "d", "e"});
  const std::string pick = "请选择一个墙纸!";
  form.Button4->click();
  form.Button10->click();
  form.Button11->click();
  form.Button3->click();
  EXPECT_EQ(Shown(), std::vector<std::string>({pick, pick, pick, pick}));

  form.ListBox1->SetItemIndex(2);
  form.Button4->click();  // the entry that followed is selected now
  EXPECT_EQ(Texts(), std::vector<std::string>({"a", "b", "d", "e"}));
  EXPECT_EQ(form.ListBox1->ItemIndex(), 2);
  form.Button10->click();
  form.Button10->click();
  EXPECT_EQ(Texts(), std::vector<std::string>({"d", "a", "b", "e"}));
  form.Button10->click();
  EXPECT_EQ(Shown(), std::vector<std::string>({"已达到最上层!"}));
  form.ListBox1->SetItemIndex(2);
  form.Button11->click();
  EXPECT_EQ(Texts(), std::vector<std::string>({"d", "a", "e", "b"}));
  form.Button11->click();
  EXPECT_EQ(Shown(), std::vector<std::string>({"已达到最下层!"}));
  form.Button4->click();  // the last entry: nothing is selected afterwards
  EXPECT_EQ(form.ListBox1->ItemIndex(), -1);
  form.Button7->click();
  EXPECT_EQ(form.ListBox1->count(), 0);
  form.Button11->click();
  form.Button10->click();
  EXPECT_EQ(Shown(), std::vector<std::string>({pick, pick}));
}

TEST_F(WallpaperList, AddAppendsTheChosenFilesAndRefusesNamesWithLineBreaks) {
  TForm1& form = FormWith({"/old.jpg"});
  const std::string a = Picture("a.jpg", 4, 4), b = Picture("b.bmp", 4, 4);
  AnswerDialog(form.OpenPictureDialog1, {QString::fromStdString(b), QString::fromStdString(a)});
  form.Button2->click();
  EXPECT_EQ(form.OpenPictureDialog1->windowTitle().toStdString(), "添加一个或多个图象文件");
  EXPECT_EQ(form.ListBox1->Entries(), std::vector<std::string>({"/old.jpg", b, a}));
  AnswerDialog(form.OpenPictureDialog1, {});
  form.Button2->click();
  EXPECT_EQ(form.ListBox1->count(), 3);

  const std::string broken = Picture("two\nlines.jpg", 4, 4);
  AnswerDialog(form.OpenPictureDialog1, {QString::fromStdString(broken), QString::fromStdString(a)});
  form.Button2->click();
  EXPECT_EQ(form.ListBox1->Entries(), std::vector<std::string>({"/old.jpg", b, a, a}));
  ASSERT_EQ(messages_.Requests().size(), 1u);
  EXPECT_EQ(messages_.Requests()[0].caption, "消息提示");
}

TEST_F(WallpaperList, PreviewShowsBitmapsThroughAJpegCopyAndKeepsItsPictureOnErrors) {
  const std::string bmp = Picture("wide.bmp", 40, 20), upper = Picture("tall.BMP", 10, 30);
  TForm1& form = FormWith({bmp, upper, dir_ / "missing.jpg", Picture("gif.gif", 2, 2)});
  form.show();
  QSignalSpy previews(form.ListBox1, &TListBox::UserSelected);
  auto clickRow = [&](int row) {
    QTest::mouseClick(form.ListBox1->viewport(), Qt::LeftButton, {},
                      form.ListBox1->visualItemRect(form.ListBox1->item(row)).center());
    QApplication::processEvents();  // the choice is reported once the click has been handled
  };
  clickRow(0);
  EXPECT_TRUE(fs::exists(form.JpgFile));
  EXPECT_EQ(form.Image2->size(), QSize(40, 20));
  EXPECT_EQ(form.Image2->cursor().shape(), Qt::SizeAllCursor);

  fs::remove(form.JpgFile);
  clickRow(1);  // capitals: shown as the bitmap itself, no copy
  EXPECT_FALSE(fs::exists(form.JpgFile));
  EXPECT_EQ(form.Image2->size(), QSize(10, 30));
  clickRow(1);  // the highlighted entry again
  QTest::keyClick(form.ListBox1, Qt::Key_Down);
  QApplication::processEvents();
  QTest::keyClick(form.ListBox1, Qt::Key_Down);
  QApplication::processEvents();
  EXPECT_EQ(previews.count(), 5);
  ASSERT_EQ(messages_.Requests().size(), 2u);  // the missing file, then the unknown kind
  EXPECT_EQ(messages_.Requests()[0].kind, MessageKind::ErrorDisplay);
  EXPECT_EQ(form.Image2->size(), QSize(10, 30));

  // Selections made by the program itself show nothing.
  form.ListBox1->SetItemIndex(0);
  form.Button11->click();
  form.Button4->click();
  QApplication::processEvents();
  EXPECT_EQ(previews.count(), 5);
}

// A folder named like a picture (the first run lists such folders), or a pipe or device of such a name:
// the preview says by name that it is no picture, at once, and keeps what it showed.
TEST_F(WallpaperList, PreviewOfAFolderPipeOrDeviceNamedLikeAPictureSaysSoByName) {
  fs::create_directories(dir_ / "img/x.jpg");
  ASSERT_EQ(::mkfifo((dir_ / "pipe.jpg").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", dir_ / "device.bmp");
  TForm1& form = FormWith({Picture("good.jpg", 7, 5), dir_ / "pipe.jpg", dir_ / "device.bmp"});
  ASSERT_EQ(form.ListBox1->Entry(0), dir_ / "img/x.jpg");
  form.show();
  for (int row : {1, 0, 2, 3}) {
    QTest::mouseClick(form.ListBox1->viewport(), Qt::LeftButton, {},
                      form.ListBox1->visualItemRect(form.ListBox1->item(row)).center());
    QApplication::processEvents();
  }
  EXPECT_EQ(form.Image2->size(), QSize(7, 5));
  EXPECT_EQ(Shown(),
            std::vector<std::string>({dir_ / "img/x.jpg不是JPG或BMP图片!", dir_ / "pipe.jpg不是JPG或BMP图片!",
                                      dir_ / "device.bmp不是JPG或BMP图片!"}));
}

TEST_F(WallpaperList, EditReplacesTheEntryEvenWhenItsPreviewFails) {
  TForm1& form = FormWith({"/a.jpg", "/b.jpg"});
  form.ListBox1->SetItemIndex(1);
  const std::string good = Picture("good.jpg", 7, 5);
  AnswerDialog(form.OpenPictureDialog1, {QString::fromStdString(good)});
  form.Button3->click();
  EXPECT_EQ(form.ListBox1->Entries(), std::vector<std::string>({"/a.jpg", good}));
  EXPECT_EQ(form.ListBox1->ItemIndex(), 1);
  EXPECT_EQ(form.Image2->size(), QSize(7, 5));

  WriteWholeFile(dir_ / "damaged.jpg", "not a picture");
  AnswerDialog(form.OpenPictureDialog1, {QString::fromStdString(dir_ / "damaged.jpg")});
  form.Button3->click();
  EXPECT_EQ(form.ListBox1->Entry(1), dir_ / "damaged.jpg");
  EXPECT_EQ(form.Image2->size(), QSize(7, 5));
  ASSERT_EQ(messages_.Requests().size(), 1u);
  EXPECT_EQ(messages_.Requests()[0].kind, MessageKind::ErrorDisplay);
}

TEST_F(WallpaperList, OnlyTheLeftButtonDragsThePictureAndNothingBoundsIt) {
  TForm1& form = FormWith({Picture("one.jpg", 300, 300)});
  form.show();
  form.ListBox1->SetItemIndex(0);
  form.ListBox1Click();
  QTest::mousePress(form.Image2, Qt::LeftButton, {}, QPoint(10, 10));
  QMouseEvent move(QEvent::MouseMove, QPointF(40, -10), form.Image2->mapToGlobal(QPointF(40, -10)),
                   Qt::NoButton, Qt::LeftButton, {});
  QApplication::sendEvent(form.Image2, &move);
  EXPECT_EQ(form.Image2->pos(), QPoint(30, -20));
  EXPECT_EQ(std::pair(form.DragX, form.DragY), std::pair(10, 10));
  QTest::mouseRelease(form.Image2, Qt::LeftButton, {}, QPoint(10, 10));
  QMouseEvent rightOnly(QEvent::MouseMove, QPointF(90, 90), form.Image2->mapToGlobal(QPointF(90, 90)),
                        Qt::NoButton, Qt::RightButton, {});
  QApplication::sendEvent(form.Image2, &rightOnly);
  EXPECT_EQ(form.Image2->pos(), QPoint(30, -20));
  // The panel scrolls to what lies right and below, wherever the picture went.
  EXPECT_GT(form.ScrollBox1->horizontalScrollBar()->maximum(), 0);
}

TEST_F(WallpaperList, NamesThatAreNotUtf8AreShownReadablyAndSavedByteForByte) {
  WriteRegistry(HKEY_LOCAL_MACHINE, kMarkerKey, "sn", "o");
  const std::string bytes = kGbkName + "\r\n/p/\xFF\xFE.bmp\r\n";
  WriteWholeFile(dir_ / "zodeveda.orl", bytes);
  TForm1& form = Form();
  EXPECT_EQ(form.ListBox1->item(0)->text().toStdString(), "/p/中文.jpg");
  EXPECT_EQ(form.ListBox1->item(1)->text().toStdString(), "/p/\uFFFD\uFFFD.bmp");
  form.ListBox1->SetItemIndex(1);
  form.Button10->click();
  form.Button10->click();
  form.Button11->click();
  form.BitBtn3->click();
  EXPECT_EQ(ReadWholeFile(dir_ / "zodeveda.orl"), bytes);
}

TEST_F(WallpaperList, SaveWritesTheFormatAndAppendsTheExtensionOnlyWhenThereIsNone) {
  TForm1& form = FormWith({"/p/一.jpg", "", "/p/b.bmp"});
  const std::string expected = "/p/一.jpg\r\n\r\n/p/b.bmp\r\n";
  auto saveAs = [&](const std::string& name) {
    AnswerDialog(form.SaveDialog1, {QString::fromStdString(dir_ / name)});
    form.Button6->click();
  };
  fs::create_directory(dir_ / "v1.2");
  saveAs("v1.2/list");
  EXPECT_EQ(ReadWholeFile(dir_ / "v1.2/list.orl"), expected);
  saveAs("list.txt");
  EXPECT_EQ(ReadWholeFile(dir_ / "list.txt"), expected);
  EXPECT_TRUE(messages_.Requests().empty());

  // The ".orl" form of a typed name was never seen by the dialog: asked here, No keeps the file.
  WriteWholeFile(dir_ / "mine.orl", "kept\r\n");
  messages_.QueueResult(MessageResult::Cancel);
  saveAs("mine");
  EXPECT_EQ(ReadWholeFile(dir_ / "mine.orl"), "kept\r\n");
  ASSERT_EQ(messages_.Requests().size(), 1u);
  EXPECT_TRUE(messages_.Requests()[0].yesNo);
  EXPECT_NE(messages_.Requests()[0].text.find("mine.orl"), std::string::npos);
  saveAs("mine");
  EXPECT_EQ(ReadWholeFile(dir_ / "mine.orl"), expected);

  // A save that cannot write says so, naming the file.
  fs::create_directory(dir_ / "taken.orl");
  messages_.Clear();
  saveAs("taken");
  ASSERT_EQ(messages_.Requests().size(), 2u);  // replace it? yes; then the failure
  EXPECT_EQ(messages_.Requests()[1].caption, "错误提示");
  EXPECT_NE(messages_.Requests()[1].text.find(dir_ / "taken.orl"), std::string::npos);

  form.Button7->click();
  messages_.Clear();
  form.Button6->click();
  EXPECT_EQ(Shown(), std::vector<std::string>({"没有任何墙纸!"}));
}

TEST_F(WallpaperList, OpenReadsEveryLineEndingAndLeavesTheListAloneWhenItCannotRead) {
  TForm1& form = FormWith({"/keep.jpg"});
  // A file that opens but cannot be read, even by root.
  AnswerDialog(form.OpenDialog1, {"/proc/self/mem"});
  form.Button5->click();
  EXPECT_EQ(form.ListBox1->Entries(), std::vector<std::string>({"/keep.jpg"}));
  ASSERT_EQ(messages_.Requests().size(), 1u);
  EXPECT_EQ(messages_.Requests()[0].kind, MessageKind::ErrorDisplay);

  WriteWholeFile(dir_ / "other.orl", "/a.jpg\n\n/b.bmp\r/c.jpg");
  AnswerDialog(form.OpenDialog1, {QString::fromStdString(dir_ / "other.orl")});
  form.Button5->click();
  EXPECT_EQ(form.ListBox1->Entries(), std::vector<std::string>({"/a.jpg", "", "/b.bmp", "/c.jpg"}));
  EXPECT_EQ(form.ListBox1->ItemIndex(), -1);
}

TEST_F(WallpaperList, FirstRunListsJpegPicturesThenBitmapsInNameOrder) {
  fs::create_directories(dir_ / "img/folder.jpg");
  for (const char* name : {"b.JPG", "A.jpg", "c.jpg.txt", "a.bmp", ".hidden.jpg", "Z.BMP"}) {
    WriteWholeFile(dir_ / ("img/" + std::string(name)), "");
  }
  const std::string img = dir_ / "img/";
  EXPECT_EQ(Form().ListBox1->Entries(),
            std::vector<std::string>({img + ".hidden.jpg", img + "A.jpg", img + "b.JPG", img + "folder.jpg",
                                      img + "a.bmp", img + "Z.BMP"}));
}

TEST_F(WallpaperList, AStartThatCannotReadTheSavedListOrItsDirectorySaysSo) {
  WriteRegistry(HKEY_LOCAL_MACHINE, kMarkerKey, "sn", "o");
  fs::create_directory(dir_ / "zodeveda.orl");
  EXPECT_EQ(Form().ListBox1->count(), 0);
  ASSERT_EQ(messages_.Requests().size(), 1u);
  EXPECT_EQ(messages_.Requests()[0].caption, "错误提示");
  EXPECT_NE(messages_.Requests()[0].text.find(dir_ / "zodeveda.orl"), std::string::npos);

  // A deleted start directory ends the start instead of putting the files somewhere else.
  form_.reset();
  messages_.Clear();
  fs::create_directory(dir_ / "gone");
  ASSERT_EQ(::chdir((dir_ / "gone").c_str()), 0);
  fs::remove(dir_ / "gone");
  EXPECT_THROW(Form(), EAbort);
  ASSERT_EQ(messages_.Requests().size(), 1u);
  EXPECT_EQ(messages_.Requests()[0].caption, "错误提示");
}

}  // namespace
}  // namespace lumora::test
