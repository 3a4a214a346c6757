#include "engine/decode/ExpandZipData.h"

#include <algorithm>
#include <new>
#include <optional>

#include "engine/core/Messages.h"
#include "engine/decode/Explode.h"
#include "engine/decode/Inflate.h"
#include "engine/decode/Unreduce.h"
#include "engine/decode/Unshrink.h"

namespace quil {

std::string ZipMethodName(uint32_t method) {
  switch (method) {
    case 0: return "Stored";
    case 1: return "Shrunk";
    case 2: case 3: case 4: case 5: return "Reduced" + std::to_string(method - 1);
    case 6: return "Imploded";
    case 7: return "Tokenized";
    case 8: return "Deflated";
    case 9: return "Deflate64";
    case 10: return "PKWARE DCL Imploded";
    case 12: return "BZip2";
    case 14: return "LZMA";
    case 16: return "IBM z/OS CMPSC";
    case 18: return "IBM TERSE";
    case 19: return "IBM LZ77 z";
    case 20: case 93: return "Zstandard";
    case 94: return "MP3";
    case 95: return "XZ";
    case 96: return "JPEG";
    case 97: return "WavPack";
    case 98: return "PPMd";
    case 99: return "AES";
    default: return "method " + std::to_string(method);
  }
}

namespace {

void CopyStored(TByteInput& in, TDecodeOutput& out) {
  while (in.Next != in.End || in.Refill()) {
    out.Write(in.Next, static_cast<size_t>(in.End - in.Next));
    in.Next = in.End;
  }
}

}  // namespace

TExpandResult ExpandZipData(const TZipDecodeEntry& entry, TDecodeSource& source,
                            TDecodeSink& sink, const TDecodeControl& control) {
  TExpandResult result;
  int64_t packed = entry.PackedSize;
  if (entry.Flag & 1) packed -= 12;
  packed = std::max<int64_t>(packed, 0);

  TByteInput in(source, packed, control);
  TDecodeOutput out(sink, entry.UnpackedSize, control);
  // The decoder's own buffers, kept here so that what was decoded is written out after an error.
  std::optional<TOutWindow> window;
  std::optional<TInflater> inflater;
  try {
    switch (entry.Method) {
      case 0:
        CopyStored(in, out);
        break;
      case 1:
        window.emplace(out);
        TUnshrinker(in, *window).Run();
        break;
      case 2: case 3: case 4: case 5:
        window.emplace(out);
        TUnreducer(in, *window, static_cast<int>(entry.Method) - 1, entry.UnpackedSize).Run();
        break;
      case 6:
        window.emplace(out);
        TExploder(in, *window, entry.Flag, entry.UnpackedSize).Run();
        break;
      case 8:
        inflater.emplace(in, out);
        inflater->Run();
        break;
      default:
        throw E_RAISE(kMsgUnsupportedMethod, std::string(MessageText(kMsgUnsupportedMethod)) +
                                                 ": " + ZipMethodName(entry.Method) + " (" +
                                                 std::to_string(entry.Method) + ")");
    }
    if (window) window->Flush();
  } catch (const E_RAISE& e) {
    result.Code = e.Code;
    result.Message = e.what();
  } catch (const std::bad_alloc&) {
    result.Code = kMsgOutOfMemory;
    result.Message = std::string(MessageText(kMsgOutOfMemory));
  } catch (...) {
    // Something the source, sink or a hook threw: reported as a stream failure.
    result.Code = kMsgStreamError;
    result.Message = std::string(MessageText(kMsgStreamError));
  }
  if (result.Code != 0) {
    // Write out what was decoded before the failure (unless writing itself failed).
    try {
      if (result.Code != kMsgWriteError && result.Code != kMsgUserAborted) {
        if (window) window->Flush();
        if (inflater) inflater->FlushPending();
      }
    } catch (...) {
    }
  }
  result.PackedRead = in.Fetched();
  result.Written = out.Written();
  return result;
}

}  // namespace quil
