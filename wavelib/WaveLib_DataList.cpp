// Data-list and control-list writers: symbol data and the eight control
// traces (markers, burst, level attenuation, CW mode, hop) of the
// instrument's digital modulation, from memory or from temporary files.
#include <cstring>
#include <string>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "platform/CLocale.h"
#include "wavelib/WaveLib.h"
#include "wavelib/WaveLib_Periphery.h"

namespace {

// Buffer slots of the temporary files (fixed by the callers).
constexpr int kDataSlot = 0;
constexpr int kMarkerSlot = 3;

// Bytes taken from a slot's read buffer per call.
constexpr int32_t kChunkBytes = 1 << 16;

const char* TextOrEmpty(const char* s) { return s ? s : ""; }

// "{COMMENT: %s}{COPYRIGHT: %s}" (both always, blank behind the colon) and
// the DATE tag.
void WriteTextTags(WavePartFile& out, const char* comment, const char* copyright) {
  out.WriteText(WaveLib_TextTag("COMMENT: ", TextOrEmpty(comment)).c_str());
  out.WriteText(WaveLib_TextTag("COPYRIGHT: ", TextOrEmpty(copyright)).c_str());
  char date[64];
  WaveLib_FormatDateTag(date, sizeof date);
  out.WriteText(date);
}

int CopyDataFromFile(WavePartFile& out, uint32_t byteCount) {
  wavelib_detail::PercentProgress progress(byteCount);
  for (uint32_t done = 0; done < byteCount;) {
    const uint32_t want = byteCount - done < static_cast<uint32_t>(kChunkBytes) ? byteCount - done : kChunkBytes;
    const unsigned char* data = nullptr;
    const int32_t got = _ReadBytesInPlace(kDataSlot, static_cast<int32_t>(want), &data);
    if (got <= 0) {
      Log_Message(1, "*** Error reading data list entry from temporary file.");
      return 0;
    }
    progress.Reach(done + static_cast<uint32_t>(got));
    out.Write(data, static_cast<std::size_t>(got));
    // A file cut while its data was used: the lost bytes read as zeros.
    if (!ReadBufIntact(kDataSlot)) {
      Log_Message(1, "*** Error reading data list entry from temporary file.");
      return 0;
    }
    done += static_cast<uint32_t>(got);
  }
  return 1;
}

struct ControlListRow {
  const char* openTag;
  unsigned mask;
};

// The eight lists in file order, one per bit of the control byte.
const ControlListRow kControlLists[8] = {
    {"{MARKER LIST 1: ", 0x01}, {"{MARKER LIST 2: ", 0x02}, {"{MARKER LIST 3: ", 0x04},
    {"{MARKER LIST 4: ", 0x08}, {"{BURST LIST: ", kControlBurst}, {"{LEVATT LIST 1: ", kControlLevelAtt},
    {"{CW MODE LIST: ", kControlCwMode}, {"{HOP LIST: ", kControlHop},
};

enum class ControlSource { None, Memory, File, Both };

// One list from the marker file, which the slot reads from its beginning.
int ControlListFromFile(WaveRunListWriter& list, uint32_t length) {
  for (uint32_t done = 0; done < length;) {
    const uint32_t want = length - done < static_cast<uint32_t>(kChunkBytes) ? length - done : kChunkBytes;
    const unsigned char* data = nullptr;
    const int32_t got = _ReadBytesInPlace(kMarkerSlot, static_cast<int32_t>(want), &data);
    if (got <= 0) {
      Log_Message(1, "*** Error reading marker entry from temporary file.");
      return 0;
    }
    list.Feed(data, static_cast<std::size_t>(got));
    if (!ReadBufIntact(kMarkerSlot)) {
      Log_Message(1, "*** Error reading marker entry from temporary file.");
      return 0;
    }
    done += static_cast<uint32_t>(got);
  }
  return 1;
}

}  // namespace

