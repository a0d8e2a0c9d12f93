#include <gtest/gtest.h>

#include <random>
#include <string>

#include "export/lzss.h"
#include "oracle/lzss_plain.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(const Bytes& in) {
  LzssCodec codec;
  EXPECT_TRUE(codec.Encode(in.data(), static_cast<int64_t>(in.size())).ok());
  Bytes out(static_cast<size_t>(codec.GetSize()));
  codec.CopyTo(out.data());
  return out;
}

Result Decode(const Bytes& stream, Bytes& out) {
  LzssCodec codec;
  const Result r = codec.Decode(stream.data(), static_cast<int64_t>(stream.size()));
  out = codec.Bytes();
  return r;
}

Bytes Ascii(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Stream(std::initializer_list<uint8_t> tail) {
  Bytes b = {0x4C, 0x5A, 0x53, 0x53};
  b.insert(b.end(), tail);
  return b;
}

// Matches of a stream as (distance, length), in order.
std::vector<std::pair<int, int>> Matches(const Bytes& s) {
  std::vector<std::pair<int, int>> m;
  const int f = s[4] * 256 + s[5];
  size_t r = 6 + static_cast<size_t>(f);
  for (int t = 0; r < s.size(); ++t) {
    if ((s[6 + t / 8] >> (7 - t % 8)) & 1) {
      m.emplace_back(s[r] * 8 + (s[r + 1] >> 5), (s[r + 1] & 31) + 3);
      r += 2;
    } else {
      r += 1;
    }
  }
  return m;
}

TEST(LzssEncode, WorkedExamples) {
  EXPECT_EQ(Encode({}), Stream({0x00, 0x00}));
  EXPECT_EQ(Encode(Ascii("abc")), Stream({0x00, 0x01, 0x00, 0x61, 0x62, 0x63}));
  EXPECT_EQ(Encode(Ascii("abcabc")), Stream({0x00, 0x01, 0x10, 0x61, 0x62, 0x63, 0x00, 0x60}));
  EXPECT_EQ(Encode(Ascii("aaaaaa")), Stream({0x00, 0x01, 0x10, 0x61, 0x61, 0x61, 0x00, 0x60}));
  EXPECT_EQ(Encode(Ascii("abcab")), Stream({0x00, 0x01, 0x00, 'a', 'b', 'c', 'a', 'b'}));
  EXPECT_EQ(Encode(Ascii("abcXabcYabc")),
            Stream({0x00, 0x01, 0x0A, 0x61, 0x62, 0x63, 0x58, 0x00, 0x80, 0x59, 0x01, 0x00}));
}

TEST(LzssEncode, RepeatedBlockIsLimitedByDistanceAndEnd) {
  std::string s;
  for (int i = 0; i < 10; ++i) s += "abcdefgh";
  const Bytes out = Encode(Ascii(s));
  EXPECT_EQ(out[4], 0x00);
  EXPECT_EQ(out[5], 0x02);
  EXPECT_EQ(out[6], 0x00);
  EXPECT_EQ(out[7], 0xF0);
  EXPECT_EQ(Bytes(out.begin() + 8, out.begin() + 16), Ascii("abcdefgh"));
  EXPECT_EQ(Matches(out), (std::vector<std::pair<int, int>>{{8, 8}, {16, 16}, {32, 32}, {64, 16}}));
}

TEST(LzssEncode, RunOfHundredBytesIsTwentyThreeBytes) {
  const Bytes out = Encode(Bytes(100, 'x'));
  EXPECT_EQ(out.size(), 23u);
  EXPECT_EQ(out[5], 2);
  EXPECT_EQ(out[6], 0x1F);
  EXPECT_EQ(out[7], 0x80);
  EXPECT_EQ(Matches(out), (std::vector<std::pair<int, int>>{{3, 3}, {6, 6}, {12, 12}, {24, 24}, {48, 34}, {82, 18}}));
}

// Inputs on which the fast search must agree with the plain scan.
struct Input {
  const char* name;
  Bytes bytes;
};

Bytes RandomBytes(size_t n, uint32_t seed, int alphabet) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& v : b) v = static_cast<uint8_t>(rng() % static_cast<uint32_t>(alphabet));
  return b;
}

