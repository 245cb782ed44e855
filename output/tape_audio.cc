// The TVC tape signal of a program: blocks, CRC and a WAV file.
#include "output/tape_audio.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "output/tvc_cassette.h"

namespace tvcpix {

namespace {

void PutCrc(std::vector<std::uint8_t>* bytes, std::uint16_t crc) {
  bytes->push_back(static_cast<std::uint8_t>(crc & 0xFF));
  bytes->push_back(static_cast<std::uint8_t>(crc >> 8));
}

// Writes samples of whole cycles, or only counts them; time is kept in 1/2^32 sample units.
class WaveWriter {
 public:
  WaveWriter(const WavOptions& options, bool count_only)
      : options_(options), count_only_(count_only) {}

  void Cycles(int hz, int count) {
    const std::uint64_t half = ((static_cast<std::uint64_t>(options_.sample_rate) << 32) +
                                static_cast<std::uint64_t>(hz)) /
                               (2 * static_cast<std::uint64_t>(hz));
    for (int i = 0; i < count; ++i) {
      Half(half, +1);
      Half(half, -1);
    }
  }
  void Byte(std::uint8_t value) {
    for (int bit = 0; bit < 8; ++bit) Cycles(((value >> bit) & 1) ? kTapeBit1Hz : kTapeBit0Hz, 1);
  }
  void Silence(int milliseconds) {
    time_ += (static_cast<std::uint64_t>(options_.sample_rate) * milliseconds / 1000) << 32;
    while ((next_ << 32) < time_) Put(0);
  }
  const std::vector<std::int32_t>& samples() const { return samples_; }
  std::uint64_t sample_count() const { return next_; }

 private:
  void Half(std::uint64_t length, int sign) {
    const std::uint64_t start = time_;
    time_ += length;
    if (count_only_) {
      while ((next_ << 32) < time_) ++next_;
      return;
    }
    while ((next_ << 32) < time_) {
      int magnitude = kAmplitude;
      if (options_.shape == WaveShape::kSine) {
        const double phase =
            static_cast<double>((next_ << 32) - start) / static_cast<double>(length);
        magnitude = std::max(
            1, static_cast<int>(std::lround(kAmplitude * std::sin(std::numbers::pi * phase))));
      }
      Put(sign * magnitude);
    }
  }
  void Put(int value) {
    if (!count_only_) samples_.push_back(value);
    ++next_;
  }

