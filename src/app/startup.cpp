#include "app/startup.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>
#include <cstdio>
#include <memory>

#include "app/appearance.h"
#include "app/main_form.h"
#include "app/qt_messages.h"
#include "app/resources.h"
#include "app/splash.h"
#include "app/splash_wait.h"
#include "jpeg/jpeg_file_formats.h"
#include "jpeg/jpeg_image.h"
#include "platform/display.h"
#include "platform/instance_mutex.h"
#include "toolkit/exceptions.h"
#include "toolkit/messages.h"

namespace lumora {

namespace {

constexpr const char* kInstanceMutexName = "Lumora v2.0";

// Builds the main window behind the splash and runs the message loop until the window has closed.
// The splash is gone once the window shows; an error before that leaves it up behind the error display.
void RunWindows(QApplication& app, TickClock& clock, std::unique_ptr<TFirst>& First) {
  First = std::make_unique<TFirst>();
  First->ShowPainted();
  const std::uint32_t t0 = clock.GetTickCount();
  TForm1 Form1;
  QtMessageSink::Instance().SetMainWindow(&Form1);
  QObject::connect(&Form1, &TForm1::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  Form1.FormCreate();
  WaitForSplashTime(clock, t0);
  First->hide();
  First.reset();
  Form1.show();
  QApplication::exec();
  QtMessageSink::Instance().SetMainWindow(nullptr);
}

}  // namespace

int RunLumora(int argc, char** argv, TickClock& clock) {
  std::string why;
  if (!platform::WindowSystemAvailable(why)) {
    std::fprintf(stderr, "lumora: %s\n", why.c_str());
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lumora"));
  QApplication::setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));
  // Hiding to the tray closes no window for good; only the main window's close ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setFont(WindowFont());
  InitResources();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/lumora/icon32.png")));
  SetApplicationTitle(kApplicationTitle);
  // Decoded JPEG pictures match the screen: palette pictures on screens of 8 bits or fewer.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) SetJpegScreenDepth(screen->depth());
  const JpegFileFormats jpegFiles;
  QtMessageSink::Instance().Install();

  platform::MutexResult mutex = platform::CreateInstanceMutex(kInstanceMutexName);
  if (mutex.status == platform::MutexCreation::Failed) {
    MessageBox("创建Mutex失败!", "NoPrev");
    return 0;
  }
  if (mutex.status == platform::MutexCreation::AlreadyExists) {
    MessageBox("已经运行了一个Lumora!", "提示");
    mutex.handle->Release();
    return 0;
  }
  std::unique_ptr<TFirst> First;
  try {
    RunWindows(app, clock, First);
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    ShowException(Exception(std::string()));
  }
  return 0;
}

}  // namespace lumora
