// The wire format of the bus client: what it writes is what a reader of the
// protocol reads back, and damaged input is refused without reading past it.
#include <gtest/gtest.h>

#include "linuxdesktop/BusMessage.h"

namespace linuxdesktop {
namespace {

const MethodCall kInhibit{"org.freedesktop.login1", "/org/freedesktop/login1",
                          "org.freedesktop.login1.Manager", "Inhibit"};

TEST(BusMessage, ACallReadsBackWithItsSignatureAndArguments) {
  const BusArguments arguments = BusArguments()
                                     .String("sleep")
                                     .String("Marrowby")
                                     .StringArray({"a", "bc"})
                                     .EmptyDictionary()
                                     .Int32(-1);
  EXPECT_EQ("ssasa{sv}i", arguments.signature());
  const std::string message = EncodeMethodCall(kInhibit, arguments, 7);
  ASSERT_EQ(0u, message.size() % 4);
  const std::optional<size_t> length = MessageLength(message.substr(0, 16));
  ASSERT_TRUE(length);
  EXPECT_EQ(message.size(), *length);
  const std::optional<BusReply> read = DecodeMessage(message);
  ASSERT_TRUE(read);
  EXPECT_EQ(MessageType::kMethodCall, read->type);
  EXPECT_EQ("ssasa{sv}i", read->signature);
  EXPECT_EQ("sleep", read->FirstString().value_or(""));
  // The body: "sleep" (4 + 5 + 1), padding to 12, "Marrowby" (4 + 8 + 1) to
  // 28, the array length and its two strings (4 + 4+1+1 + pad + 4+2+1) to 47,
  // padding to 48, the empty dictionary's length, padding to 56, the int.
  EXPECT_EQ(60u, read->body.size());
  EXPECT_EQ('\xff', read->body[56]);
}

TEST(BusMessage, DamagedOrForeignMessagesAreRefused) {
  const std::string message = EncodeMethodCall(kInhibit, BusArguments().String("sleep"), 1);
  EXPECT_FALSE(DecodeMessage(message.substr(0, message.size() - 1)));
  std::string bigEndian = message;
  bigEndian[0] = 'B';
  EXPECT_FALSE(MessageLength(bigEndian));
  // A header field whose string runs past the end of the fields.
  std::string overlong = message;
  overlong[20] = '\x7f';
  EXPECT_FALSE(DecodeMessage(overlong));
  // A body length beyond what the protocol allows.
  std::string huge = message;
  huge[7] = '\x7f';
  EXPECT_FALSE(MessageLength(huge));
  EXPECT_FALSE(MessageLength("l\x02"));
}

TEST(BusMessage, FirstArgumentOnlyOfTheTypeAsked) {
  BusReply reply;
  reply.signature = "h";
  reply.body = std::string("\x02\x00\x00\x00", 4);
  EXPECT_EQ(2u, reply.FirstUint32().value_or(99));
  EXPECT_FALSE(reply.FirstString());
  reply.body.resize(3);
  EXPECT_FALSE(reply.FirstUint32());
}

}  // namespace
}  // namespace linuxdesktop