std::vector<Input> AgreementInputs() {
  std::vector<Input> in;
  in.push_back({"random", RandomBytes(20000, 1, 256)});
  in.push_back({"random_two_symbols", RandomBytes(12000, 2, 2)});
  in.push_back({"random_four_symbols", RandomBytes(12000, 3, 4)});
  in.push_back({"long_run", Bytes(9000, 0)});
  Bytes periodic;
  for (int i = 0; i < 9000; ++i) periodic.push_back(static_cast<uint8_t>("abcdefghijk"[i % 11]));
  in.push_back({"periodic", periodic});
  Bytes longPeriod;  // a period longer than the window
  const Bytes block = RandomBytes(2100, 4, 256);
  for (int i = 0; i < 4; ++i) longPeriod.insert(longPeriod.end(), block.begin(), block.end());
  in.push_back({"period_past_window", longPeriod});
  Bytes nearWindow;  // repeats exactly at the window's edge
  const Bytes b2 = RandomBytes(2047, 5, 256);
  for (int i = 0; i < 3; ++i) nearWindow.insert(nearWindow.end(), b2.begin(), b2.end());
  in.push_back({"period_of_window", nearWindow});
  // Picture-like: an 8-bit picture with flat areas, dithered edges and rows.
  Bytes picture;
  std::mt19937 rng(6);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 160; ++x) {
      uint8_t v = static_cast<uint8_t>((x / 20 + y / 16) % 5 + 1);
      if ((x + y) % 7 == 0 && rng() % 3 == 0) v = static_cast<uint8_t>(rng() % 250 + 1);
      picture.push_back(v);
    }
  }
  in.push_back({"picture_like", picture});
  Bytes runs;  // runs of varying length
  for (int i = 0; runs.size() < 10000; ++i) runs.insert(runs.end(), static_cast<size_t>(i % 70 + 1), static_cast<uint8_t>(i % 3));
  in.push_back({"varying_runs", runs});
  // Long enough for the search's index to be rebuilt twice on the way, with
  // matches reaching back over each rebuild: random bytes, a dithered ramp,
  // then runs and repeats.
  Bytes mixed = RandomBytes(30000, 8, 256);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 640; ++x) mixed.push_back(static_cast<uint8_t>((x / 37 + y / 11) % 9 + rng() % 3));
  }
  for (int i = 0; mixed.size() < 160000; ++i) {
    mixed.insert(mixed.end(), static_cast<size_t>(i % 50 + 1), static_cast<uint8_t>(i % 5));
    mixed.insert(mixed.end(), picture.begin() + (i * 97) % 9000, picture.begin() + (i * 97) % 9000 + 40);
  }
  in.push_back({"several_index_segments", mixed});
  Bytes farPeriod;  // every match is 2047 back, wherever the rebuilds fall
  const Bytes b3 = RandomBytes(2047, 9, 256);
  while (farPeriod.size() < 140000) farPeriod.insert(farPeriod.end(), b3.begin(), b3.end());
  in.push_back({"period_near_window_over_segments", farPeriod});
  return in;
}

class LzssAgreement : public ::testing::TestWithParam<Input> {};

TEST_P(LzssAgreement, FastSearchGivesThePlainScansBytesAndDecodesBack) {
  const Bytes& in = GetParam().bytes;
  const Bytes fast = Encode(in);
  const Bytes plain = oracle::PlainLzssEncode(in.data(), static_cast<int32_t>(in.size()));
  ASSERT_EQ(fast, plain);
  for (auto [distance, length] : Matches(fast)) {
    EXPECT_GE(distance, length);
    EXPECT_LE(distance, 2047);
    EXPECT_GE(length, 3);
  }
  Bytes back;
  ASSERT_TRUE(Decode(fast, back).ok());
  EXPECT_EQ(back, in);
}

INSTANTIATE_TEST_SUITE_P(Inputs, LzssAgreement, ::testing::ValuesIn(AgreementInputs()),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(LzssAgreement, ManySmallRandomInputs) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    const Bytes in = RandomBytes(rng() % 300, static_cast<uint32_t>(round), static_cast<int>(rng() % 4 + 1));
    ASSERT_EQ(Encode(in), oracle::PlainLzssEncode(in.data(), static_cast<int32_t>(in.size()))) << round;
  }
}

TEST(LzssEncode, ReportsProgressInUnitsOfThirtyTwoBytes) {
  const Bytes in = RandomBytes(200, 8, 256);  // random: all literals, every multiple reported
  testing::RecordingProgress progress;
  LzssCodec codec(&progress);
  ASSERT_TRUE(codec.Encode(in.data(), 200).ok());
  using E = testing::RecordingProgress::Event;
  std::vector<E> expected = {{E::kRange, 0, 6}};
  for (int k = 1; k <= 6; ++k) expected.push_back({E::kPosition, k, 0});
  expected.push_back({E::kPosition, 0, 0});
  EXPECT_EQ(progress.events, expected);
}