  static constexpr int kAmplitude = 1 << 14;  // of a 16-bit full scale of 1 << 15
  WavOptions options_;
  bool count_only_;
  std::uint64_t time_ = 0;  // end of what is described so far
  std::uint64_t next_ = 0;  // the next sample's number
  std::vector<std::int32_t> samples_;
};

Result CheckWavFormat(const WavOptions& options) {
  if (options.sample_rate >= 8000 && options.sample_rate <= 192000 &&
      (options.bits == 8 || options.bits == 16))
    return {};
  return Result::Failure("unsupported WAV format: " + std::to_string(options.sample_rate) +
                         " Hz, " + std::to_string(options.bits) + " bits");
}

// The whole signal: silence, each block behind its leader and sync, silence.
void PlayBlocks(const TapeBlocksResult& blocks, WaveWriter& w) {
  w.Silence(500);
  bool first = true;
  for (const TapeBlock* block : {&blocks.header, &blocks.data}) {
    if (!first) w.Silence(1000);
    first = false;
    w.Cycles(kTapeLeaderHz, block->leader_cycles);
    w.Cycles(kTapeSyncHz, 1);
    for (const std::uint8_t b : block->bytes) w.Byte(b);
    w.Cycles(kTapeLeaderHz, kTapeTrailerCycles);
  }
  w.Silence(500);
}

void PutLe(std::vector<std::uint8_t>* out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

std::uint16_t TapeCrc(const std::uint8_t* data, std::size_t size, std::uint16_t crc) {
  for (std::size_t i = 0; i < size; ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      std::uint8_t a = ((data[i] >> bit) & 1) ? 0x80 : 0x00;
      a ^= static_cast<std::uint8_t>(crc >> 8);
      const unsigned carry = (a & 0x80) ? 1u : 0u;
      if (carry) crc ^= 0x0810;
      crc = static_cast<std::uint16_t>((crc << 1) + carry);
    }
  }
  return crc;
}

std::string TapeName(const std::string& name) {
  std::string out;
  for (const char c : name) {
    if (out.size() == kTapeNameMax) break;
    const auto u = static_cast<unsigned char>(c);
    out.push_back(u >= 0x20 && u < 0x7F ? c : '_');
  }
  return out;
}

TapeBlocksResult BuildTapeBlocks(const std::vector<std::uint8_t>& payload,
                                 const std::string& name) {
  TapeBlocksResult result;
  static_cast<Result&>(result) = CheckPayloadSize(payload.size());
  if (!result.ok) return result;
  const std::size_t len = payload.size();
  const std::string tape_name = TapeName(name);

  // Header block: one sector (number 0) holding the name and the program header.
  std::vector<std::uint8_t>& h = result.header.bytes;
  result.header.leader_cycles = kTapeHeaderLeaderCycles;
  h = {0x00, 0x6A, 0xFF, 0x11, 0x00, 0x01};
  h.push_back(0x00);                                                  // sector number
  h.push_back(static_cast<std::uint8_t>(1 + tape_name.size() + 16));  // sector size
  h.push_back(static_cast<std::uint8_t>(tape_name.size()));
  h.insert(h.end(), tape_name.begin(), tape_name.end());
  const std::uint8_t program_header[16] = {0x00, 0x01, static_cast<std::uint8_t>(len & 0xFF),
                                           static_cast<std::uint8_t>(len >> 8), 0xFF};
  h.insert(h.end(), program_header, program_header + 16);
  h.push_back(0x00);  // end flag: the header's one sector is not the file's last
  PutCrc(&h, TapeCrc(h.data(), h.size()));

  // Data block.
  std::vector<std::uint8_t>& d = result.data.bytes;
  result.data.leader_cycles = kTapeDataLeaderCycles;
  const std::size_t sectors = (len + 255) / 256;
  d = {0x00, 0x6A, 0x00, 0x11, 0x00, static_cast<std::uint8_t>(sectors)};
  std::size_t crc_from = 0;  // the first sector's CRC runs on from the block's bytes
  for (std::size_t s = 0; s < sectors; ++s) {
    const std::size_t size = std::min<std::size_t>(256, len - s * 256);
    d.push_back(static_cast<std::uint8_t>(s + 1));
    d.push_back(static_cast<std::uint8_t>(size & 0xFF));  // 256 is written as 0
    d.insert(d.end(), payload.begin() + static_cast<std::ptrdiff_t>(s * 256),
             payload.begin() + static_cast<std::ptrdiff_t>(s * 256 + size));
    d.push_back(s + 1 == sectors ? 0xFF : 0x00);
    PutCrc(&d, TapeCrc(d.data() + crc_from, d.size() - crc_from));
    crc_from = d.size();
  }
  return result;
}

WavResult BuildTapeWav(const std::vector<std::uint8_t>& payload, const std::string& name,
                       const WavOptions& options) {
  WavResult result;
  static_cast<Result&>(result) = CheckWavFormat(options);
  if (!result.ok) return result;
  const TapeBlocksResult blocks = BuildTapeBlocks(payload, name);
  if (!blocks.ok) {
    static_cast<Result&>(result) = blocks;
    return result;
  }
  WaveWriter w(options, /*count_only=*/false);
  PlayBlocks(blocks, w);

  const std::vector<std::int32_t>& samples = w.samples();
  const std::uint32_t bytes_per_sample = static_cast<std::uint32_t>(options.bits / 8);
  const auto data_bytes = static_cast<std::uint32_t>(samples.size() * bytes_per_sample);
  std::vector<std::uint8_t>& out = result.bytes;
  out.reserve(44 + data_bytes);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  PutLe(&out, 36 + data_bytes, 4);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(&out, 16, 4);  // fmt chunk size
  PutLe(&out, 1, 2);   // PCM
  PutLe(&out, 1, 2);   // mono
  PutLe(&out, static_cast<std::uint32_t>(options.sample_rate), 4);
  PutLe(&out, static_cast<std::uint32_t>(options.sample_rate) * bytes_per_sample, 4);
  PutLe(&out, bytes_per_sample, 2);  // block align
  PutLe(&out, static_cast<std::uint32_t>(options.bits), 2);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutLe(&out, data_bytes, 4);
  for (const std::int32_t s : samples) {
    if (options.bits == 16) {
      PutLe(&out, static_cast<std::uint32_t>(static_cast<std::uint16_t>(s)), 2);
    } else {
      // 8-bit PCM is unsigned; a sample keeps its sign even where the sine is small.
      int v = s / 256;
      if (v == 0 && s != 0) v = s > 0 ? 1 : -1;
      out.push_back(static_cast<std::uint8_t>(128 + v));
    }
  }
  result.samples = samples.size();
  result.seconds = static_cast<double>(samples.size()) / options.sample_rate;
  return result;
}

double TapePlayingSeconds(const std::vector<std::uint8_t>& payload, const std::string& name,
                          const WavOptions& options) {
  if (!CheckWavFormat(options).ok) return 0;
  const TapeBlocksResult blocks = BuildTapeBlocks(payload, name);
  if (!blocks.ok) return 0;
  WaveWriter w(options, /*count_only=*/true);
  PlayBlocks(blocks, w);
  return static_cast<double>(w.sample_count()) / options.sample_rate;
}

}  // namespace tvcpix
