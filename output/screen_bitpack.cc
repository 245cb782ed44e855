// The bit-oriented compression of a screen image for the tape, and its reference decoder.
#include "output/screen_bitpack.h"

#include <algorithm>
#include <limits>

namespace tvcpix {

namespace {

// The nearer distances are all tried; farther ones through chains of earlier positions with
// the same three bytes, followed this far at most. A match this long ends the search at a
// position (longer ones are rare and taken whole).
constexpr int kAllDistancesUpTo = 512;
constexpr int kMaxChainSteps = 256;
constexpr int kHashBits = 14;
constexpr int kLongMatch = 64;
constexpr int kMaxLiteralRun = 2048;
constexpr int kTableHitBits = 5;    // "1" + 4-bit index
constexpr int kRawLiteralBits = 9;  // "0" + whole byte
constexpr int kShortDistanceBits = 3;

int GammaBits(int v) {
  int top = 0;
  while ((2 << top) <= v) ++top;
  return 2 * top + 1;
}

int DistanceBits(int d) {
  for (const int s : kBitPackDistances)
    if (s == d) return kShortDistanceBits;
  return 1 + GammaBits(((d - 1) >> 8) + 1) + 8;
}

unsigned Hash3(const std::uint8_t* p) {
  const unsigned v = static_cast<unsigned>(p[0]) << 16 | static_cast<unsigned>(p[1]) << 8 | p[2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

enum Kind : std::uint8_t { kLiterals, kRepeat, kNew };
enum State : std::uint8_t { kAfterLiterals, kAfterMatch };

// How a state at a position is reached in the parse.
struct Step {
  long cost = std::numeric_limits<long>::max() / 2;
  int from = -1;
  State from_state = kAfterMatch;
  Kind kind = kLiterals;
  int length = 0;
  int distance = 0;  // the match's; for literals unused
  int last = 0;      // the distance a repeat match would use from here
};

bool Reached(const Step& s) { return s.cost < std::numeric_limits<long>::max() / 4; }

class Parser {
 public:
  Parser(const std::uint8_t* data, std::size_t size)
      : data_(data), n_(static_cast<int>(size)), prev_(size, -1) {}

  // The parse for the given literal costs: per position, [kAfterLiterals] and [kAfterMatch].
  std::vector<std::array<Step, 2>> Parse(const std::array<int, 256>& literal_bits) {
    std::vector<long> literal_sum(static_cast<std::size_t>(n_) + 1, 0);
    for (int i = 0; i < n_; ++i) literal_sum[i + 1] = literal_sum[i] + literal_bits[data_[i]];
    std::vector<std::array<Step, 2>> best(static_cast<std::size_t>(n_) + 1);
    best[0][kAfterMatch].cost = 0;  // the start: a literal run follows without a flag
    std::fill(head_.begin(), head_.end(), -1);

    for (int i = 0; i < n_; ++i) {
      const Step& after_lit = best[i][kAfterLiterals];
      const Step& after_match = best[i][kAfterMatch];
      if (Reached(after_match)) {
        const long base = after_match.cost + (i > 0 ? 1 : 0);
        const int run_end = std::min(n_, i + kMaxLiteralRun);
        for (int j = i + 1; j <= run_end; ++j) {
          const long cost = base + GammaBits(j - i) + (literal_sum[j] - literal_sum[i]);
          Relax(best[j][kAfterLiterals], cost, i, kAfterMatch, kLiterals, j - i, 0,
                after_match.last);
        }
      }
      if (i == 0) {
        Remember(i);
        continue;
      }
      if (Reached(after_lit) && after_lit.last > 0 && after_lit.last <= i) {
        const int r = MatchLength(i, after_lit.last);
        ForLengths(1, r, [&](int len) {
          Relax(best[i + len][kAfterMatch], after_lit.cost + 1 + GammaBits(len), i, kAfterLiterals,
                kRepeat, len, after_lit.last, after_lit.last);
        });
      }
      const State from = after_lit.cost <= after_match.cost ? kAfterLiterals : kAfterMatch;
      const long base = best[i][from].cost + 1;
      int longest = 1;
      const auto try_distance = [&](int d) {
        if (d > i || longest >= kLongMatch) return;
        const int r = MatchLength(i, d);
        if (r <= longest) return;
        const long cost = base + DistanceBits(d);
        ForLengths(longest + 1, r, [&](int len) {
          Relax(best[i + len][kAfterMatch], cost + GammaBits(len - 1), i, from, kNew, len, d, d);
        });
        longest = r;
      };
      // Cheapest distances first, so a length already reached is never bought dearer.
      for (const int d : kBitPackDistances) try_distance(d);
      for (int d = 1; d <= kAllDistancesUpTo; ++d) {
        if (DistanceBits(d) != kShortDistanceBits) try_distance(d);
      }
      if (i + 3 <= n_) {
        int steps = 0;
        for (int p = head_[Hash3(data_ + i)]; p >= 0 && steps < kMaxChainSteps; p = prev_[p]) {
          ++steps;
          const int d = i - p;
          if (d > kBitPackMaxDistance) break;
          if (d > kAllDistancesUpTo) try_distance(d);
        }
      }
      Remember(i);
    }
    return best;
  }

 private:
  int MatchLength(int pos, int distance) const {
    int k = 0;
    while (pos + k < n_ && data_[pos + k] == data_[pos + k - distance]) ++k;
    return k;
  }
  // Every length of a short match; of a long one the short lengths and the whole.
  template <typename F>
  static void ForLengths(int low, int high, F relax) {
    for (int len = low; len <= std::min(high, kLongMatch); ++len) relax(len);
    if (high > kLongMatch && high >= low) relax(high);
  }
  static void Relax(Step& s, long cost, int from, State from_state, Kind kind, int length,
                    int distance, int last) {
    if (cost < s.cost) s = {cost, from, from_state, kind, length, distance, last};
  }
  void Remember(int i) {
    if (i + 3 > n_) return;
    const unsigned h = Hash3(data_ + i);
    prev_[static_cast<std::size_t>(i)] = head_[h];
    head_[h] = i;
  }

  const std::uint8_t* data_;
  int n_;
  std::vector<int> head_ = std::vector<int>(std::size_t{1} << kHashBits, -1);
  std::vector<int> prev_;
};

class BitWriter {
 public:
  void Bit(int b) {
    if (used_ == 8) {
      at_ = out_.size();
      out_.push_back(0);
      used_ = 0;
    }
    if (b) out_[at_] = static_cast<std::uint8_t>(out_[at_] | (0x80 >> used_));
    ++used_;
  }
  void Bits(int value, int count) {
    for (int k = count - 1; k >= 0; --k) Bit((value >> k) & 1);
  }
  void Gamma(int v) {
    int top = 0;
    while ((2 << top) <= v) ++top;
    for (int k = top - 1; k >= 0; --k) {
      Bit(0);
      Bit((v >> k) & 1);
    }
    Bit(1);
  }
  void Byte(std::uint8_t b) { out_.push_back(b); }
  std::vector<std::uint8_t>& bytes() { return out_; }

 private:
  std::vector<std::uint8_t> out_;
  std::size_t at_ = 0;
  int used_ = 8;
};

struct Token {
  Kind kind;
  int start;
  int length;
  int distance;
};

std::vector<Token> Walk(const std::vector<std::array<Step, 2>>& best, int n) {
  std::vector<Token> tokens;
  int pos = n;
  State state =
      best[n][kAfterLiterals].cost < best[n][kAfterMatch].cost ? kAfterLiterals : kAfterMatch;
  while (pos > 0) {
    const Step& s = best[pos][state];
    tokens.push_back({s.kind, s.from, s.length, s.distance});
    state = s.from_state;
    pos = s.from;
  }
  std::reverse(tokens.begin(), tokens.end());
  return tokens;
}

// The literal table's 4-bit indices, most used literal first: the indices with the most 1
// bits come first, since a 1 is the shorter tone on tape.
constexpr int kIndexOrder[kBitPackLiteralTable] = {15, 14, 13, 11, 7, 12, 10, 9,
                                                   6,  5,  3,  8,  4, 2,  1,  0};

}  // namespace

std::vector<std::uint8_t> PackScreenBits(const std::uint8_t* data, std::size_t size) {
  const int n = static_cast<int>(size);
  Parser parser(data, size);
  std::array<int, 256> literal_bits;
  literal_bits.fill(8);
  std::array<std::uint8_t, kBitPackLiteralTable> table{};
  std::array<int, 256> index;
  std::vector<Token> tokens;
  // Parse, fill the table with the bytes that parse sends as literals most, parse again with
  // the table's costs; twice, as the second parse sends other literals.
  for (int round = 0; round < 3; ++round) {
    tokens = Walk(parser.Parse(literal_bits), n);
    if (round == 2) break;
    std::array<int, 256> count{};
    for (const Token& t : tokens) {
      if (t.kind != kLiterals) continue;
      for (int k = 0; k < t.length; ++k) ++count[data[t.start + k]];
    }
    std::array<int, 256> order;
    for (int b = 0; b < 256; ++b) order[b] = b;
    std::stable_sort(order.begin(), order.end(),
                     [&count](int a, int b) { return count[a] > count[b]; });
    index.fill(-1);
    literal_bits.fill(kRawLiteralBits);
    for (int k = 0; k < kBitPackLiteralTable; ++k) {
      const auto b = static_cast<std::uint8_t>(order[k]);
      table[kIndexOrder[k]] = b;
      index[b] = kIndexOrder[k];
      literal_bits[b] = kTableHitBits;
    }
  }

  BitWriter w;
  for (const int d : kBitPackDistances) {
    w.Byte(static_cast<std::uint8_t>(d & 0xFF));
    w.Byte(static_cast<std::uint8_t>(d >> 8));
  }
  for (const std::uint8_t b : table) w.Byte(b);
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    const Token& tok = tokens[t];
    switch (tok.kind) {
      case kLiterals:
        if (t > 0) w.Bit(0);
        w.Gamma(tok.length);
        for (int k = 0; k < tok.length; ++k) {
          const std::uint8_t b = data[tok.start + k];
          if (index[b] >= 0) {
            w.Bit(1);
            w.Bits(index[b], 4);
          } else {
            w.Bit(0);
            w.Byte(b);
          }
        }
        break;
      case kRepeat:
        w.Bit(0);
        w.Gamma(tok.length);
        break;
      case kNew: {
        w.Bit(1);
        const auto* shortcut =
            std::find(kBitPackDistances.begin(), kBitPackDistances.end(), tok.distance);
        if (shortcut != kBitPackDistances.end()) {
          w.Bit(1);
          w.Bits(static_cast<int>(shortcut - kBitPackDistances.begin()), 2);
        } else {
          w.Bit(0);
          w.Gamma(((tok.distance - 1) >> 8) + 1);
          w.Byte(static_cast<std::uint8_t>((tok.distance - 1) & 0xFF));
        }
        w.Gamma(tok.length - 1);
        break;
      }
    }
  }
  return std::move(w.bytes());
}

namespace {

class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Byte(int* b) {
    if (at_ >= size_) return false;
    *b = data_[at_++];
    return true;
  }
  bool Bit(int* b) {
    if (left_ == 0) {
      if (!Byte(&buffer_)) return false;
      left_ = 8;
    }
    --left_;
    *b = (buffer_ >> left_) & 1;
    return true;
  }
  // Values past 16 bits are malformed (no screen needs them).
  bool Gamma(int* v) {
    *v = 1;
    for (int bits = 0;; ++bits) {
      int stop = 0, b = 0;
      if (!Bit(&stop)) return false;
      if (stop) return true;
      if (bits == 16 || !Bit(&b)) return false;
      *v = *v * 2 + b;
    }
  }
  bool Bits(int count, int* v) {
    *v = 0;
    for (int k = 0; k < count; ++k) {
      int b = 0;
      if (!Bit(&b)) return false;
      *v = *v * 2 + b;
    }
    return true;
  }
  bool AllBytesUsed() const { return at_ == size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  int buffer_ = 0;
  int left_ = 0;
};

}  // namespace

bool UnpackScreenBits(const std::uint8_t* packed, std::size_t packed_size, std::size_t out_size,
                      std::vector<std::uint8_t>* out) {
  out->clear();
  out->reserve(out_size);
  BitReader r(packed, packed_size);
  std::array<int, kBitPackShortDistances> distances{};
  for (int& d : distances) {
    int lo = 0, hi = 0;
    if (!r.Byte(&lo) || !r.Byte(&hi)) return false;
    d = hi << 8 | lo;
  }
  std::array<int, kBitPackLiteralTable> table{};
  for (int& b : table)
    if (!r.Byte(&b)) return false;

  int last = 0;
  const auto copy = [&](int distance, int length) {
    if (distance == 0 || static_cast<std::size_t>(distance) > out->size() ||
        out_size - out->size() < static_cast<std::size_t>(length)) {
      return false;
    }
    for (int k = 0; k < length; ++k) out->push_back((*out)[out->size() - distance]);
    last = distance;
    return true;
  };
  const auto new_match = [&]() {
    int shortcut = 0, distance = 0, length = 0;
    if (!r.Bit(&shortcut)) return false;
    if (shortcut) {
      int i = 0;
      if (!r.Bits(2, &i)) return false;
      distance = distances[static_cast<std::size_t>(i)];
    } else {
      int hi = 0, lo = 0;
      if (!r.Gamma(&hi) || !r.Byte(&lo)) return false;
      distance = (hi - 1) * 256 + lo + 1;
    }
    if (!r.Gamma(&length)) return false;
    return copy(distance, length + 1);
  };

  // The start and a "0" after a match lead to a literal run, which a match always follows.
  bool literals_next = true;
  while (out->size() < out_size) {
    int flag = 0;
    if (literals_next) {
      int n = 0;
      if (!r.Gamma(&n) || out_size - out->size() < static_cast<std::size_t>(n)) return false;
      for (int k = 0; k < n; ++k) {
        int from_table = 0, b = 0;
        if (!r.Bit(&from_table)) return false;
        if (from_table) {
          if (!r.Bits(4, &b)) return false;
          b = table[static_cast<std::size_t>(b)];
        } else if (!r.Byte(&b)) {
          return false;
        }
        out->push_back(static_cast<std::uint8_t>(b));
      }
      if (out->size() == out_size) break;
      if (!r.Bit(&flag)) return false;
      if (flag) {
        if (!new_match()) return false;
      } else {
        int length = 0;
        if (last == 0 || !r.Gamma(&length) || !copy(last, length)) return false;
      }
      literals_next = false;
      continue;
    }
    if (!r.Bit(&flag)) return false;
    if (flag) {
      if (!new_match()) return false;
    } else {
      literals_next = true;
    }
  }
  return r.AllBytesUsed();
}

}  // namespace tvcpix
