// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/messages.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>

#include "toolkit/exceptions.h"

namespace lumora {
namespace {

auto Fields(const MessageRequest& r) {
  return std::make_tuple(r.kind, r.text, r.caption, r.ownedByMainWindow, r.okCancel);
}

class MessagesTest : public ::testing::Test {
 protected:
  MessagesTest() : savedTitle_(ApplicationTitle()) { SetApplicationTitle("Lumora Test"); }
  ~MessagesTest() override { SetApplicationTitle(savedTitle_); }

  RecordingMessageSink sink_;
  ScopedMessageSink installed_{sink_};

 private:
  std::string savedTitle_;
};

TEST_F(MessagesTest, EachKindOfMessageReachesTheSinkAsDescribed) {
  MessageBox("free", "Cap 1");
  OwnedMessageBox("owned", "Cap 2");
  ShowMessage("plain");
  AskOkCancel("sure?", "Cap 3");
  ShowException(EConvertError("'12a' is not a valid integer value"));
  ShowException(std::runtime_error("not one of ours"));

  const MessageRequest expected[] = {
      {MessageKind::MessageBox, "free", "Cap 1", false, false},
      {MessageKind::MessageBox, "owned", "Cap 2", true, false},
      {MessageKind::ShowMessage, "plain", "Lumora Test", true, false},
      {MessageKind::Question, "sure?", "Cap 3", false, true},
      {MessageKind::ErrorDisplay, "'12a' is not a valid integer value", "Lumora Test", true, false},
      {MessageKind::ErrorDisplay, "not one of ours", "Lumora Test", true, false},
  };
  const auto requests = sink_.Requests();
  ASSERT_EQ(requests.size(), std::size(expected));
  for (std::size_t i = 0; i < requests.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Fields(requests[i]), Fields(expected[i]));
  }
}

TEST_F(MessagesTest, ShowExceptionIsSilentForAbort) {
  try {
    throw EAbort();
  } catch (const std::exception& e) {
    ShowException(e);  // seen through the base class, as a catch-all handler sees it
  }
  EXPECT_TRUE(sink_.Requests().empty());
}

TEST_F(MessagesTest, TheSinkAnswersFromItsScriptThenOk) {
  sink_.QueueResult(MessageResult::Cancel);
  sink_.QueueResult(MessageResult::Ok);
  sink_.QueueResult(MessageResult::Cancel);
  EXPECT_EQ(AskOkCancel("1", ""), MessageResult::Cancel);
  EXPECT_EQ(AskOkCancel("2", ""), MessageResult::Ok);
  EXPECT_EQ(OwnedMessageBox("3", ""), MessageResult::Cancel);
  EXPECT_EQ(AskOkCancel("4", ""), MessageResult::Ok);
  EXPECT_EQ(sink_.Requests().size(), 4u);

  sink_.QueueResult(MessageResult::Cancel);
  sink_.Clear();
  EXPECT_TRUE(sink_.Requests().empty());
  EXPECT_EQ(AskOkCancel("5", ""), MessageResult::Ok) << "Clear must drop the script too";
}

TEST(MessageSinkInstallation, FallbackWritesToStderrAndScopesRestoreThePreviousSink) {
  ASSERT_EQ(GetMessageSink(), nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(AskOkCancel("Proceed with nobody to ask", "Lumora"), MessageResult::Ok);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Proceed with nobody to ask"), std::string::npos) << err;

  RecordingMessageSink outer;
  RecordingMessageSink inner;
  {
    ScopedMessageSink installOuter(outer);
    {
      ScopedMessageSink installInner(inner);
      ShowMessage("to inner");
    }
    ShowMessage("to outer");
  }
  EXPECT_EQ(GetMessageSink(), nullptr);
  ASSERT_EQ(inner.Requests().size(), 1u);
  EXPECT_EQ(inner.Requests()[0].text, "to inner");
  ASSERT_EQ(outer.Requests().size(), 1u);
  EXPECT_EQ(outer.Requests()[0].text, "to outer");
}

}  // namespace
}  // namespace lumora
