// The version check's verdict on a reply, and the notice the window offers for it.
#include "app/version_check.h"
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

}  // namespace
}  // namespace lumora::test