int WaveLib_WriteDataList(const DataListDescriptor* d, const char* path, FILE* tempDataFile) {
  Log_Message(3, "Creating data list file ", path ? path : "", " ...");
  if (d == nullptr || d->byteCount == 0) {
    Log_Message(1, "*** Error: Number of points cannot be zero.");
    return 0;
  }
  if (path == nullptr || path[0] == '\0') {
    Log_Message(1, "*** Error: Destination file name cannot be empty.");
    return 0;
  }
  wavelib_detail::BoundSlot slot;
  if (tempDataFile) {
    if (!slot.Bind(kDataSlot, tempDataFile, 1, 0)) {
      Log_Message(1, "*** Cannot setup buffer for temporary data list file.");
      return 0;
    }
    char tag[3];
    if (ReadBytes(kDataSlot, 3, tag) != 3) {
      Log_Message(1, "*** Error reading from temporary data list file.");
      return 0;
    }
    if (std::memcmp(tag, "DLB", 3) != 0) {
      Log_Message(1, "*** Error: Temporary data list file has wrong format.");
      return 0;
    }
  }
  WaveLib_Progress(0);
  WavePartFile out;
  if (!out.Open(path)) {
    Log_Message(1, "*** Error opening output file.");
    return 0;
  }
  out.WriteText("{TYPE: Kaldra-DL,0}");
  WriteTextTags(out, d->comment, d->copyright);
  out.WriteText(cz::FormatC("{DATA BITLENGTH: %lu}", static_cast<unsigned long>(d->bitLength)).c_str());
  out.WriteText(cz::FormatC("{DATA LIST-%lu: #", static_cast<unsigned long>(d->byteCount) + 1).c_str());
  if (d->data && !tempDataFile) {
    out.Write(d->data, d->byteCount);
  } else if (!d->data && tempDataFile) {
    if (!CopyDataFromFile(out, d->byteCount)) return 0;
  }
  out.WriteText("}");
  WaveLib_Progress(100);
  slot.Release();
  if (!out.Commit()) {
    Log_Message(3, "*** Error writing output file '", path, "'.");
    return 0;
  }
  return 1;
}

int WaveLib_WriteControlList(const ControlListDescriptor* d, const char* path, FILE* tempMarkerFile) {
  Log_Message(3, "Creating control list file ", path ? path : "", "...");
  if (d == nullptr || d->length == 0) {
    Log_Message(1, "*** Error: Number of points cannot be zero.");
    return 0;
  }
  if (path == nullptr || path[0] == '\0') {
    Log_Message(1, "*** Error: Destination file name cannot be empty.");
    return 0;
  }
  wavelib_detail::BoundSlot slot;
  if (tempMarkerFile) {
    if (!slot.Bind(kMarkerSlot, tempMarkerFile, 1, 0)) {
      Log_Message(1, "*** Cannot setup buffer for temporary marker file.");
      return 0;
    }
  }
  ControlSource source = ControlSource::None;
  if (d->control) source = tempMarkerFile ? ControlSource::Both : ControlSource::Memory;
  else if (tempMarkerFile) source = ControlSource::File;

  WaveLib_Progress(0);
  WavePartFile out;
  if (!out.Open(path)) {
    Log_Message(1, "*** Error opening output file.");
    return 0;
  }
  out.WriteText("{TYPE: Kaldra-CL,0}");
  WriteTextTags(out, d->comment, d->copyright);
  out.WriteText(cz::FormatC("{CONTROL LENGTH: %lu}", static_cast<unsigned long>(d->length)).c_str());

  WaveRunListWriter list(out);
  int lastProgress = 0;
  for (int k = 0; k < 8; ++k) {
    const ControlListRow& row = kControlLists[k];
    switch (source) {
      case ControlSource::Memory:
        list.Begin(row.openTag, row.mask);
        list.Feed(d->control, d->length);
        list.End();
        break;
      case ControlSource::File:
        if (k > 0 && !RestartAtBegining(kMarkerSlot)) {
          Log_Message(1, "*** Error reading marker entry from temporary file.");
          return 0;
        }
        list.Begin(row.openTag, row.mask);
        if (!ControlListFromFile(list, d->length)) return 0;
        list.End();
        break;
      case ControlSource::None:
        // Without any source the burst is on over the whole list.
        out.WriteText(row.openTag);
        if (row.mask == kControlBurst)
          out.WriteText(cz::FormatC("0:1;%lu:0", static_cast<unsigned long>(d->length)).c_str());
        out.WriteText("}");
        break;
      case ControlSource::Both:
        out.WriteText(row.openTag);
        out.WriteText("}");
        break;
    }
    const int percent = static_cast<int>((k + 1) * 12.5);
    if (percent != lastProgress) WaveLib_Progress(percent);
    lastProgress = percent;
  }
  slot.Release();
  if (!out.Commit()) {
    Log_Message(3, "*** Error writing output file '", path, "'.");
    return 0;
  }
  WaveLib_Progress(100);
  return 1;
}
