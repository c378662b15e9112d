// Reading back what the system-call recorder (syscalls/SyscallRecorder.cpp)
// wrote, and checking the order in which a writer brought a file to the
// disk: the new bytes written and flushed, the rename over the old file,
// the folder flushed after it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace cz::test {

struct SyscallEvent {
  char kind = 0;     // 'S' flush, 'R' rename
  bool dir = false;  // a flush of a folder
  int64_t size = 0;  // a flushed file's size then
  std::string path;  // the flushed file, or the rename's source
  std::string to;    // the rename's target
};

inline std::vector<SyscallEvent> ReadSyscallLog(const std::string& logPath) {
  std::vector<SyscallEvent> events;
  std::ifstream in(logPath);
  std::string line;
  while (std::getline(in, line)) {
    SyscallEvent e;
    e.kind = line.empty() ? 0 : line[0];
    if (e.kind == 'S') {
      const std::size_t kindEnd = line.find(' ', 2), sizeEnd = line.find(' ', kindEnd + 1);
      if (sizeEnd == std::string::npos) continue;
      e.dir = line.compare(2, kindEnd - 2, "dir") == 0;
      e.size = std::strtoll(line.c_str() + kindEnd + 1, nullptr, 10);
      e.path = line.substr(sizeEnd + 1);
    } else if (e.kind == 'R') {
      const std::size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      e.path = line.substr(2, tab - 2);
      e.to = line.substr(tab + 1);
    } else {
      continue;
    }
    events.push_back(e);
  }
  return events;
}

// How a kept file reaches the disk.
enum class DiskOrder {
  FlushRenameFlushFolder,  // write, flush, rename over the target, flush the folder
  RenameThenFlush,         // write, rename, then flush the file and the folder
  AppendFlush,             // appended in place, then flushed
};

// What is wrong in events for the file `target` (a real path) that ends
// `size` bytes long; "" when it came to the disk in `order`.
inline std::string DiskOrderFault(const std::vector<SyscallEvent>& events, const std::string& target, int64_t size,
                                  DiskOrder order) {
  const std::string folder = target.substr(0, target.rfind('/'));
  auto flushed = [&](const std::string& path, bool dir, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to && i < events.size(); ++i)
      if (events[i].kind == 'S' && events[i].dir == dir && events[i].path == path && (dir || events[i].size == size))
        return true;
    return false;
  };
  if (order == DiskOrder::AppendFlush)
    return flushed(target, false, 0, events.size()) ? "" : "the appended bytes are never flushed";
  std::size_t r = events.size();
  for (std::size_t i = 0; i < events.size(); ++i)
    if (events[i].kind == 'R' && events[i].to == target) r = i;
  if (r == events.size()) return "nothing is renamed over the file";
  if (order == DiskOrder::FlushRenameFlushFolder && !flushed(events[r].path, false, 0, r))
    return "the new bytes are not flushed before the rename of '" + events[r].path + "'";
  if (order == DiskOrder::RenameThenFlush && !flushed(target, false, r + 1, events.size()))
    return "the new bytes are never flushed after the rename";
  if (!flushed(folder, true, r + 1, events.size())) return "the folder is not flushed after the rename";
  return "";
}

}  // namespace cz::test
