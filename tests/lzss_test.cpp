#include "export/lzss.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "oracle/lzss_plain.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(const Bytes& in) {
  LzssCodec codec;
  EXPECT_TRUE(codec.Encode(in.data(), static_cast<int64_t>(in.size())).ok());
  return codec.Bytes();
}

Result Decode(const Bytes& stream, Bytes& out) {
  LzssCodec codec;
  const Result r = codec.Decode(stream.data(), static_cast<int64_t>(stream.size()));
  out = codec.Bytes();
  return r;
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
  for (int i = 0; runs.size() < 10000; ++i)
    runs.insert(runs.end(), static_cast<size_t>(i % 70 + 1), static_cast<uint8_t>(i % 3));
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
  EXPECT_EQ(ReadBe16(Encode(fits).data() + 4), 0xFFFFu);

  Bytes tooMany = fits;
  tooMany.push_back(1);
  LzssCodec b;
  Result r = b.Encode(tooMany.data(), static_cast<int64_t>(tooMany.size()));
  EXPECT_EQ(r.reason(), "the LZSS stream would need 65536 flag bytes; at most 65535 fit");
  EXPECT_EQ(r.cause(), Result::Cause::kTooLarge);
  EXPECT_TRUE(b.Bytes().empty());
  // Far beyond: refused as soon as the tokens outnumber the flag bits, long
  // before the end of the input.
  const Bytes far = NoRepeatedTriples(4 << 20);
  testing::RecordingProgress progress;
  r = LzssCodec(&progress).Encode(far.data(), static_cast<int64_t>(far.size()));
  EXPECT_EQ(r.reason(), "the LZSS stream would need more than 65535 flag bytes; at most 65535 fit");
  EXPECT_LT(*std::max_element(progress.positions.begin(), progress.positions.end()), (1 << 20) / 32);
}

TEST(LzssDecode, FaultsDeepInALongStreamAreFound) {
  // A real stream, spoiled well past its first 2047 bytes of output, where
  // the decoder takes tokens eight at a time.
  const Bytes in = RandomBytes(8000, 12, 4);
  const Bytes good = Encode(in);
  const int flagBytes = static_cast<int>(ReadBe16(good.data() + 4));
  int64_t out = 0;
  int tokens = 0;
  size_t late = 0;  // offset of the first match token once 5000 bytes are out
  for (size_t r = 6 + static_cast<size_t>(flagBytes); r < good.size(); ++tokens) {
    const bool match = (good[6 + tokens / 8] >> (7 - tokens % 8)) & 1;
    if (match && out >= 5000 && late == 0) late = r;
    out += match ? (good[r + 1] & 31) + 3 : 1;
    r += match ? 2 : 1;
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

}  // namespace
}  // namespace pixmill
