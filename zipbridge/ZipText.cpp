#include "zipbridge/ZipText.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace quil {

namespace {

struct Entry {
  int Id;
  const char* Text;
};

// Sorted by id.
const Entry kTable[] = {
    {10101, "Fatal Error in libqzip.so: abort exception"},
    {10102, "Error - no zip file specified!"},
    {10103, "Requested memory not available"},
    {10104, "Error - passwords do NOT match\nPassword ignored"},
    {10105, "Copying: "},
    {10140, "Error while copying the SFX header"},
    {10141, "Rename is not implemented for a spanned zip file"},
    {10142, "Processing: "},
    {10143, " renamed to: "},
    {10150, "Error - no add password given"},
    {10151, "Error - no extract password given"},
    {10152, "&Ok"},
    {10153, "&Cancel"},
    {10154, "Password"},
    {10155, "Enter Password "},
    {10156, "Confirm Password "},
    {10201, "Seek error reading Zip archive!"},
    {10202, "Unknown error in List() function\n"},
    {10203, "Warning - Error in zip structure!"},
    {10204, "Warning - Garbage at the end of the zipfile!"},
    {10301, "Error - no files to zip!"},
    {10302, "Unattended action not possible without a password"},
    {10303, "AddFreshen or AddUpdate not possible on a spanned archive"},
    {10304, "Error %.1d occurred during Auto SFX creation."},
    {10401, "Error - no files selected for deletion"},
    {10501, "Fatal Error in libqunzip.so: abort exception"},
    {10502, "Warning - Unattended Extract: possible not all files extracted"},
    {10601, "ZIP DLL Loaded"},
    {10602, "QZipExec function not found in libqzip.so!"},
    {10603, "GetQZipVersion function not found in libqzip.so!"},
    {10604, "libqzip.so not found!"},
    {10701, "libqunzip.so Loaded!"},
    {10702, "QUnzipExec function not found in libqunzip.so!"},
    {10703, "GetQUnzipVersion function not found in libqunzip.so!"},
    {10704, "libqunzip.so not found!"},
    {10801, "Error - On or more of the 4 property strings mentioned below exceeds 255 characters!"},
    {10802, "Error - QUILSFX.BIN not found!"},
    {10901, "Error - no .EXE file specified"},
    {10902, "Error: input file is not an .EXE file"},
    {10903, "Error determining the type of SFX archive"},
    {11001, "Input file does not exist"},
    {11002, "Zip file could not be opened"},
    {11003, "Not a valid drive: %s"},
    {11004, "Drive %s is NOT defined"},
    {11005, "Volume label could not be set"},
    {11006, "Not enough memory to display MsgBox"},
    {11007, "User canceled operation"},
    {11008, "Seek error in input file"},
    {11009, "Creation of output file failed"},
    {11010, "Write error in output file"},
    {11011, "Error while reading the End Of Central Directory"},
    {11012, "Error while reading a local header"},
    {11013, "Error while reading a central header"},
    {11014, "A local header signature is wrong"},
    {11015, "A central header signature is wrong"},
    {11016, "Error while reading a local file name"},
    {11017, "Error while reading a central file name"},
    {11018, "Error while reading a local extra field"},
    {11019, "Error while reading a central extra field"},
    {11020, "Error while reading/writing a data descriptor area"},
    {11021, "Error while reading zipped data"},
    {11022, "Error while reading a file comment"},
    {11023, "Error while reading the archive comment"},
    {11024, "UnKnown error in function ReadSpan(), WriteSpan(), Rename() or CopyZippedFiles()\n"},
    {11025, "Unattended disk spanning not implemented"},
    {11026, "A local header not found in internal structure"},
    {11027, "Temporary file could not be created"},
    {11028, "Error while writing a local header"},
    {11029, "Error while writing a central header"},
    {11030, "Error while writing the End Of Central Directory"},
    {11031, "Error while reading a Extended Local signature"},
    {11032, "This disk has not enough free space available"},
    {11033, "Please insert last disk"},
    {11034, "Please insert disk volume %.1d of %.1d"},
    {11035, "\nin drive: %s"},
    {11036, "This archive is not a valid Zip archive"},
    {11037, "This is the first disk in a backup set,\nplease insert the last disk of this set"},
    {11038, "This is the %dth disk in a backup set,\nplease insert the last disk of this set"},
    {11039, "There is already a file %s\nDo you want to overwrite this file"},
    {11040,
     "ATTENTION: This is previous disk no %d!!!\nAre you sure you want to overwrite the contents"},
    {11041, "Error - Self extracting archives(.exe) can not be spanned"},
    {11042, "Error while copying a filename of a CEH structure"},
    {11043, "Seek error while skipping a EOC structure"},
    {11044, "Error while copying the zip archive comment"},
    {11045, "This is the first file in a backup set,\nplease choose the last file of this set"},
    {11046, "Please insert disk volume %.1d"},
    {11047, "Central directory"},
};

}  // namespace

std::optional<std::string> ZipTextLookup(int id) {
  auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                             [](const Entry& e, int v) { return e.Id < v; });
  if (it == std::end(kTable) || it->Id != id) return std::nullopt;
  return std::string(it->Text);
}

std::string ZipTextFallback(int id) {
  return "ZipText.res is probably not linked to the executable\nMissing String ID is: " +
         std::to_string(id);
}

std::string ZipText(int id) {
  auto t = ZipTextLookup(id);
  return t ? *t : ZipTextFallback(id);
}

std::string ZipTextOrEmpty(int id) { return ZipTextLookup(id).value_or(std::string()); }

std::string ZipTextFormat(int id, const std::string& arg) {
  auto t = ZipTextLookup(id);
  if (!t) return ZipTextFallback(id);
  std::string out, fmt = *t;
  size_t at = fmt.find("%s");
  if (at == std::string::npos) return fmt;
  return fmt.substr(0, at) + arg + fmt.substr(at + 2);
}

std::string ZipTextFormat(int id, int64_t a) { return ZipTextFormat(id, a, INT64_MIN); }

std::string ZipTextFormat(int id, int64_t a, int64_t b) {
  auto t = ZipTextLookup(id);
  if (!t) return ZipTextFallback(id);
  // The table's integer forms: "%d", "%.1d" (at least one digit: the same for integers).
  std::string out;
  const std::string& f = *t;
  int used = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] == '%' && i + 1 < f.size()) {
      size_t j = i + 1;
      if (f.compare(j, 2, ".1") == 0) j += 2;
      if (j < f.size() && f[j] == 'd') {
        int64_t v = used == 0 ? a : b;
        if (used == 1 && b == INT64_MIN) v = 0;
        out += std::to_string(v);
        ++used;
        i = j;
        continue;
      }
    }
    out += f[i];
  }
  return out;
}

}  // namespace quil
