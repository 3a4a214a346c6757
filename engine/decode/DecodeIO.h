// The plumbing every decoder runs on: a pull source of compressed bytes, a push sink for plain
// bytes, the run's cancel check and progress report, and the buffered input and output stages
// built on them. All state belongs to one decoding run; nothing here is shared between runs.
//
// An extractor adapts its hooks: a source that reads the archive file (decrypting, and moving to
// the next disk of a spanned set when a volume ends), and a sink that writes the output file or
// stream and keeps the running CRC-32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace quil {

// Message numbers the decoders raise (texts in engine/core/Messages.cpp).
enum TDecodeMessage : int {
  kMsgBadBlock = 25109,
  kMsgWriteError = 25136,
  kMsgIncompleteCodeSet = 25138,
  kMsgCorruptInput = 25139,
  kMsgOutputTooLong = 25173,      // "File size different": more data than the declared size
  kMsgUnexpectedEnd = 25236,      // "Error reading file or unexpected end of file"
  kMsgOutOfMemory = 25253,
  kMsgAmbiguousTree = 25292,
  kMsgStackOverflow = 25297,
  kMsgStreamError = 25298,        // "Stream read/write error"
  kMsgUnsupportedMethod = 25301,
  kMsgUserAborted = 25400,
};

// Compressed bytes, pulled. Read returns the number of bytes placed in buf (at most n), 0 at the
// end of the data, -1 on a read error.
class TDecodeSource {
 public:
  virtual ~TDecodeSource() = default;
  virtual int64_t Read(uint8_t* buf, int64_t n) = 0;
};

// Plain bytes, pushed. Write returns false to stop the run (write failure or cancel).
class TDecodeSink {
 public:
  virtual ~TDecodeSink() = default;
  virtual bool Write(const uint8_t* data, size_t n) = 0;
};

// The run's link to its owner. Both hooks are optional; they are called once per input block read
// and once per output block written, never per byte.
struct TDecodeControl {
  // True when the run must stop; the decoder then ends with "User Aborted".
  std::function<bool()> Cancelled;
  // Compressed bytes fetched so far, plain bytes written so far; -1 for the one that did not
  // change since the last call.
  std::function<void(int64_t packedRead, int64_t unpackedWritten)> OnProgress;
};

// A source over bytes in memory.
class TMemorySource : public TDecodeSource {
 public:
  TMemorySource(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
  int64_t Read(uint8_t* buf, int64_t n) override;

 private:
  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
};

// A sink that appends to a vector.
class TVectorSink : public TDecodeSink {
 public:
  bool Write(const uint8_t* data, size_t n) override {
    Data.insert(Data.end(), data, data + n);
    return true;
  }
  std::vector<uint8_t> Data;
};

// Buffered input: fetches at most `packedSize` bytes from the source, 32 KiB at a time.
class TByteInput {
 public:
  static constexpr size_t kBlock = 32768;

  TByteInput(TDecodeSource& source, int64_t packedSize, const TDecodeControl& control);

  // Unread bytes of the buffer: [Next, End).
  const uint8_t* Next = nullptr;
  const uint8_t* End = nullptr;

  // Keeps the unread bytes and appends the next block from the source. Returns false when no
  // further byte can be had (the packed size is used up or the source is at its end). Raises
  // "User Aborted" when the run is cancelled and "Error reading file..." on a read error.
  bool Refill();
  // One byte, or -1 at the end of the data.
  int Byte() {
    if (Next == End && !Refill()) return -1;
    return *Next++;
  }
  int64_t Fetched() const { return FFetched; }

 private:
  TDecodeSource& FSource;
  const TDecodeControl& FControl;
  int64_t FRemaining;
  int64_t FFetched = 0;
  std::unique_ptr<uint8_t[]> FBuf;
};

// Where plain bytes leave the decoder: enforces the declared size and reports write failures.
class TDecodeOutput {
 public:
  TDecodeOutput(TDecodeSink& sink, int64_t limit, const TDecodeControl& control)
      : FSink(sink), FControl(control),
        FLimit(limit < 0 ? std::numeric_limits<int64_t>::max() : limit) {}

  // Writes n bytes. More than the limit allows: the allowed part is written, then "File size
  // different" is raised. A refusing sink raises "User Aborted" when the run is cancelled and
  // "Error writing to file" otherwise.
  void Write(const uint8_t* data, size_t n);
  int64_t Written() const { return FWritten; }
  int64_t Limit() const { return FLimit; }
  int64_t Room() const { return FLimit - FWritten; }
  // Raises "User Aborted" when the owner asks to stop.
  void CheckCancel() const;

 private:
  TDecodeSink& FSink;
  const TDecodeControl& FControl;
  int64_t FLimit;
  int64_t FWritten = 0;
};

// The 32 KiB output window of the byte-at-a-time decoders: every plain byte is stored here and the
// window is written out whenever it is full. It stays a ring, so recent bytes can be read back;
// bytes before the start of the entry read as 0.
class TOutWindow {
 public:
  static constexpr uint32_t kSize = 32768;
  static constexpr uint32_t kMask = kSize - 1;

  explicit TOutWindow(TDecodeOutput& out) : FOut(out), FBuf(kSize, 0) {}

  void Put(uint8_t b) {
    if (FProduced >= FOut.Limit()) Overrun();
    FBuf[FPos++] = b;
    ++FProduced;
    if (FPos == kSize) Flush();
  }
  // The byte `back` places behind the write position (1 = the last byte written); back <= kSize.
  uint8_t Back(uint32_t back) const { return FBuf[(FPos - back) & kMask]; }
  int64_t Produced() const { return FProduced; }
  // Writes out what the window holds and has not been written yet.
  void Flush();

 private:
  [[noreturn]] void Overrun();

  TDecodeOutput& FOut;
  std::vector<uint8_t> FBuf;
  uint32_t FPos = 0;
  uint32_t FStart = 0;  // first byte not written out yet
  int64_t FProduced = 0;
};

// Bit reader of the older ZIP methods: least significant bit first, up to 24 bits a request.
class TLsbBitReader {
 public:
  explicit TLsbBitReader(TByteInput& in) : FIn(in) {}
  // The next n bits (bit 0 = first bit read), or -1 when the input ends first; once at the end,
  // every later request returns -1 too.
  int32_t Bits(int n) {
    while (FCount < n) {
      int b = FEnded ? -1 : FIn.Byte();
      if (b < 0) {
        FEnded = true;
        return -1;
      }
      FBuf |= static_cast<uint32_t>(b) << FCount;
      FCount += 8;
    }
    int32_t v = static_cast<int32_t>(FBuf & ((1u << n) - 1));
    FBuf >>= n;
    FCount -= n;
    return v;
  }

 private:
  TByteInput& FIn;
  uint32_t FBuf = 0;
  int FCount = 0;
  bool FEnded = false;
};

}  // namespace quil
