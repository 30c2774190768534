// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "platform/linux_desktops/idle_inhibition.h"

namespace lumora::platform::desktops {

namespace {

using std::chrono::seconds;

const QString kCommand = QStringLiteral("xscreensaver-command");

bool XScreenSaverAnswers() {
  QProcess version;
  version.setStandardOutputFile(QProcess::nullDevice());
  version.setStandardErrorFile(QProcess::nullDevice());
  version.start(kCommand, {QStringLiteral("-version")});
  if (!version.waitForFinished(3000)) {
    version.kill();
    version.waitForFinished();
    return false;
  }
  return version.exitStatus() == QProcess::NormalExit && version.exitCode() == 0;
}

// The time-out the user gave xscreensaver in ~/.xscreensaver ("timeout: 0:10:00", or minutes alone);
// its default of ten minutes when there is none.
seconds XScreenSaverTimeout() {
  QFile settings(QDir::homePath() + QStringLiteral("/.xscreensaver"));
  if (settings.open(QIODevice::ReadOnly | QIODevice::Text)) {
    while (!settings.atEnd()) {
      const QString line = QString::fromUtf8(settings.readLine()).trimmed();
      if (!line.startsWith(QStringLiteral("timeout:"))) continue;
      long long total = 0;
      bool valid = true;
      const QStringList fields = line.mid(8).trimmed().split(QLatin1Char(':'));
      for (const QString& field : fields) {
        bool number = false;
        total = total * 60 + field.toInt(&number);
        valid = valid && number;
      }
      if (fields.size() == 1) total *= 60;
      if (valid && fields.size() <= 3 && total > 0) return seconds(total);
    }
  }
  return seconds(600);
}

// The idle timer is reset every third of the time-out (every 30 s at most), read anew each time so that a
// change to the settings is followed. A screen the user blanked or locked on purpose stays so: the reset
// is only sent while xscreensaver says the screen is not blanked (it would unblank it, or ask for the
// password of a locked one).
class XScreenSaverHeartbeat final : public IdleInhibition {
 public:
  XScreenSaverHeartbeat() {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Beat(); });
    state_.setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(&state_, &QProcess::finished, [this] {
      if (state_.readAllStandardOutput().contains("non-blanked")) Deactivate();
    });
    Beat();
  }
  ~XScreenSaverHeartbeat() override {
    state_.disconnect();
    state_.kill();
    state_.waitForFinished();
  }
  XScreenSaverHeartbeat(const XScreenSaverHeartbeat&) = delete;
  XScreenSaverHeartbeat& operator=(const XScreenSaverHeartbeat&) = delete;

 private:
  void Beat() {
    if (state_.state() == QProcess::NotRunning) state_.start(kCommand, {QStringLiteral("-time")});
    timer_.start(std::clamp(XScreenSaverTimeout() / 3, seconds(1), seconds(30)));
  }

  static void Deactivate() {
    QProcess deactivate;
    deactivate.setProgram(kCommand);
    deactivate.setArguments({QStringLiteral("-deactivate")});
    deactivate.setStandardOutputFile(QProcess::nullDevice());
    deactivate.setStandardErrorFile(QProcess::nullDevice());
    deactivate.startDetached();
  }

  QTimer timer_;
  QProcess state_;
};

}  // namespace

std::unique_ptr<IdleInhibition> InhibitXScreenSaver() {
  if (!XScreenSaverAnswers()) return nullptr;
  return std::make_unique<XScreenSaverHeartbeat>();
}

}  // namespace lumora::platform::desktops