// Bytes in which no three consecutive bytes occur twice: eight bits at a
// time of a 24-bit maximal-length shift register, whose every 24-bit window
// is a state that comes back only after 2^24 - 1 steps. All literals.
Bytes NoRepeatedTriples(size_t n) {
  Bytes b(n);
  uint32_t state = 1;
  for (auto& v : b) {
    uint8_t byte = 0;
    for (int k = 0; k < 8; ++k) {
      const uint32_t bit = ((state >> 0) ^ (state >> 1) ^ (state >> 2) ^ (state >> 7)) & 1;
      byte = static_cast<uint8_t>((byte << 1) | (state & 1));
      state = (state >> 1) | (bit << 23);
    }
    v = byte;
  }
  return b;
}

TEST(LzssEncode, RefusesInputsBeyondTheFlagCount) {
  // 65535 * 8 literal tokens fit, one more does not.
  const Bytes fits = NoRepeatedTriples(65535 * 8);
  LzssCodec a;
  ASSERT_TRUE(a.Encode(fits.data(), static_cast<int64_t>(fits.size())).ok());
  EXPECT_EQ(a.Bytes()[4], 0xFF);
  EXPECT_EQ(a.Bytes()[5], 0xFF);

  Bytes tooMany = fits;
  tooMany.push_back(1);
  LzssCodec b;
  const Result r = b.Encode(tooMany.data(), static_cast<int64_t>(tooMany.size()));
  EXPECT_EQ(r.code(), 1);
  EXPECT_EQ(r.reason(), "the LZSS stream would need 65536 flag bytes; at most 65535 fit");
  EXPECT_EQ(b.GetSize(), 0);
}

TEST(LzssDecode, MatchLongerThanItsDistanceRepeatsItsOutput) {
  // 'a', then a match of distance 1 and length 5: "aaaaaa".
  Bytes out;
  ASSERT_TRUE(Decode(Stream({0x00, 0x01, 0x40, 'a', 0x00, 0x22}), out).ok());
  EXPECT_EQ(out, Ascii("aaaaaa"));
  // "ab" then distance 2 length 5: "abababa".
  ASSERT_TRUE(Decode(Stream({0x00, 0x01, 0x20, 'a', 'b', 0x00, 0x42}), out).ok());
  EXPECT_EQ(out, Ascii("abababa"));
  // Ten digits, then distance 10 length 20, then 48 literals: a match
  // reaching into bytes its own copy writes, amid a stream long enough to
  // be expanded in bulk.
  Bytes s = Stream({0x00, 0x08, 0x00, 0x20, 0, 0, 0, 0, 0, 0});
  const std::string digits = "0123456789";
  s.insert(s.end(), digits.begin(), digits.end());
  s.push_back(10 >> 3);
  s.push_back(((10 & 7) << 5) + 20 - 3);
  s.insert(s.end(), 48, 'z');
  ASSERT_TRUE(Decode(s, out).ok());
  EXPECT_EQ(out, Ascii(digits + digits + digits + std::string(48, 'z')));
}

TEST(LzssDecode, IgnoresSpareFlagBytesAndPaddingBits) {
  Bytes out;
  ASSERT_TRUE(Decode(Stream({0x00, 0x03, 0x1F, 0xFF, 0xFF, 'a', 'b', 'c'}), out).ok());
  EXPECT_EQ(out, Ascii("abc"));
  ASSERT_TRUE(Decode(Stream({0x00, 0x00}), out).ok());
  EXPECT_TRUE(out.empty());
}

struct Malformed {
  const char* name;
  Bytes stream;
  const char* reasonPart;
};

void PrintTo(const Malformed& m, std::ostream* os) { *os << m.name; }

// 16 literals, a match 100 back, 23 literals: enough tokens that the
// decoder could take them eight at a time, were it not for the output so far.
Bytes LiteralsThenFarMatch() {
  Bytes b = Stream({0x00, 0x05, 0x00, 0x00, 0x80, 0x00, 0x00});
  b.insert(b.end(), 16, 'a');
  b.push_back(100 >> 3);
  b.push_back((100 & 7) << 5);
  b.insert(b.end(), 23, 'b');
  return b;
}

class LzssMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(LzssMalformed, IsRefusedWithAReason) {
  Bytes out = {1, 2, 3};
  const Result r = Decode(GetParam().stream, out);
  EXPECT_EQ(r.code(), 1);
  EXPECT_NE(r.reason().find(GetParam().reasonPart), std::string::npos) << r.reason();
  EXPECT_TRUE(out.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Streams, LzssMalformed,
    ::testing::Values(Malformed{"ShorterThanHeader", {0x4C, 0x5A, 0x53, 0x53, 0x00}, "shorter than"},
                      Malformed{"FlagsPastTheEnd", Stream({0x00, 0x05, 0x00}), "declares 5 flag bytes"},
                      Malformed{"DistanceBeforeStart", Stream({0x00, 0x01, 0x40, 'a', 0x00, 0x40}), "before the start"},
                      Malformed{"FirstTokenIsAMatch", Stream({0x00, 0x01, 0x80, 0x00, 0x20}), "before the start"},
                      Malformed{"MissingSecondByte", Stream({0x00, 0x01, 0x40, 'a', 0x00}), "second byte"},
                      Malformed{"DistanceZero", Stream({0x00, 0x01, 0x40, 'a', 0x00, 0x01}), "distance 0"},
                      Malformed{"MoreTokensThanFlagBits",
                                Stream({0x00, 0x01, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9}), "more tokens"},
                      Malformed{"DataWithoutFlags", Stream({0x00, 0x00, 'a'}), "more tokens"},
                      Malformed{"DistanceBeforeStartAfterLiterals", LiteralsThenFarMatch(), "before the start"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(LzssDecode, FaultsDeepInALongStreamAreFound) {
  // A real stream, spoiled well past its first 2047 bytes of output, where
  // the decoder takes tokens eight at a time.
  const Bytes in = RandomBytes(8000, 12, 4);
  const Bytes good = Encode(in);
  const int flagBytes = good[4] * 256 + good[5];
  size_t r = 6 + static_cast<size_t>(flagBytes);
  int64_t out = 0;
  int tokens = 0;
  size_t late = 0;  // offset of the first match token once 5000 bytes are out
  for (; r < good.size(); ++tokens) {
    if ((good[6 + tokens / 8] >> (7 - tokens % 8)) & 1) {
      if (out >= 5000 && late == 0) late = r;
      out += (good[r + 1] & 31) + 3;
      r += 2;
    } else {
      out += 1;
      r += 1;
    }
  }
  ASSERT_NE(late, 0u);
  Bytes decoded = {1};

  Bytes zero = good;  // that match's distance made 0
  zero[late] = 0;
  zero[late + 1] &= 0x1F;
  Result result = Decode(zero, decoded);
  EXPECT_EQ(result.code(), 1);
  EXPECT_NE(result.reason().find("offset " + std::to_string(late) + " has distance 0"), std::string::npos)
      << result.reason();
  EXPECT_TRUE(decoded.empty());

  // Literals appended: the spare flag bits take them, one more is refused.
  Bytes longer = good;
  longer.insert(longer.end(), static_cast<size_t>(flagBytes * 8 - tokens), 'x');
  ASSERT_TRUE(Decode(longer, decoded).ok());
  EXPECT_EQ(decoded.size(), in.size() + static_cast<size_t>(flagBytes * 8 - tokens));
  longer.push_back('x');
  result = Decode(longer, decoded);
  EXPECT_EQ(result.code(), 1);
  EXPECT_NE(result.reason().find("more tokens"), std::string::npos) << result.reason();
}

TEST(LzssDecode, TruncatedStreamsNeverReadOutside) {
  // Every prefix of a real stream either decodes or is refused; none crashes.
  const Bytes in = RandomBytes(3000, 10, 3);
  const Bytes s = Encode(in);
  for (size_t n = 0; n <= s.size(); ++n) {
    Bytes out;
    const Bytes cut(s.begin(), s.begin() + static_cast<ptrdiff_t>(n));
    const Result r = Decode(cut, out);
    if (n == s.size()) {
      EXPECT_TRUE(r.ok());
      EXPECT_EQ(out, in);
    } else if (r.ok()) {
      EXPECT_LE(out.size(), in.size());
      EXPECT_TRUE(std::equal(out.begin(), out.end(), in.begin()));
    }
  }
}

TEST(LzssMagic, Recognised) {
  EXPECT_TRUE(HasLzssMagic(Ascii("LZSS").data(), 4));
  EXPECT_FALSE(HasLzssMagic(Ascii("LZS").data(), 3));
  EXPECT_FALSE(HasLzssMagic(Ascii("LZSs").data(), 4));
}

}  // namespace
}  // namespace pixmill
