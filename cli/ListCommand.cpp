// quil l ARCHIVE [SPEC...]: lists an archive through the lister. A readable table with a totals
// line, or with --tsv one tab-separated line per entry: Name Size Packed CRC Method Modified.
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "engine/core/Messages.h"
#include "engine/list/ZuvOD.h"

namespace quil::cli {
namespace {

// Collects output in a large buffer and writes it in big blocks.
class TOut {
 public:
  ~TOut() { Flush(); }
  void Add(const char* s, size_t n) {
    if (FBuf.size() + n > kBlock) Flush();
    FBuf.append(s, n);
  }
  void Add(const std::string& s) { Add(s.data(), s.size()); }
  void Add(const char* s) { Add(s, std::strlen(s)); }
  void Add(char c) { Add(&c, 1); }
  void Flush() {
    if (!FBuf.empty()) std::fwrite(FBuf.data(), 1, FBuf.size(), stdout);
    FBuf.clear();
  }

 private:
  static constexpr size_t kBlock = 1 << 18;
  std::string FBuf;
};

// Formats that store no checksum: their CRC column stays empty.
bool StoresCrc(TArcType t) { return t != atTar && t != atMsGZ && t != atUue && t != atCab; }

// Of the GZIP family only gzip itself stores a checksum; compress, pack and LZH-compressed files
// don't.
bool EntryHasCrc(TArcType t, const TEntryInfo& e) {
  return t != atGZip || e.MethodName == "Deflate" || e.MethodName == "Stored";
}

// Writes `v` as `width` decimal digits with leading zeros.
char* PutDigits(char* p, int64_t v, int width) {
  for (int i = width - 1; i >= 0; --i) {
    p[i] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  return p + width;
}

// "YYYY-MM-DD HH:MM:SS" (19 characters) of a date-time (days since 30 December 1899).
void FormatDate(TDateTime dt, char out[19]) {
  int64_t secs = static_cast<int64_t>(std::llround(dt * 86400.0));
  int64_t days = secs >= 0 ? secs / 86400 : (secs - 86399) / 86400;
  int64_t rem = secs - days * 86400;
  // Days since 1970-01-01, then the civil date (proleptic Gregorian).
  int64_t z = days - 25569 + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  int64_t y = yoe + era * 400 + (m <= 2);
  if (y < 0 || y > 9999) y = 0;
  char* p = PutDigits(out, y, 4);
  *p++ = '-';
  p = PutDigits(p, m, 2);
  *p++ = '-';
  p = PutDigits(p, d, 2);
  *p++ = ' ';
  p = PutDigits(p, rem / 3600, 2);
  *p++ = ':';
  p = PutDigits(p, rem / 60 % 60, 2);
  *p++ = ':';
  PutDigits(p, rem % 60, 2);
}

void AddInt(TOut& o, int64_t v) {
  char b[24];
  auto r = std::to_chars(b, b + sizeof b, v);
  o.Add(b, static_cast<size_t>(r.ptr - b));
}

void AddCrc(TOut& o, uint32_t crc) {
  static const char kHex[] = "0123456789ABCDEF";
  char b[8];
  for (int i = 7; i >= 0; --i, crc >>= 4) b[i] = kHex[crc & 15];
  o.Add(b, 8);
}

std::string AttrText(uint32_t a) {
  std::string s = ".....";
  if (a & 0x10) s[0] = 'D';
  if (a & 0x01) s[1] = 'R';
  if (a & 0x02) s[2] = 'H';
  if (a & 0x04) s[3] = 'S';
  if (a & 0x20) s[4] = 'A';
  return s;
}

int Usage() {
  std::fprintf(stderr, "usage: quil l [--tsv] [--dirs] [-x SPEC]... ARCHIVE [SPEC...]\n");
  return kExitUsage;
}

int RunList(const std::vector<std::string>& args) {
  bool tsv = false, dirs = false, options = true;
  std::vector<std::string> excludes, specs;
  std::string archive;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options && a == "--") {
      options = false;
    } else if (options && a == "--tsv") {
      tsv = true;
    } else if (options && a == "--dirs") {
      dirs = true;
    } else if (options && a == "-x") {
      if (i + 1 >= args.size()) return Usage();
      excludes.push_back(args[++i]);
    } else if (options && a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "quil l: unknown option '%s'\n", a.c_str());
      return kExitUsage;
    } else if (archive.empty()) {
      archive = a;
    } else {
      specs.push_back(a);
    }
  }
  if (archive.empty()) return Usage();
  if (specs.empty()) specs.push_back("*");

