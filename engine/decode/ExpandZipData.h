// ExpandZipData: decodes one ZIP entry's compressed data with the entry's method.
//
//   0 stored, 1 shrunk, 2-5 reduced (factor = method - 1), 6 imploded (flag bit 1: 8 KiB
//   dictionary, bit 2: three trees), 8 deflated. Every other method ends with "Unsupported
//   compression method" naming the method.
//
// The output never exceeds the declared unpacked size: a stream that decodes to more is cut there
// and the entry fails. Errors never escape: they end the entry, what was decoded up to then has
// been written, and the result says what happened. The caller's CRC check (its sink sees every
// plain byte) decides whether the entry is good.
#pragma once

#include <cstdint>
#include <string>

#include "engine/decode/DecodeIO.h"

namespace quil {

struct TZipDecodeEntry {
  uint16_t Flag = 0;         // general-purpose bit flag; bit 0: the 12-byte encryption header
                             // was already consumed by the caller (it is not in the packed size)
  uint32_t Method = 0;
  int64_t PackedSize = 0;    // as stored in the header (the encryption header included)
  int64_t UnpackedSize = -1; // declared size; < 0 when unknown (no limit, decoders run to the end)
};

struct TExpandResult {
  int Code = 0;              // 0 when the decoder ran to its end; else the message number
  std::string Message;       // the message text ("" when Code is 0)
  int64_t PackedRead = 0;    // compressed bytes fetched from the source
  int64_t Written = 0;       // plain bytes handed to the sink
  bool Ok() const { return Code == 0; }
};

// Human name of a ZIP compression method number ("Deflate64", "BZip2", ...).
std::string ZipMethodName(uint32_t method);

TExpandResult ExpandZipData(const TZipDecodeEntry& entry, TDecodeSource& source,
                            TDecodeSink& sink, const TDecodeControl& control = {});

}  // namespace quil
