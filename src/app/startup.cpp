// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/appearance.h"
#include "app/command_channel.h"
#include "app/command_client.h"
#include "app/command_line.h"
#include "app/controls.h"
#include "app/main_form.h"
#include "app/qt_messages.h"
#include "app/resources.h"
#include "app/splash.h"
#include "app/splash_wait.h"
#include "app/version_check.h"
#include "jpeg/jpeg_file_formats.h"
#include "jpeg/jpeg_image.h"
#include "platform/display.h"
#include "platform/instance_channel.h"
#include "platform/instance_mutex.h"
#include "platform/session_end.h"
#include "toolkit/exceptions.h"
#include "toolkit/messages.h"

namespace lumora {

namespace {

// Builds the main window behind the splash and runs the message loop until the window has closed.
// The splash is gone once the window shows; an error before that leaves it up behind the error display.
void RunWindows(QApplication& app, TickClock& clock, std::unique_ptr<TFirst>& First,
                CommandServer& commands) {
  First = std::make_unique<TFirst>();
  First->ShowPainted();
  const std::uint32_t t0 = clock.GetTickCount();
  TForm1 Form1;
  QtMessageSink::Instance().SetMainWindow(&Form1);
  QObject::connect(&Form1, &TForm1::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  // The program lives in the tray and is seldom ended by "退出": a log-out, a termination signal or the X
  // server going away must leave the same way, so a list edited since the start is saved.
  const auto endSession = [&Form1] { RunHandler([&Form1] { Form1.EndSession(); }); };
#ifndef QT_NO_SESSIONMANAGER
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &Form1, endSession);
#endif
  // Declared after Form1, so it is gone before the window: a request to end never finds it half destroyed.
  const std::unique_ptr<platform::SessionEndWatch> sessionEnd =
      platform::WatchSessionEnd(endSession, [&Form1] { Form1.SaveAutoSavedList(); });
  Form1.FormCreate();
  WaitForSplashTime(clock, t0);
  First->hide();
  First.reset();
  Form1.show();
  // The command line's requests wait until the window shows and its loop runs, and stop reaching it
  // before it goes.
  commands.Serve([&Form1](const CommandLine& command, const CommandServer::Answer& answer) {
    Form1.RunCommand(command, answer);
  });
  struct StopServing {
    CommandServer& commands;
    ~StopServing() { commands.Serve(nullptr); }
  } stopServing{commands};
  QApplication::exec();
  QtMessageSink::Instance().SetMainWindow(nullptr);
}

}  // namespace

int RunLumora(int argc, char** argv, TickClock& clock) {
  const CommandLine command =
      ParseCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
  switch (command.action) {
    case CommandAction::Invalid:
      std::fprintf(stderr, "lumora: %s\n%s", command.error.c_str(), UsageText().c_str());
      return 2;
    case CommandAction::Help:
      std::fputs(HelpText().c_str(), stdout);
      return 0;
    case CommandAction::Version:
      std::printf("Lumora %s\n", kVersion);
      return 0;
    case CommandAction::Start:
      break;
    default:
      return RunCommandRequest(argc, argv, command);
  }
  std::string why;
  if (!platform::WindowSystemAvailable(why)) {
    std::fprintf(stderr, "lumora: %s\n", why.c_str());
    return 1;
  }
  QApplication app(argc, argv);
  // However the program leaves, a version check still waiting on its server stops and is over before the
  // application object and the program's static objects go.
  struct ChecksEnded {
    ~ChecksEnded() { TMyThread::EndAll(std::chrono::seconds(2)); }
  } checksEnded;
  // Qt's own dialogs and standard buttons speak the interface's language; without the file they stay English.
  QTranslator qtTranslations;
  if (qtTranslations.load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTranslations);
  }
  // No application display name: window managers would append it to every caption ("提示 — Lumora v3.1"),
  // and each window of the program carries the caption it was given, nothing more.
  QApplication::setApplicationName(QStringLiteral("Lumora"));
  // Hiding to the tray closes no window for good; only the main window's close ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  ApplyApplicationLook();
  InitResources();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/lumora/icon32.png")));
  SetApplicationTitle(kApplicationTitle);
  // Decoded JPEG pictures match the screen: palette pictures on screens of 8 bits or fewer.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) SetJpegScreenDepth(screen->depth());
  const JpegFileFormats jpegFiles;
  QtMessageSink::Instance().Install();

  platform::MutexResult mutex = platform::CreateInstanceMutex(kInstanceName);
  if (mutex.status == platform::MutexCreation::Failed) {
    MessageBox("创建Mutex失败!", "NoPrev");
    return 0;
  }
  if (mutex.status == platform::MutexCreation::AlreadyExists) {
    MessageBox("已经运行了一个Lumora!", "提示");
    mutex.handle->Release();
    return 0;
  }
  // The command line reaches only the copy that owns the mutex; without a channel the window runs all the
  // same, and the command line then finds no Lumora.
  std::string channelError;
  const std::string channel = platform::InstanceChannel(kInstanceName, channelError);
  CommandServer commands(channel);
  if (channel.empty() || !commands.Error().empty()) {
    std::fprintf(stderr, "lumora: the command line cannot reach this Lumora: %s\n",
                 channel.empty() ? channelError.c_str() : commands.Error().c_str());
  }
  std::unique_ptr<TFirst> First;
  try {
    RunWindows(app, clock, First, commands);
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    ShowException(Exception(std::string()));
  }
  return 0;
}

}  // namespace lumora
