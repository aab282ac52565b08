#include "payload/format/records.h"

#include <gtest/gtest.h>

#include "payload/records_test_util.h"

namespace saver {
namespace {

using testing::PutI32At;
using testing::PutTextAt;

TEST(Records, TrailerFieldsSitAtTheirOffsetsAndRoundTripByteExact) {
  std::vector<uint8_t> b(kTrailerSize, 0);
  // Every i32 field gets a distinct value that tells its offset.
  for (size_t off : {0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60, 64, 68, 72, 76,
                     84, 104})
    PutI32At(b, off, int32_t(0x01000000 + off));
  for (size_t off = 80; off <= 82; ++off) b[off] = uint8_t(off);
  for (size_t off = 88; off <= 102; ++off) b[off] = uint8_t(off);
  PutTextAt(b, 108, ".jpeg");
  for (size_t off = 113; off < kTrailerSize; ++off) b[off] = uint8_t(off);
  PutI32At(b, 4, -7);

  PayloadTrailer t = ParseTrailer(b);
  EXPECT_EQ(t.PayloadSize, 0x01000000);
  EXPECT_EQ(t.FileSizeSlot, -7);
  EXPECT_EQ(t.PictureCount, 0x01000008);
  EXPECT_EQ(t.MusicCount, 0x0100000C);
  EXPECT_EQ(t.MaskCount, 0x01000010);
  EXPECT_EQ(t.PictureSectionSize, 0x0100001C);
  EXPECT_EQ(t.MaskSectionSize, 0x01000028);
  EXPECT_EQ(t.PreviewSize, 0x0100002C);
  EXPECT_EQ(t.LeadInSize, 0x0100003C);
  EXPECT_EQ(t.BackPictureMode, 0x0100004C);
  EXPECT_EQ(t.RandomColors, 80);
  EXPECT_EQ(t.RepaintBackground, 82);
  EXPECT_EQ(t.Stretch, 0x01000054);
  EXPECT_EQ(t.Loop, 88);
  EXPECT_EQ(t.PlayOneRandom, 93);
  EXPECT_EQ(t.ExitESC, 97);
  EXPECT_EQ(t.HideBehaviorTab, 102);
  EXPECT_EQ(t.EffectSpeed, 0x01000068);
  EXPECT_EQ(t.BackPictureExt, ".jpeg");  // five characters, no terminator
  EXPECT_EQ(t.Reserved[0], 113);

  EXPECT_EQ(SerializeTrailer(t), b);
}

TEST(Records, RecordsRefuseTheWrongByteCount) {
  EXPECT_THROW(ParseTrailer(std::vector<uint8_t>(163)), PayloadError);
  EXPECT_THROW(ParsePictureEntry(std::vector<uint8_t>(573)), PayloadError);
  EXPECT_THROW(ParseMaskEntry(std::vector<uint8_t>(15)), PayloadError);
  EXPECT_THROW(ParseMusicEntry(std::vector<uint8_t>(0)), PayloadError);
}

TEST(Records, PictureEntryReadsExtensionsAndShortStrings) {
  std::vector<uint8_t> b(kPictureEntrySize, 0);
  PutI32At(b, 0, 1234);
  PutI32At(b, 4, 99);
  PutI32At(b, 8, 0);
  PutTextAt(b, 12, ".avi");  // ends at the first zero byte
  b[17] = 0xEE;              // padding is ignored
  b[36] = 7;
  PutTextAt(b, 37, "Verdana??");
  PutI32At(b, 292, 24);
  b[296] = 255;              // a length byte past 251 stops at the field's end
  for (size_t i = 297; i < 548; ++i) b[i] = 'x';
  PutI32At(b, 548, 1);
  PutI32At(b, 564, -1);
  PutI32At(b, 568, 3);

  PictureEntry e = ParsePictureEntry(b);
  EXPECT_EQ(e.Start, 1234);
  EXPECT_EQ(e.Size, 99);
  EXPECT_EQ(e.Ext, ".avi");
  EXPECT_EQ(e.CaptionFont, "Verdana");
  EXPECT_EQ(e.CaptionFontSize, 24);
  EXPECT_EQ(e.Caption, std::string(251, 'x'));
  EXPECT_EQ(e.CaptionTransparent, 1);
  EXPECT_EQ(e.ItemStretch, -1);
  EXPECT_EQ(e.MaskIndex, 3);

  // Written back: padding becomes zero, the clamped caption gets its true length.
  std::vector<uint8_t> out = SerializePictureEntry(e);
  EXPECT_EQ(out[17], 0);
  EXPECT_EQ(out[296], 251);
  EXPECT_EQ(ParsePictureEntry(out), e);
}

TEST(Records, WritingRefusesTextThatDoesNotFit) {
  PictureEntry e;
  e.Ext = ".jpeg2";
  EXPECT_THROW(SerializePictureEntry(e), PayloadError);
  e.Ext = ".jpeg";
  e.Caption = std::string(252, 'c');
  EXPECT_THROW(SerializePictureEntry(e), PayloadError);
  ExtraData x;
  x.Readme = std::string(65536, 'r');
  EXPECT_THROW(SerializeExtraData(x), PayloadError);
}

TEST(Records, MaskAndMusicEntries) {
  std::vector<uint8_t> m(kMaskEntrySize, 0);
  PutI32At(m, 0, 10);
  PutI32At(m, 4, 20);
  PutI32At(m, 8, 30);
  m[12] = 1;
  MaskEntry mask = ParseMaskEntry(m);
  EXPECT_EQ(mask.Start, 10);
  EXPECT_EQ(mask.Size, 20);
  EXPECT_EQ(mask.PackedSize, 30);
  EXPECT_EQ(mask.Format, 1);
  EXPECT_EQ(SerializeMaskEntry(mask), m);

  std::vector<uint8_t> s(kMusicEntrySize, 0);
  PutI32At(s, 0, 572);
  PutI32At(s, 4, 4000);
  PutTextAt(s, 12, ".mpeg");
  s[17] = 9;
  s[571] = 8;
  MusicEntry music = ParseMusicEntry(s);
  EXPECT_EQ(music.Start, 572);
  EXPECT_EQ(music.Ext, ".mpeg");
  EXPECT_EQ(SerializeMusicEntry(music), s);
}

TEST(Records, ExtraDataSixteenStringsInOrder) {
  std::vector<uint8_t> b;
  testing::AppendPrefixed(b, "Ocean Views 123");  // 15 characters
  for (int i = 0; i < 14; ++i) testing::AppendPrefixed(b, i == 10 ? "http://exit" : "");
  testing::AppendPrefixed(b, std::string(116, '\x05'));
  ASSERT_EQ(b.size(), 163u + 11);  // 2 x 16 + 15 + 116, plus the exit link
  b.push_back(0xAB);  // whatever follows is not consumed

  size_t consumed = 0;
  ExtraData x = ParseExtraData(b, &consumed);
  EXPECT_EQ(consumed, 174u);
  EXPECT_EQ(x.Title, "Ocean Views 123");
  EXPECT_EQ(x.Exitlink, "http://exit");  // string 12
  EXPECT_EQ(x.Effect.size(), 116u);
  b.pop_back();
  EXPECT_EQ(SerializeExtraData(x), b);

  b.pop_back();  // the last string now runs past the end
  EXPECT_THROW(ParseExtraData(b), PayloadError);
}

}  // namespace
}  // namespace saver
