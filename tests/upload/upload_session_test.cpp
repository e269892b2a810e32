// The session over a real pseudo-terminal, the test playing the device: frame sequences, the echo rule
// however the bytes are split, wrong replies at each stage, silence, and the refusals of Start.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/exception.h"
#include "image/file_errors.h"
#include "tests/upload/session_fixture.h"
#include "upload/upload_errors.h"

namespace hexloader::test {
namespace {

std::string Join(const std::vector<std::string>& Parts) {
  std::string Text;
  for (const std::string& P : Parts) Text += (Text.empty() ? "" : " ") + P;
  return Text;
}

// --- frame sequences ---

struct TSequenceCase {
  const char* Name;
  std::size_t ImageSize;
  const char* Frames;
};
void PrintTo(const TSequenceCase& C, std::ostream* Out) { *Out << C.Name; }

class FrameSequence : public SessionOverPty, public ::testing::WithParamInterface<TSequenceCase> {};

TEST_P(FrameSequence, ExchangeMatchesTheProtocol) {
  const TSequenceCase& C = GetParam();
  const std::vector<std::uint8_t> Image = PatternImage(C.ImageSize);
  UseImage(Image);
  Session.Start();
  EXPECT_EQ(Session.Stage(), AwaitHello);
  EXPECT_TRUE(View.PromptVisible);
  EXPECT_EQ(View.Progress.TotalParts(), C.ImageSize / 128);

  EXPECT_EQ(Join(PlayDevice(TDelivery::Together)), C.Frames);

  // The data frames carry the image, then zeros; each frame's address is its place in the image.
  std::vector<std::uint8_t> Sent;
  for (const auto& F : Frames)
    if (F[0] == frame::DataKind) Sent.insert(Sent.end(), F.begin() + 3, F.end());
  ASSERT_GE(Sent.size(), Image.size());
  EXPECT_TRUE(std::equal(Image.begin(), Image.end(), Sent.begin()));
  EXPECT_TRUE(
      std::all_of(Sent.begin() + static_cast<long>(Image.size()), Sent.end(), [](std::uint8_t B) { return B == 0; }));
  EXPECT_EQ(Sent.size(), (C.ImageSize / 128 + 1) * 128) << "one more data frame than whole 128-byte parts";

  EXPECT_EQ(Session.Stage(), Idle);
  EXPECT_EQ(Session.Outcome(), TUploadOutcome::Finished);
  EXPECT_FALSE(Session.ImageOpen());
  EXPECT_FALSE(View.ProgressVisible);
  EXPECT_FALSE(View.AnimationVisible);
  EXPECT_FALSE(View.AnimationActive);
  EXPECT_TRUE(View.CommandsEnabled);
  EXPECT_TRUE(View.Messages.empty());
  EXPECT_EQ(View.Progress.PartsComplete(), View.Progress.TotalParts()) << "clamped at the total";
  EXPECT_TRUE(Port.IsOpen()) << "the port stays open after the session";
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Images, FrameSequence,
    ::testing::Values(
        TSequenceCase{"Empty", 0, "sync addr:0000 data:0000 end"},
        TSequenceCase{"OneWholeFrame", 128, "sync addr:0000 data:0000 data:0080 end"},
        TSequenceCase{"ThreeFramesLastShort", 300, "sync addr:0000 data:0000 data:0080 data:0100 end"},
        TSequenceCase{"FiveFramesSecondAddress", 600,
                      "sync addr:0000 data:0000 data:0080 data:0100 data:0180 addr:0200 data:0200 end"},
        TSequenceCase{"FourWholeFramesNoAddressAfterLast", 512,
                      "sync addr:0000 data:0000 data:0080 data:0100 data:0180 addr:0200 data:0200 end"},
        TSequenceCase{"LastFrameIsFourth", 400, "sync addr:0000 data:0000 data:0080 data:0100 data:0180 end"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// --- the echo rule, however echo and reply are split ---

class EchoDelivery : public SessionOverPty, public ::testing::WithParamInterface<TDelivery> {};

TEST_P(EchoDelivery, EchoIsDroppedWhateverItsValuesAndSplit) {
  UseImage(PatternImage(300));
  Session.Start();
  Send({frame::Hello});
  for (int Number = 1;; ++Number) {
    const std::vector<std::uint8_t> Frame = NextFrame();
    if (Frame[0] == frame::EndKind) break;
    // An echo made of the bytes the session would least like to see: its own expected reply's
    // neighbours and the hello byte; only the count may matter.
    std::vector<std::uint8_t> Echo(Frame.size(), static_cast<std::uint8_t>(CorrectReply(Frame) + 1));
    Echo[0] = frame::Hello;
    Answer(Echo, CorrectReply(Frame), GetParam());
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(View.Messages.empty()) << "frame " << Number << " was taken as wrongly answered";
    ASSERT_LT(Number, 20);
  }
  EXPECT_EQ(Session.Outcome(), TUploadOutcome::Finished);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Splits, EchoDelivery,
                         ::testing::Values(TDelivery::Together, TDelivery::EchoThenReply, TDelivery::Spread),
                         [](const auto& Info) {
                           switch (Info.param) {
                             case TDelivery::Together: return std::string("EchoAndReplyTogether");
                             case TDelivery::EchoThenReply: return std::string("EchoThenReply");
                             case TDelivery::Spread: return std::string("EchoSpreadOverNotifications");
                           }
                           return std::string("Unknown");
                         });
// clang-format on

TEST_F(SessionOverPty, ChecksumReplyIsTheLowByteOfTheSum) {
  std::vector<std::uint8_t> Image(128, 0x24);  // 128 * 0x24 = 0x1200
  Image[7] = 0x24 + 0x34;                      // sum 0x1234
  UseImage(Image);
  Session.Start();
  Send({frame::Hello});
  Answer(NextFrame(), frame::Ack, TDelivery::Together);  // sync
  Answer(NextFrame(), frame::Ack, TDelivery::Together);  // address
  const std::vector<std::uint8_t> Data = NextFrame();
  EXPECT_EQ(Session.ExpectedReply(), 0x34);
  EXPECT_EQ(Session.Checksum(), 0x34);
  Answer(Data, 0x34, TDelivery::Together);
  EXPECT_EQ(Describe(NextFrame()), "data:0080");
  EXPECT_TRUE(View.Messages.empty());
}

TEST_F(SessionOverPty, AfterTheEndFrameItsEchoIsDroppedAndLaterBytesIgnored) {
  UseImage(PatternImage(10));
  Session.Start();
  PlayDevice(TDelivery::Together);
  const std::size_t Writes = Port.Written().size();
  Send({frame::Hello, frame::Ack, 0x00, 0x13});
  EXPECT_EQ(Port.Written().size(), Writes) << "nothing may be sent once idle";
  EXPECT_TRUE(View.Messages.empty());
  EXPECT_EQ(Session.Stage(), Idle);
}

TEST_F(SessionOverPty, ANewStartAfterAFinishedUploadRunsAgain) {
  UseImage(PatternImage(200));
  Session.Start();
  const auto First = PlayDevice(TDelivery::Together);
  Frames.clear();
  Session.Start();
  EXPECT_EQ(View.Progress.PartsComplete(), 0u) << "the bar comes back at 0%";
  EXPECT_EQ(View.Progress.Percent(), 0);
  EXPECT_EQ(PlayDevice(TDelivery::Spread), First);
  EXPECT_EQ(Port.OpenCalls(), 1) << "an open port is not opened again";
}

// --- wrong replies ---

struct TWrongReplyCase {
  const char* Name;
  std::size_t ImageSize;
  int WrongAt;  // frame number answered wrongly (1 = sync); 0 = the hello byte itself
  TUploadStage StageHit;
  int WrongByte = -1;  // the wrong answer; -1: the right reply plus one
};
void PrintTo(const TWrongReplyCase& C, std::ostream* Out) { *Out << C.Name; }

class WrongReply : public SessionOverPty, public ::testing::WithParamInterface<TWrongReplyCase> {};

TEST_P(WrongReply, EndsTheSessionAndShowsTheMessage) {
  const TWrongReplyCase& C = GetParam();
  UseImage(PatternImage(C.ImageSize));
  Session.Start();
  std::size_t WritesBefore = 0;
  if (C.WrongAt == 0) {
    Send({0x54});
  } else {
    PlayDevice(TDelivery::Together, C.WrongAt, C.WrongByte);
    ASSERT_EQ(static_cast<int>(Frames.size()), C.WrongAt);
    ASSERT_NE(CorrectReply(Frames.back()), C.WrongByte) << "the row needs a frame whose right reply differs";
  }
  WritesBefore = Port.Written().size();

  ASSERT_EQ(View.Messages.size(), 1u);
  EXPECT_EQ(View.Messages[0], "Ошибка ответа");
  EXPECT_EQ(Session.Stage(), Idle);
  EXPECT_EQ(Session.Outcome(), TUploadOutcome::ReplyError);
  EXPECT_EQ(Session.FrameCount(), 0);
  EXPECT_EQ(Session.FrameAddr(), 0);
  EXPECT_EQ(View.Progress.PartsComplete(), 0u);
  EXPECT_FALSE(View.ProgressVisible);
  EXPECT_FALSE(View.AnimationVisible);
  EXPECT_FALSE(View.AnimationActive);
  EXPECT_TRUE(View.CommandsEnabled);
  EXPECT_EQ(View.PromptVisible, C.StageHit == AwaitHello) << "only a wrong first byte leaves the prompt up";
  EXPECT_TRUE(Port.IsOpen());

  // Bytes after the wrong one are ignored; nothing more is sent.
  Send({CorrectReply(Frames.empty() ? std::vector<std::uint8_t>{frame::SyncKind, 0, 0} : Frames.back()), frame::Hello});
  EXPECT_EQ(Port.Written().size(), WritesBefore);
  EXPECT_EQ(View.Messages.size(), 1u);

  // A new Start begins a new session from the hello byte on.
  Frames.clear();
  Session.Start();
  EXPECT_TRUE(View.PromptVisible);
  const auto Seen = PlayDevice(TDelivery::EchoThenReply);
  ASSERT_FALSE(Seen.empty());
  EXPECT_EQ(Seen.front(), "sync");
  EXPECT_EQ(Seen.back(), "end");
  EXPECT_EQ(Session.Outcome(), TUploadOutcome::Finished);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Stages, WrongReply,
    ::testing::Values(TWrongReplyCase{"FirstByteNotHello", 300, 0, AwaitHello},
                      TWrongReplyCase{"SyncAnswered", 300, 1, AwaitSyncAck},
                      TWrongReplyCase{"FirstAddressAnswered", 300, 2, AwaitAddressAck},
                      TWrongReplyCase{"ThirdDataFrameAnswered", 300, 5, AwaitDataAck},
                      TWrongReplyCase{"SecondAddressAnswered", 600, 7, AwaitAddressAck},
                      TWrongReplyCase{"LastDataFrameAnswered", 128, 4, AwaitDataAck},
                      // AA answers sync and address frames only: a device that says AA to everything
                      // has taken nothing.
                      TWrongReplyCase{"DataFrameAnsweredWithTheAck", 300, 3, AwaitDataAck, frame::Ack},
                      TWrongReplyCase{"LastDataFrameAnsweredWithTheAck", 128, 4, AwaitDataAck, frame::Ack}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// --- silence ---

TEST_F(SessionOverPty, ADeviceThatStopsAnsweringLeavesTheSessionWaiting) {
  UseImage(PatternImage(300));
  Session.Start();
  Send({frame::Hello});
  Answer(NextFrame(), frame::Ack, TDelivery::Together);  // sync
  Answer(NextFrame(), frame::Ack, TDelivery::Together);  // address
  const std::vector<std::uint8_t> Data = NextFrame();
  Send(Data);  // only the echo: the device says nothing
  EXPECT_EQ(Session.Stage(), AwaitDataAck);
  EXPECT_EQ(Session.RxSinceSend(), frame::DataLen);
  EXPECT_EQ(Port.Written().size(), 3u);
  EXPECT_TRUE(View.ProgressVisible);
  EXPECT_TRUE(View.AnimationActive);
  EXPECT_FALSE(View.CommandsEnabled) << "Start, File and Port stay disabled while it waits";
  EXPECT_TRUE(View.Messages.empty());
}

// The reply time-out measures the device's silence: bytes that came but wait to be handed over (the
// thread they go to was busy) are no silence. The test runs the timer out itself with the first data
// frame's echo and reply in the states below.
struct TTimeOutCase {
  const char* Name;
  bool EchoHandedOver;  // the session took the frame's echo before the time-out
  bool ReplySent;       // the device answered (the reply waits in the port)
};
void PrintTo(const TTimeOutCase& C, std::ostream* Out) { *Out << C.Name; }

class ReplyTimeOut : public SessionOverPty, public ::testing::WithParamInterface<TTimeOutCase> {};

TEST_P(ReplyTimeOut, IsSilenceOnlyWhenNothingWaits) {
  const TTimeOutCase& C = GetParam();
  TManualTimer& Timer = UseManualTimer();
  UseImage(PatternImage(300));
  Session.Start();
  Send({frame::Hello});
  Answer(NextFrame(), frame::Ack, TDelivery::Together);  // sync
  Answer(NextFrame(), frame::Ack, TDelivery::Together);  // address
  const std::vector<std::uint8_t> Data = NextFrame();
  if (C.EchoHandedOver) Send(Data);
  else Put(Data);
  if (C.ReplySent) Put({SumOf(Data)});

  Timer.Fire();
  if (Waiting == 0) {
    EXPECT_EQ(View.Messages, std::vector<std::string>{"Устройство не отвечает"});
    EXPECT_EQ(Session.Outcome(), TUploadOutcome::Silent);
    EXPECT_EQ(Session.Stage(), Idle);
    return;
  }
  ASSERT_TRUE(View.Messages.empty()) << Waiting << " bytes waited, yet the device was taken as silent";
  ASSERT_EQ(Session.Stage(), AwaitDataAck);
  ASSERT_TRUE(Timer.Active()) << "the wait did not start again";

  HandOver();
  if (C.ReplySent) {
    EXPECT_EQ(Describe(NextFrame()), "data:0080") << "the upload goes on";
    EXPECT_TRUE(Timer.Active()) << "armed for the next frame";
    EXPECT_TRUE(View.Messages.empty());
    return;
  }
  // Only the echo had waited: the device is silent now.
  Timer.Fire();
  EXPECT_EQ(View.Messages, std::vector<std::string>{"Устройство не отвечает"});
  EXPECT_EQ(Session.Outcome(), TUploadOutcome::Silent);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    States, ReplyTimeOut,
    ::testing::Values(TTimeOutCase{"NothingWaitsAfterTheEcho", true, false},
                      TTimeOutCase{"TheReplyWaits", true, true},
                      TTimeOutCase{"EchoAndReplyWait", false, true},
                      TTimeOutCase{"OnlyTheEchoWaits", false, false}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// --- the receive loop ---

// The receive threshold the session asks of its port: the rest of the frame's echo and its reply, so
// that one notification carries a whole exchange; one byte when no reply is due.
struct TThresholdCase {
  const char* Name;
  int FramesAnswered;  // frames after the hello answered with echo and reply; -1: a whole upload, then
                       // the next Start while the end frame's echo is still on its way
  int EchoBytes;       // bytes of the next frame's echo (of the end frame's) handed over after them
  int Threshold;       // the last threshold asked for
};
void PrintTo(const TThresholdCase& C, std::ostream* Out) { *Out << C.Name; }

class ReceiveThreshold : public SessionOverPty, public ::testing::WithParamInterface<TThresholdCase> {};

TEST_P(ReceiveThreshold, CoversTheRestOfTheExchange) {
  const TThresholdCase& C = GetParam();
  const bool NextBoard = C.FramesAnswered < 0;
  UseImage(PatternImage(300));
  Session.Start();
  Send({frame::Hello});
  std::vector<std::uint8_t> Next = NextFrame();
  for (int i = 0; NextBoard ? Next[0] != frame::EndKind : i < C.FramesAnswered; ++i) {
    Answer(Next, CorrectReply(Next), TDelivery::Together);
    Next = NextFrame();
  }
  if (NextBoard) {
    Session.Start();
    ASSERT_EQ(Session.Stage(), AwaitHello);
  } else if (C.EchoBytes == 0) {
    EXPECT_EQ(Port.ThresholdAtWrite().back(), C.Threshold) << "asked before the frame went out";
  }
  if (C.EchoBytes > 0) Send(std::vector<std::uint8_t>(Next.begin(), Next.begin() + C.EchoBytes));
  ASSERT_FALSE(Port.Thresholds().empty());
  EXPECT_EQ(Port.Thresholds().back(), C.Threshold);

  if (NextBoard) {
    Send(std::vector<std::uint8_t>(Next.begin() + C.EchoBytes, Next.end()));
    Send({frame::Hello});
    EXPECT_EQ(Describe(NextFrame()), "sync") << "the next board's hello was taken";
  }
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Exchanges, ReceiveThreshold,
    ::testing::Values(TThresholdCase{"SyncFrameEchoAndReply", 0, 0, frame::ShortLen + 1},
                      TThresholdCase{"AddressFrameEchoAndReply", 1, 0, frame::ShortLen + 1},
                      TThresholdCase{"DataFrameEchoAndReply", 2, 0, frame::DataLen + 1},
                      TThresholdCase{"RestAfterPartOfADataFramesEcho", 2, 50, frame::DataLen + 1 - 50},
                      TThresholdCase{"RestAfterPartOfASyncFramesEcho", 0, 1, frame::ShortLen},
                      TThresholdCase{"TheReplyAloneAfterTheWholeEcho", 2, frame::DataLen, 1},
                      TThresholdCase{"OneByteWhileWaitingForTheNextBoardsHello", -1, 1, 1}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST_F(SessionOverPty, ALargeNotificationIsReadInPiecesThatFitTheBuffer) {
  UseImage(PatternImage(10));
  Session.Start();
  std::vector<std::uint8_t> Burst(3000, frame::Hello);
  WriteAll(Pty.Master, Burst);
  ASSERT_TRUE(Port.WaitUntilWaiting(3000));
  Session.OnRxChar(3000);  // one notification announcing all of it
  EXPECT_LE(Port.LargestRead(), frame::BufferSize);
  EXPECT_EQ(Port.BytesRead(), 3000);
  // The first byte was the hello: one sync went out, the rest were taken as wrong replies to it.
  ASSERT_GE(Port.Written().size(), 1u);
  EXPECT_EQ(Describe(Port.Written()[0]), "sync");
}

// --- Start ---

TEST_F(SessionOverPty, StartWithoutAChosenPortDoesNothingAtAll) {
  UseImage(PatternImage(10));
  Port.SetDeviceName("COM%d");
  Session.Start();
  EXPECT_EQ(Prepared, 0) << "no conversion";
  EXPECT_EQ(Port.OpenCalls(), 0);
  EXPECT_FALSE(View.PromptVisible);
  EXPECT_EQ(Session.Stage(), Idle);
  EXPECT_FALSE(Session.ImageOpen());
}

TEST_F(SessionOverPty, AnImageOf65536BytesIsRefusedBeforeThePortIsOpened) {
  UseImage(std::vector<std::uint8_t>(65536, 0x5A));
  try {
    Session.Start();
    FAIL() << "the image was accepted";
  } catch (const EImageTooLarge& E) {
    const std::string Message = E.what();
    EXPECT_NE(Message.find("65536"), std::string::npos) << Message;
    EXPECT_NE(Message.find("65535"), std::string::npos) << Message;
    EXPECT_EQ(Message, EImageTooLarge::ForSize(65536).Message());
  }
  EXPECT_EQ(Port.OpenCalls(), 0);
  EXPECT_TRUE(Port.Written().empty());
  EXPECT_EQ(Session.Stage(), Idle);
  EXPECT_FALSE(Session.ImageOpen());
  EXPECT_FALSE(View.PromptVisible);
}

TEST_F(SessionOverPty, AMissingImageRaisesTheFileOpenError) {
  ImagePath = "";  // the converter's answer when the HEX file has gone
  EXPECT_THROW(Session.Start(), EFOpenError);
  EXPECT_EQ(Port.OpenCalls(), 0);
  EXPECT_EQ(Session.Stage(), Idle);
}

class FailingSecondConversion : public SessionOverPty {
 protected:
  std::string Prepare() override {
    if (++Prepared > 1) throw EConvertError("bad record");
    return ImagePath;
  }
};

TEST_F(FailingSecondConversion, AFailedStartWhileWaitingForHelloLeavesNoSessionArmed) {
  UseImage(PatternImage(300));
  Session.Start();
  ASSERT_EQ(Session.Stage(), AwaitHello);
  EXPECT_THROW(Session.Start(), EConvertError);
  EXPECT_EQ(Session.Stage(), Idle);
  EXPECT_FALSE(Session.ImageOpen());
  EXPECT_FALSE(View.PromptVisible);
  Send({frame::Hello});
  EXPECT_TRUE(Port.Written().empty()) << "a hello must not start a transfer with no image";
}

}  // namespace
}  // namespace hexloader::test
