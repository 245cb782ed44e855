// Compression of a screen image for the tape, and the reference decoder.
#include "output/screen_pack.h"

#include <algorithm>
#include <array>
#include <limits>

namespace tvcpix {

namespace {

// Far matches are found through chains of earlier positions with the same three bytes; a chain
// is followed this far at most (the near distances 1..128 are always all tried).
constexpr int kMaxChainSteps = 2048;
constexpr int kHashBits = 15;

int MatchLength(const std::uint8_t* data, std::size_t size, std::size_t pos, std::size_t from) {
  const std::size_t limit = std::min<std::size_t>(kPackMaxMatch, size - pos);
  std::size_t n = 0;
  while (n < limit && data[from + n] == data[pos + n]) ++n;
  return static_cast<int>(n);
}

unsigned Hash3(const std::uint8_t* p) {
  const unsigned v = static_cast<unsigned>(p[0]) << 16 | static_cast<unsigned>(p[1]) << 8 | p[2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

// How position i is reached in the optimal parse.
struct Step {
  int cost = std::numeric_limits<int>::max();
  int length = 0;    // bytes this step produced (literal run or match)
  int distance = 0;  // 0 for a literal run
};

}  // namespace

std::vector<std::uint8_t> PackScreen(const std::uint8_t* data, std::size_t size) {
  const std::size_t n = size;
  std::vector<Step> best(n + 1);
  best[0].cost = 0;

  std::vector<int> head(std::size_t{1} << kHashBits, -1);
  std::vector<int> prev(n, -1);

  for (std::size_t i = 0; i < n; ++i) {
    const int base = best[i].cost;
    // Literal runs from i: one token byte plus the bytes.
    const std::size_t run_end = std::min(n, i + kPackMaxLiteralRun);
    for (std::size_t j = i + 1; j <= run_end; ++j) {
      const int cost = base + 1 + static_cast<int>(j - i);
      if (cost < best[j].cost) best[j] = {cost, static_cast<int>(j - i), 0};
    }
    if (n - i < static_cast<std::size_t>(kPackMinMatch)) continue;

    // The longest near match (one distance byte) and the longest far one (two bytes).
    int near_len = 0, near_dist = 0;
    const std::size_t near_max = std::min<std::size_t>(i, kPackMaxNearDistance);
    const int cap = static_cast<int>(std::min<std::size_t>(kPackMaxMatch, n - i));
    for (std::size_t d = 1; d <= near_max && near_len < cap; ++d) {
      const int len = MatchLength(data, n, i, i - d);
      if (len > near_len) near_len = len, near_dist = static_cast<int>(d);
    }
    int far_len = 0, far_dist = 0;
    const unsigned h = Hash3(data + i);
    if (near_len < cap) {
      int steps = 0;
      for (int p = head[h]; p >= 0 && steps < kMaxChainSteps && far_len < cap;
           p = prev[static_cast<std::size_t>(p)], ++steps) {
        const std::size_t d = i - static_cast<std::size_t>(p);
        if (d > static_cast<std::size_t>(kPackMaxDistance)) break;
        if (d <= static_cast<std::size_t>(kPackMaxNearDistance)) continue;
        const int len = MatchLength(data, n, i, static_cast<std::size_t>(p));
        if (len > far_len) far_len = len, far_dist = static_cast<int>(d);
      }
    }
    prev[i] = head[h];
    head[h] = static_cast<int>(i);

    for (int len = kPackMinMatch; len <= near_len; ++len) {
      const int cost = base + 2;
      Step& s = best[i + static_cast<std::size_t>(len)];
      if (cost < s.cost) s = {cost, len, near_dist};
    }
    for (int len = std::max(kPackMinMatch, near_len + 1); len <= far_len; ++len) {
      const int cost = base + 3;
      Step& s = best[i + static_cast<std::size_t>(len)];
      if (cost < s.cost) s = {cost, len, far_dist};
    }
  }

  // Walk the parse back from the end, then emit it forwards.
  std::vector<std::size_t> cuts;
  for (std::size_t i = n; i > 0; i -= static_cast<std::size_t>(best[i].length)) cuts.push_back(i);
  std::reverse(cuts.begin(), cuts.end());

  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(best[n].cost));
  std::size_t pos = 0;
  for (const std::size_t end : cuts) {
    const Step& s = best[end];
    if (s.distance == 0) {
      out.push_back(static_cast<std::uint8_t>(s.length - 1));
      out.insert(out.end(), data + pos, data + end);
    } else {
      out.push_back(static_cast<std::uint8_t>(0x80 | (s.length - kPackMinMatch)));
      const int code = s.distance - 1;
      if (s.distance <= kPackMaxNearDistance) {
        out.push_back(static_cast<std::uint8_t>(code));
      } else {
        out.push_back(static_cast<std::uint8_t>(0x80 | (code >> 8)));
        out.push_back(static_cast<std::uint8_t>(code & 0xFF));
      }
    }
    pos = end;
  }
  return out;
}

bool UnpackScreen(const std::uint8_t* packed, std::size_t packed_size, std::size_t out_size,
                  std::vector<std::uint8_t>* out) {
  out->clear();
  out->reserve(out_size);
  std::size_t in = 0;
  while (out->size() < out_size) {
    if (in >= packed_size) return false;
    const std::uint8_t t = packed[in++];
    if (t < 0x80) {
      const std::size_t count = static_cast<std::size_t>(t) + 1;
      if (packed_size - in < count || out_size - out->size() < count) return false;
      out->insert(out->end(), packed + in, packed + in + count);
      in += count;
      continue;
    }
    const std::size_t count = static_cast<std::size_t>(t & 0x7F) + kPackMinMatch;
    if (in >= packed_size) return false;
    std::size_t code = packed[in++];
    if (code >= 0x80) {
      if (in >= packed_size) return false;
      code = (code & 0x7F) << 8 | packed[in++];
    }
    const std::size_t distance = code + 1;
    if (distance > out->size() || out_size - out->size() < count) return false;
    for (std::size_t k = 0; k < count; ++k) out->push_back((*out)[out->size() - distance]);
  }
  return in == packed_size;
}

}  // namespace tvcpix
