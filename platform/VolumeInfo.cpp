// Linux volume source: the mount table (/proc/self/mounts) decides which volume holds a path,
// statvfs gives names and free space, /sys/dev/block tells removable disks and CD-ROMs apart,
// /dev/disk/by-label and /dev/disk/by-uuid give the label and the serial number.
#include "platform/VolumeInfo.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace quil {
namespace {

struct MountEntry {
  std::string Device;
  std::string MountPoint;
  std::string FsType;
};

// The mount table escapes blanks, tabs, newlines and backslashes as \ooo.
std::string UnescapeOctal(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    auto oct = [](char c) { return c >= '0' && c <= '7'; };
    if (s[i] == '\\' && i + 3 < s.size() && oct(s[i + 1]) && oct(s[i + 2]) && oct(s[i + 3])) {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

// udev escapes label characters outside [A-Za-z0-9#+-.:=@_] as \xNN.
std::string UnescapeHex(const std::string& s) {
  std::string out;
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && hex(s[i + 2]) >= 0 &&
        hex(s[i + 3]) >= 0) {
      out += static_cast<char>(hex(s[i + 2]) * 16 + hex(s[i + 3]));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<MountEntry> ReadMounts() {
  std::vector<MountEntry> mounts;
  std::ifstream in("/proc/self/mounts");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    MountEntry e;
    if (!(ls >> e.Device >> e.MountPoint >> e.FsType)) continue;
    e.Device = UnescapeOctal(e.Device);
    e.MountPoint = UnescapeOctal(e.MountPoint);
    mounts.push_back(std::move(e));
  }
  return mounts;
}

// The nearest existing folder of `path` (made absolute), with symbolic links resolved.
std::string NearestExisting(const std::string& path) {
  std::string p = path;
  if (p.empty() || p[0] != '/') {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return {};
    p = std::string(cwd) + "/" + p;
  }
  while (true) {
    char real[PATH_MAX];
    if (::realpath(p.c_str(), real)) return real;
    size_t slash = p.find_last_of('/');
    if (slash == std::string::npos || p == "/") return {};
    p = slash == 0 ? "/" : p.substr(0, slash);
  }
}

bool IsUnder(const std::string& path, const std::string& root) {
  if (root == "/") return true;
  return path.compare(0, root.size(), root) == 0 &&
         (path.size() == root.size() || path[root.size()] == '/');
}

std::string ReadLine(const std::string& file) {
  std::ifstream in(file);
  std::string s;
  std::getline(in, s);
  return s;
}

// The /sys folder of the whole disk that holds block device `rdev` (a partition walks up to its
// disk).
std::string SysDiskOf(dev_t rdev) {
  char link[64];
  std::snprintf(link, sizeof link, "/sys/dev/block/%u:%u", major(rdev), minor(rdev));
  char real[PATH_MAX];
  if (!::realpath(link, real)) return {};
  std::string dir = real;
  struct stat st;
  if (::stat((dir + "/partition").c_str(), &st) == 0) dir = dir.substr(0, dir.find_last_of('/'));
  return dir;
}

// The entry of /dev/disk/<folder> that points at block device `rdev`, unescaped; empty if none.
std::string DiskLinkName(const char* folder, dev_t rdev) {
  std::string base = std::string("/dev/disk/") + folder;
  DIR* d = ::opendir(base.c_str());
  if (!d) return {};
  std::string found;
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.') continue;
    struct stat st;
    if (::stat((base + "/" + e->d_name).c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
        st.st_rdev == rdev) {
      found = UnescapeHex(e->d_name);
      break;
    }
  }
  ::closedir(d);
  return found;
}

// A FAT serial reads "ABCD-1234"; other file systems give a long UUID: its first 8 hex digits.
uint32_t SerialFromUuid(const std::string& uuid) {
  uint32_t v = 0;
  int digits = 0;
  for (char c : uuid) {
    int h = (c >= '0' && c <= '9') ? c - '0'
            : (c >= 'a' && c <= 'f') ? c - 'a' + 10
            : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
    if (h < 0) continue;
    v = (v << 4) | static_cast<uint32_t>(h);
    if (++digits == 8) break;
  }
  return v;
}

bool IsRemoteFs(const std::string& fs) {
  static const char* const kRemote[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "ceph",
                                        "glusterfs", "afs", "fuse.sshfs", "davfs", "fuse.rclone"};
  for (const char* r : kRemote)
    if (fs == r) return true;
  return false;
}

class MountTableSource : public IVolumeSource {
 public:
  std::string VolumeRootOf(const std::string& path) override {
    std::string real = NearestExisting(path);
    if (real.empty()) return {};
    std::string best;
    for (const MountEntry& m : ReadMounts())
      if (IsUnder(real, m.MountPoint) && m.MountPoint.size() >= best.size()) best = m.MountPoint;
    return best.empty() ? "/" : best;
  }

  bool Query(const std::string& root, TVolumeInfo& info, std::string& error) override {
    info = TVolumeInfo{};
    info.MountPoint = root;
    struct statvfs vs;
    if (root.empty() || ::statvfs(root.c_str(), &vs) != 0) {
      error = std::strerror(root.empty() ? ENOENT : errno);
      return false;
    }
    // The last mount on a folder is the visible one.
    MountEntry mount;
    for (const MountEntry& m : ReadMounts())
      if (m.MountPoint == root) mount = m;
    info.FileSystemName = mount.FsType;
    info.MaxComponentLength = static_cast<uint32_t>(vs.f_namemax);
    info.FileSystemFlags = static_cast<uint32_t>(vs.f_flag);
    uint64_t unit = vs.f_frsize ? vs.f_frsize : vs.f_bsize;
    if (unit >= 512 && unit % 512 == 0) {
      info.BytesPerSector = 512;
      info.SectorsPerCluster = static_cast<uint32_t>(unit / 512);
    } else {
      info.BytesPerSector = static_cast<uint32_t>(unit);
      info.SectorsPerCluster = 1;
    }
    info.TotalClusters = vs.f_blocks;
    info.FreeClusters = vs.f_bavail;
    info.TotalBytes = static_cast<uint64_t>(vs.f_blocks) * unit;
    info.FreeBytes = static_cast<uint64_t>(vs.f_bavail) * unit;

    struct stat rootSt;
    bool haveRoot = ::stat(root.c_str(), &rootSt) == 0;
    info.Serial = haveRoot ? static_cast<uint32_t>(rootSt.st_dev ^ (rootSt.st_dev >> 32)) : 0;

    struct stat devSt;
    bool block = !mount.Device.empty() && mount.Device[0] == '/' &&
                 ::stat(mount.Device.c_str(), &devSt) == 0 && S_ISBLK(devSt.st_mode);
    if (IsRemoteFs(mount.FsType)) {
      info.DriveType = dtRemote;
    } else if (mount.FsType == "tmpfs" || mount.FsType == "ramfs") {
      info.DriveType = dtRAMDisk;
    } else if (mount.FsType == "iso9660" || mount.FsType == "udf") {
      info.DriveType = dtCDROM;
    } else {
      info.DriveType = dtFixed;
    }
    if (block) {
      std::string disk = SysDiskOf(devSt.st_rdev);
      std::string name = disk.substr(disk.find_last_of('/') + 1);
      if (!disk.empty() && (name.rfind("sr", 0) == 0 || ReadLine(disk + "/device/type") == "5"))
        info.DriveType = dtCDROM;
      else if (!disk.empty() && ReadLine(disk + "/removable") == "1")
        info.DriveType = dtRemovable;
      info.Label = DiskLinkName("by-label", devSt.st_rdev);
      std::string uuid = DiskLinkName("by-uuid", devSt.st_rdev);
      if (!uuid.empty()) info.Serial = SerialFromUuid(uuid);
    }
    return true;
  }
};

std::shared_ptr<IVolumeSource> g_source;

}  // namespace

IVolumeSource& VolumeSource() {
  static MountTableSource real;
  return g_source ? *g_source : static_cast<IVolumeSource&>(real);
}

void SetVolumeSource(std::shared_ptr<IVolumeSource> source) { g_source = std::move(source); }

}  // namespace quil