  TZuvOD z;
  z.SetArchiveFile(archive);
  z.SetFileSpec(specs);
  z.SetExcludeSpec(excludes);
  z.SetShowBlankDirs(dirs);

  int32_t lastError = 0;
  z.OnError = [&](TArcMain*, const std::string& fn, const std::string& extra, const std::string&,
                  int32_t code) {
    lastError = code;
    std::string line = MessageLine(code);
    if (!extra.empty()) line += " (" + extra + ")";
    std::fprintf(stderr, "quil: %s: %s\n", fn.empty() ? archive.c_str() : fn.c_str(),
                 line.c_str());
  };
  // Volumes next to the first are used; a missing one ends the listing with its name.
  z.OnNextVolume = [&](TArcMain*, std::string& name, const std::string&, bool exists,
                       bool& cancel) {
    cancel = !exists;
    if (!exists) {
      lastError = 25172;
      std::fprintf(stderr, "quil: %s: %s\n", name.c_str(), MessageLine(25172).c_str());
    }
  };

  TOut out;
  const bool crc = StoresCrc(z.ArcType());
  char date[40];
  char num[96];
  const char* rule = "---------- -------- ----- ---------- ---------- ----- ---------- -------- ----\n";
  bool headed = false;
  auto head = [&] {
    if (tsv || headed) return;
    headed = true;
    out.Add("Date       Time     Attr         Size     Packed Ratio Method     CRC      Name\n");
    out.Add(rule);
  };
  z.OnRead = [&](TArcMain*, int64_t, int32_t) {
    head();
    const TEntryInfo& e = z.Entry();
    FormatDate(e.FileDate, date);
    if (tsv) {
      out.Add(e.FileName);
      out.Add('\t');
      AddInt(out, e.UnpackedSize);
      out.Add('\t');
      AddInt(out, e.PackedSize);
      out.Add('\t');
      if (crc && EntryHasCrc(z.ArcType(), e)) AddCrc(out, e.CRC);
      out.Add('\t');
      out.Add(e.MethodName);
      out.Add('\t');
      out.Add(date, 19);
      out.Add('\n');
      return;
    }
    int n = std::snprintf(num, sizeof num, " %s %10" PRId64 " %10" PRId64 " %4u%% %-10s ",
                          AttrText(e.ExternalAttr).c_str(), e.UnpackedSize, e.PackedSize,
                          static_cast<unsigned>(e.Ratio), e.MethodName.c_str());
    out.Add(date, 19);
    out.Add(num, static_cast<size_t>(n));
    if (crc && EntryHasCrc(z.ArcType(), e)) {
      n = std::snprintf(num, sizeof num, "%08" PRIX32 " ", e.CRC);
      out.Add(num, static_cast<size_t>(n));
    } else {
      out.Add("         ");
    }
    out.Add(e.FileName);
    out.Add('\n');
  };
  bool ok = z.Activate();
  if (!tsv && (ok || headed)) {
    head();
    out.Add(rule);
    int n = std::snprintf(num, sizeof num, "%26" PRId64 " %10" PRId64 " %4u%% ",
                          z.TotalUnpackedSize(), z.TotalPackedSize(),
                          static_cast<unsigned>(RatioOf(z.TotalPackedSize(), z.TotalUnpackedSize())));
    out.Add(num, static_cast<size_t>(n));
    AddInt(out, z.FileCount());
    out.Add(z.FileCount() == 1 ? " file\n" : " files\n");
  }
  out.Flush();
  std::fflush(stdout);
  if (lastError == 25302) return kExitWarning;
  if (!ok || lastError != 0) return kExitError;
  return kExitOk;
}

const Registrar kList({"l", "[--tsv] [--dirs] [-x SPEC]... ARCHIVE [SPEC...]   list the entries", 20,
                       RunList});

}  // namespace
}  // namespace quil::cli
