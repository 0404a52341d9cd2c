#include "platform/mountinfo.h"

#include <limits.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/drives.h"

namespace ostrel {

namespace {

// A field with its octal escapes (a space is \040) undone.
std::string Unescaped(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && std::isdigit(static_cast<unsigned char>(field[i + 1]))) {
      out += static_cast<char>(std::strtol(field.substr(i + 1, 3).c_str(), nullptr, 8));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

}  // namespace

std::vector<TMountInfo> ReadMountInfo() {
  std::vector<TMountInfo> mounts;
  std::ifstream file("/proc/self/mountinfo");
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream in(line);
    TMountInfo m;
    std::string numbers, root, point, word;
    unsigned major = 0, minor = 0;
    if (!(in >> m.Id >> m.Parent >> numbers >> root >> point)) continue;
    if (std::sscanf(numbers.c_str(), "%u:%u", &major, &minor) != 2) continue;
    while (in >> word && word != "-") {
    }
    std::string type, source;
    if (!(in >> type >> source)) continue;
    m.Device = makedev(major, minor);
    m.Root = Unescaped(root);
    m.Point = Unescaped(point);
    m.Type = type;
    m.Source = Unescaped(source);
    mounts.push_back(std::move(m));
  }
  return mounts;
}

bool Within(const std::string& inner, const std::string& outer) {
  if (outer == "/") return true;
  return inner.compare(0, outer.size(), outer) == 0 && (inner.size() == outer.size() || inner[outer.size()] == '/');
}

std::string InsidePath(const TMountInfo& mount, const std::string& hostPath) {
  std::string rest = mount.Point == "/" ? hostPath : hostPath.substr(mount.Point.size());
  std::string inside = mount.Root;
  if (!inside.empty() && inside.back() == '/' && !rest.empty() && rest.front() == '/') inside.pop_back();
  return inside + rest;
}

std::string NotLocal(dev_t number) {
  const std::string sys = "/sys/dev/block/" + std::to_string(major(number)) + ":" + std::to_string(minor(number));
  char target[PATH_MAX];
  const ssize_t n = readlink(sys.c_str(), target, sizeof target - 1);
  if (n <= 0) return {};
  target[n] = '\0';
  const std::string name = std::strrchr(target, '/') ? std::strrchr(target, '/') + 1 : target;
  if (name.rfind("nbd", 0) == 0 || name.rfind("rbd", 0) == 0) return "'" + name + "' is a network device";
  std::ifstream backing(sys + "/loop/backing_file");
  std::string file;
  if (std::getline(backing, file) && !file.empty() && DriveTypeOfPath(file.c_str()) == DriveRemote)
    return "'" + name + "' is a loop device over the network file '" + file + "'";
  return {};
}


}  // namespace ostrel
