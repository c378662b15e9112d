// RF list operations on the record (see RfListEdit.h).
#include "editors/RfListEdit.h"

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/Jitter.h"
#include "instrument/InstrumentTypes.h"

namespace {

constexpr int kPoints = kMaxRfListPoints;
// Set Length writes this point into every entry of the new list.
constexpr double kLengthFrequencyGHz = 1.0;
constexpr double kLengthLevelDbm = -30.0;
// Largest "Unique Rand" pool, values (80 MB).
constexpr double kMaxUniquePool = 10000000.0;

// Exchanges two entries (frequency and level together), 0-based.
void Swap(RfListPoints* points, int a, int b) {
  const RfListPoint pa = points->Get(a), pb = points->Get(b);
  points->Set(a, pb.frequency, pb.level);
  points->Set(b, pa.frequency, pa.level);
}

// The value of one fill entry in modes 1 and 2 (any other mode gives 0.0).
// Mode 2: a + k x s for a whole k in [0, (b - a) / s), so b itself is never
// produced and b < a gives a.
double FillValue(int mode, double a, double b, double s, RfListRandomFn random) {
  switch (mode) {
    case 1: return a;
    case 2:
      // Step 0 (the default of older projects) or b < a: every entry takes
      // the minimum.
      if (s == 0.0) return a;
      return a + s * std::trunc(random(0.0, (b - a) / s));
    default: return 0.0;
  }
}

}  // namespace

bool RfList_DeleteRow(RfListPoints* points, int row) {
  if (row < 1 || row > kPoints) return false;
  // Entry i takes entry i + 1, frequency and level together; the freed last
  // slot is 0.0 GHz / 0.0 dBm.
  for (int i = row - 1; i < kPoints - 1; ++i) {
    const RfListPoint next = points->Get(i + 1);
    points->Set(i, next.frequency, next.level);
  }
  points->Set(kPoints - 1, 0.0, 0.0);
  return true;
}

bool RfList_InsertRow(RfListPoints* points, int row) {
  // With the 10,000th row active the copy would have no slot.
  if (row < 1 || row > kPoints - 1) return false;
  // From the end backwards, so that every entry is read before it is written.
  for (int i = kPoints - 1; i > row; --i) {
    const RfListPoint prev = points->Get(i - 1);
    points->Set(i, prev.frequency, prev.level);
  }
  const RfListPoint copy = points->Get(row - 1);
  points->Set(row, copy.frequency, copy.level);
  return true;
}

// A move never carries the list's end marker (frequency 0.0) into the list:
// the entry that would move up must belong to the list.
bool RfList_MoveUp(RfListPoints* points, int row) {
  if (row < 2 || row > kPoints || points->Frequency(row - 1) == 0.0) return false;
  Swap(points, row - 2, row - 1);
  return true;
}

bool RfList_MoveDown(RfListPoints* points, int row) {
  if (row < 1 || row > kPoints - 1 || points->Frequency(row) == 0.0) return false;
  Swap(points, row - 1, row);
  return true;
}

bool RfList_SetLength(RfListPoints* points, int n) {
  if (n > kPoints) return false;
  // Only frequencies end a list: the levels after it are kept for a later
  // lengthening, and untouched default points stay unstored.
  for (int i = 0; i < kPoints; ++i) {
    if (i < n)
      points->Set(i, kLengthFrequencyGHz, kLengthLevelDbm);
    else if (points->Frequency(i) != 0.0)
      points->SetFrequency(i, 0.0);
  }
  return true;
}

int RfList_Fill(RfListRecord* list, int set, RfListRandomFn random) {
  const bool frequency = set == RFLIST_FREQUENCY;
  const int mode = frequency ? list->mode : list->mode2;
  const double a = frequency ? list->min : list->min2;
  const double b = frequency ? list->max : list->max2;
  const double s = frequency ? list->step : list->step2;
  // Mode 3 draws without replacement from the grid a, a + s, ... <= b,
  // shuffled by 2 x count random swaps (a swap may pick one slot twice).
  std::vector<double> pool;
  if (mode == 3) {
    if (s == 0.0 || a >= b) return RFLIST_FILL_NOTHING;
    // The grid's points counted as the jitter grids count them: (1.7 - 1.1)
    // / 0.1 is 5.999999999999998, which still makes seven points. A negative
    // step gives none; a pool beyond kMaxUniquePool values (a step far below
    // the fields' 0.001) is refused like one that cannot be allocated.
    const uint64_t points = GridValues(b - a, s);
    if (points == 0 || points > static_cast<uint64_t>(kMaxUniquePool)) return RFLIST_FILL_NOTHING;
    const int count = static_cast<int>(points);
    pool.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) pool[static_cast<std::size_t>(i)] = a + i * s;
    // A grid that ends at b holds b itself, not a + N x s a rounding beside
    // it (which an upper limit of b would reject).
    double& last = pool.back();
    if (std::fabs(last - b) <= 1e-6 * s) last = b;
    for (int k = 0; k < 2 * count; ++k) {
      const int j = static_cast<int>(std::trunc(random(0.0, count)));
      const int m = static_cast<int>(std::trunc(random(0.0, count)));
      if (j >= 0 && j < count && m >= 0 && m < count)
        std::swap(pool[static_cast<std::size_t>(j)], pool[static_cast<std::size_t>(m)]);
    }
  }
  // The frequency column decides the length in both fills; a frequency fill
  // that writes 0.0 ends the list at that entry.
  for (int i = 0; i < kPoints; ++i) {
    if (list->points.Frequency(i) == 0.0) break;
    double value = 0.0;
    if (mode == 3) {
      if (i >= static_cast<int>(pool.size())) return RFLIST_FILL_POOL_SHORT;
      value = pool[static_cast<std::size_t>(i)];
    } else {
      value = FillValue(mode, a, b, s, random);
    }
    if (frequency)
      list->points.SetFrequency(i, value);
    else
      list->points.SetLevel(i, value);
  }
  return RFLIST_FILL_DONE;
}

bool RfList_InLimits(const RfListRecord& list, int entry) {
  const RfListPoint p = list.points.Get(entry);
  return p.frequency >= list.limMin && p.frequency <= list.limMax && p.level >= list.limMin2 &&
         p.level <= list.limMax2;
}

// A name is taken as complete when it is absolute for the instrument's file
// system: a leading '/' there, a leading '\\', a drive ("E:...") or a bare
// drive letter of one or two characters on drive-style instruments.
std::string RfList_RemotePath(const char* remoteFile, bool unixPaths, const char* linuxDir, const char* windowsDir) {
  const std::string name = remoteFile != nullptr ? remoteFile : "";
  const char separator = unixPaths ? '/' : '\\';
  bool asIs = false;
  if (unixPaths)
    asIs = !name.empty() && name[0] == '/';
  else
    asIs = (!name.empty() && name[0] == '\\') || name.size() <= 2 || name[1] == ':';
  if (asIs) return name.substr(0, 1023);
  std::string dir = (unixPaths ? linuxDir : windowsDir) != nullptr ? (unixPaths ? linuxDir : windowsDir) : "";
  dir = dir.substr(0, 255);
  if (!dir.empty() && dir.back() == separator) dir.pop_back();
  return dir + separator + name;
}

// The two instrument families without a list mode; INSTR_LUMBRIX is also the
// type the capabilities hold while no instrument is selected.
bool RfList_TransferDimmed(const RfListRecord& list, int instrumentType) {
  return list.remoteFile.empty() || instrumentType == INSTR_LUMBRA || instrumentType == INSTR_LUMBRIX;
}
