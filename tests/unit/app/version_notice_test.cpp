// SPDX-License-Identifier: GPL-3.0-or-later
// The version check's verdict on a reply, and the notice the window offers for it.
#include <cstdlib>
#include <filesystem>

#include "app/version_check.h"
#include "net/nm_http.h"
#include "support/web_server.h"
#include "unit/app/form_fixture.h"

namespace lumora::test {
namespace {

TEST(VersionCheck, OnlyASuccessfulThreeByteOtherVersionIsNews) {
  EXPECT_TRUE(AnnouncesNewVersion(200, "3.2"));
  EXPECT_TRUE(AnnouncesNewVersion(200, "3.0"));  // any other three bytes, older ones too
  EXPECT_FALSE(AnnouncesNewVersion(200, "3.1"));
  EXPECT_FALSE(AnnouncesNewVersion(200, "3.2\r\n"));
  EXPECT_FALSE(AnnouncesNewVersion(200, "3.10"));
  EXPECT_FALSE(AnnouncesNewVersion(404, "404"));
  EXPECT_FALSE(AnnouncesNewVersion(500, "Bad"));
  EXPECT_EQ(NewVersionNotice("3.2"), "已推出最新的3.2版本，请查看并下载最新版本!");
}

using VersionNotice = FormTest;

// While a notice is open its timer waits; Cancel sets it going again.
TEST_F(VersionNotice, OneNoticeAtATimeAndCancelOffersItAgain) {
  TForm1& form = Form();
  form.NoticeText = NewVersionNotice("3.2");
  class ObservingSink : public MessageSink {
   public:
    explicit ObservingSink(QTimer* timer) : timer_(timer) {}
    MessageResult Show(const MessageRequest& request) override {
      shown.push_back(request);
      activeWhileShown = activeWhileShown || timer_->isActive();
      return answers.empty() ? MessageResult::Ok : answers[shown.size() - 1];
    }
    std::vector<MessageRequest> shown;
    std::vector<MessageResult> answers;
    bool activeWhileShown = false;

   private:
    QTimer* timer_;
  } observing(form.Timer4);
  observing.answers = {MessageResult::Cancel};
  const ScopedMessageSink scoped(observing);
  form.Timer4->start();
  form.Timer4Timer();
  EXPECT_TRUE(form.Timer4->isActive());
  EXPECT_FALSE(form.NoticeAccepted);
  ASSERT_EQ(observing.shown.size(), 1u);
  EXPECT_EQ(observing.shown[0].text, "已推出最新的3.2版本，请查看并下载最新版本!");
  EXPECT_EQ(observing.shown[0].caption, "新版本提示");
  EXPECT_TRUE(observing.shown[0].okCancel);
  EXPECT_FALSE(observing.shown[0].ownedByMainWindow);
  EXPECT_FALSE(observing.activeWhileShown);
}

// The check keeps nothing of what the server sent once it has read it: not a version it hands over, not a
// reply too large to be one (which the client cuts at its limit).
TEST_F(VersionNotice, TheCheckKeepsNoReplyBody) {
  if (LoopbackWebServer::Program().empty()) GTEST_SKIP() << "needs lighttpd";
  TForm1& form = Form();
  for (const std::size_t size : {std::size_t{3}, TNMHTTP::kDefaultMaxBodyLength + 1}) {
    SCOPED_TRACE(size);
    const std::string root = dir_ / ("www-" + std::to_string(size));
    std::filesystem::create_directories(root + "/version");
    WriteWholeFile(root + "/version/zodeveda.txt", size == 3 ? "3.2" : std::string(size, 'x'));
    std::filesystem::create_directories(dir_ / ("server-" + std::to_string(size)));
    const LoopbackWebServer server(root, dir_ / ("server-" + std::to_string(size)));
    ASSERT_TRUE(server.Running()) << server.Output();
    ::setenv("LUMORA_UPDATE_HOST", ("127.0.0.1:" + std::to_string(server.Port())).c_str(), 1);
    TMyThread::Start(form, form.NMHTTP1);
    ASSERT_TRUE(TMyThread::WaitUntilOver(std::chrono::seconds(20)));
    ::unsetenv("LUMORA_UPDATE_HOST");
    EXPECT_LT(form.NMHTTP1->GetBody().capacity(), 64u);
    if (size == 3) {
      // It did read the version: the notice is handed over.
      EXPECT_TRUE(ProcessEventsUntil([&] { return form.Timer4->isActive(); }));
      EXPECT_EQ(form.NoticeText, NewVersionNotice("3.2"));
    }
  }
}

}  // namespace
}  // namespace lumora::test
